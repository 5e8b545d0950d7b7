#include "tests/support/FakeRealtimeKit.h"

#include <cstdint>
#include <filesystem>

#include <dbus/dbus.h>
#include <sched.h>

#include "tests/support/WaitUntil.h"

namespace velora::test {

namespace {

constexpr const char* kName = "org.freedesktop.RealtimeKit1";

// Sets the thread's policy as the service does; the answer to the call.
DBusMessage* grant(DBusMessage* call)
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
    return reply != nullptr ? reply : dbus_message_new_error(call, DBUS_ERROR_ACCESS_DENIED, "not granted");
}

// The service's properties; only its limit on real-time CPU without a sleep is asked for.
DBusMessage* property(DBusMessage* call, std::int64_t realtimeCpuLimitUs)
{
    const char* interface = nullptr;
    const char* name = nullptr;
    if (!dbus_message_get_args(call, nullptr, DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING, &name,
                               DBUS_TYPE_INVALID) ||
        std::string(name) != "RTTimeUSecMax") {
        return dbus_message_new_error(call, DBUS_ERROR_UNKNOWN_PROPERTY, "no such property");
    }
    DBusMessage* reply = dbus_message_new_method_return(call);
    DBusMessageIter value;
    DBusMessageIter content;
    const dbus_int64_t limit = realtimeCpuLimitUs;
    dbus_message_iter_init_append(reply, &value);
    dbus_message_iter_open_container(&value, DBUS_TYPE_VARIANT, DBUS_TYPE_INT64_AS_STRING, &content);
    dbus_message_iter_append_basic(&content, DBUS_TYPE_INT64, &limit);
    dbus_message_iter_close_container(&value, &content);
    return reply;
}

void send(DBusConnection* connection, DBusMessage* reply)
{
    dbus_connection_send(connection, reply, nullptr);
    dbus_connection_flush(connection);
    dbus_message_unref(reply);
}

} // namespace

bool FakeRealtimeKit::installed()
{
    return onPath("dbus-daemon");
}

FakeRealtimeKit::FakeRealtimeKit(const std::string& folder, std::int64_t realtimeCpuLimitUs)
    : m_realtimeCpuLimitUs(realtimeCpuLimitUs)
{
    const std::string socket = folder + "/system_bus_socket";
    m_address = "unix:path=" + socket;
    m_bus = Process("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--address=" + m_address}, {},
                    folder + "/dbus-daemon.log");
    if (!m_bus.started() || !waitUntil([&] { return std::filesystem::exists(socket); }, std::chrono::seconds(5))) {
        m_address.clear();
    }
}

bool FakeRealtimeKit::start()
{
    if (!ok() || m_serving.joinable()) {
        return m_serving.joinable();
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
    return m_serving.joinable();
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
                send(connection, grant(message));
            } else if (dbus_message_is_method_call(message, DBUS_INTERFACE_PROPERTIES, "Get")) {
                send(connection, property(message, m_realtimeCpuLimitUs));
            } else if (dbus_message_get_type(message) == DBUS_MESSAGE_TYPE_METHOD_CALL) {
                send(connection, dbus_message_new_error(message, DBUS_ERROR_UNKNOWN_METHOD, "no such method"));
            }
            dbus_message_unref(message);
        }
    }
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
}

} // namespace velora::test
