#include "tests/support/FakeRealtimeKit.h"

#include <filesystem>

#include <dbus/dbus.h>
#include <sched.h>

#include "tests/support/WaitUntil.h"

namespace velora::test {

namespace {

constexpr const char* kName = "org.freedesktop.RealtimeKit1";

// Sets the thread's policy as the service does, and answers the call.
void grant(DBusConnection* connection, DBusMessage* call)
{
    dbus_uint64_t thread = 0;
    dbus_uint32_t level = 0;
    DBusMessage* reply = nullptr;
    if (dbus_message_get_args(call, nullptr, DBUS_TYPE_UINT64, &thread, DBUS_TYPE_UINT32, &level, DBUS_TYPE_INVALID)) {
        sched_param param{};
        param.sched_priority = static_cast<int>(level);
        if (::sched_setscheduler(static_cast<pid_t>(thread), SCHED_RR | SCHED_RESET_ON_FORK, &param) == 0) {
            reply = dbus_message_new_method_return(call);
        }
    }
    if (reply == nullptr) {
        reply = dbus_message_new_error(call, DBUS_ERROR_ACCESS_DENIED, "not granted");
    }
    dbus_connection_send(connection, reply, nullptr);
    dbus_connection_flush(connection);
    dbus_message_unref(reply);
}

} // namespace

bool FakeRealtimeKit::installed()
{
    return onPath("dbus-daemon");
}

FakeRealtimeKit::FakeRealtimeKit(const std::string& folder)
{
    const std::string socket = folder + "/system_bus_socket";
    m_address = "unix:path=" + socket;
    m_bus = Process("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--address=" + m_address}, {},
                    folder + "/dbus-daemon.log");
    if (!m_bus.started() || !waitUntil([&] { return std::filesystem::exists(socket); }, std::chrono::seconds(5))) {
        return;
    }
    DBusError error;
    dbus_error_init(&error);
    DBusConnection* connection = dbus_connection_open_private(m_address.c_str(), &error);
    if (connection != nullptr) {
        dbus_connection_set_exit_on_disconnect(connection, FALSE);
        if (dbus_bus_register(connection, &error) &&
            dbus_bus_request_name(connection, kName, DBUS_NAME_FLAG_DO_NOT_QUEUE, &error) ==
                DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER) {
            m_serving = std::thread([this, connection] { serve(connection); });
        } else {
            dbus_connection_close(connection);
            dbus_connection_unref(connection);
        }
    }
    dbus_error_free(&error);
}

FakeRealtimeKit::~FakeRealtimeKit()
{
    m_stop = true;
    if (m_serving.joinable()) {
        m_serving.join();
    }
}

void FakeRealtimeKit::serve(DBusConnection* connection)
{
    while (!m_stop.load() && dbus_connection_read_write(connection, 20)) {
        while (DBusMessage* message = dbus_connection_pop_message(connection)) {
            if (dbus_message_is_method_call(message, kName, "MakeThreadRealtime")) {
                ++m_requests;
                grant(connection, message);
            }
            dbus_message_unref(message);
        }
    }
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
}

} // namespace velora::test
