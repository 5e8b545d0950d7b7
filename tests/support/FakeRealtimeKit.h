// The desktop's real-time policy service as a test needs it: a message bus of its own
// (dbus-daemon on a socket in a test folder) and a thread that owns the service's name and
// grants MakeThreadRealtime by setting the thread's policy (SCHED_RR) itself, which needs
// CAP_SYS_NICE in the test process. Point DBUS_SYSTEM_BUS_ADDRESS at address().
#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "tests/support/Process.h"

struct DBusConnection;

namespace velora::test {

class FakeRealtimeKit
{
public:
    explicit FakeRealtimeKit(const std::string& folder);
    ~FakeRealtimeKit();
    FakeRealtimeKit(const FakeRealtimeKit&) = delete;
    FakeRealtimeKit& operator=(const FakeRealtimeKit&) = delete;

    // Whether dbus-daemon is installed.
    static bool installed();
    // The bus runs and the service owns its name.
    bool ok() const { return m_serving.joinable(); }
    std::string address() const { return m_address; }
    // Requests seen, granted or not.
    int requests() const { return m_requests.load(); }

private:
    void serve(DBusConnection* connection);

    std::string m_address;
    Process m_bus;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_requests{0};
    std::thread m_serving;
};

} // namespace velora::test
