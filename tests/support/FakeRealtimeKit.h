// The desktop's real-time policy service as a test needs it: a message bus of its own
// (dbus-daemon on a socket in a test folder) and, once start() is called, a thread that owns
// the service's name and grants MakeThreadRealtime by setting the thread's policy (SCHED_RR) itself, which needs
// CAP_SYS_NICE in the test process, and tells its limit on real-time CPU without a sleep
// (the property RTTimeUSecMax). Point DBUS_SYSTEM_BUS_ADDRESS at address(); libdbus reads it
// once per process.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "tests/support/Process.h"

struct DBusConnection;

namespace velora::test {

class FakeRealtimeKit
{
public:
    FakeRealtimeKit(const std::string& folder, std::int64_t realtimeCpuLimitUs);
    ~FakeRealtimeKit();
    FakeRealtimeKit(const FakeRealtimeKit&) = delete;
    FakeRealtimeKit& operator=(const FakeRealtimeKit&) = delete;

    // Whether dbus-daemon is installed.
    static bool installed();
    // The bus runs.
    bool ok() const { return m_bus.started() && !m_address.empty(); }
    // Takes the service's name on the bus and begins to answer; true when it does.
    bool start();
    std::string address() const { return m_address; }
    // Requests seen, granted or not.
    int requests() const { return m_requests.load(); }

private:
    void serve(DBusConnection* connection);

    const std::int64_t m_realtimeCpuLimitUs;
    std::string m_address;
    Process m_bus;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_requests{0};
    std::thread m_serving;
};

} // namespace velora::test
