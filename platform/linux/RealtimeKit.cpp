// libdbus is loaded when first needed rather than linked: every program of the suite links
// the platform library, but only KavoRemote's sampling timer asks the service, and a
// machine without libdbus simply has no service to ask.
#include "platform/linux/RealtimeKit.h"

#include <cstdint>

#include <dbus/dbus.h>
#include <sys/resource.h>

#include "platform/LibraryLoader.h"

namespace velora::platform {

namespace {

constexpr const char* kService = "org.freedesktop.RealtimeKit1";
constexpr const char* kObject = "/org/freedesktop/RealtimeKit1";
constexpr int kReplyTimeoutMs = 500;

// The entry points of libdbus this file uses.
struct DBusLibrary
{
    decltype(&dbus_error_init) errorInit = nullptr;
    decltype(&dbus_error_free) errorFree = nullptr;
    decltype(&dbus_bus_get_private) busGetPrivate = nullptr;
    decltype(&dbus_connection_set_exit_on_disconnect) setExitOnDisconnect = nullptr;
    decltype(&dbus_connection_send_with_reply_and_block) sendWithReplyAndBlock = nullptr;
    decltype(&dbus_connection_close) connectionClose = nullptr;
    decltype(&dbus_connection_unref) connectionUnref = nullptr;
    decltype(&dbus_message_new_method_call) newMethodCall = nullptr;
    decltype(&dbus_message_append_args) appendArgs = nullptr;
    decltype(&dbus_message_unref) messageUnref = nullptr;
    decltype(&dbus_message_iter_init) iterInit = nullptr;
    decltype(&dbus_message_iter_get_arg_type) iterArgType = nullptr;
    decltype(&dbus_message_iter_recurse) iterRecurse = nullptr;
    decltype(&dbus_message_iter_get_basic) iterGetBasic = nullptr;
};

// Loaded once and kept for the life of the process; null without libdbus.
const DBusLibrary* dbusLibrary()
{
    static DBusLibrary library;
    static const bool bound = [] {
        LibraryLoader& loader = systemLibraryLoader();
        const LibraryHandle handle = loader.load("libdbus-1.so.3");
        return handle != nullptr && resolveInto(loader, handle, "dbus_error_init", library.errorInit) &&
               resolveInto(loader, handle, "dbus_error_free", library.errorFree) &&
               resolveInto(loader, handle, "dbus_bus_get_private", library.busGetPrivate) &&
               resolveInto(loader, handle, "dbus_connection_set_exit_on_disconnect", library.setExitOnDisconnect) &&
               resolveInto(loader, handle, "dbus_connection_send_with_reply_and_block",
                           library.sendWithReplyAndBlock) &&
               resolveInto(loader, handle, "dbus_connection_close", library.connectionClose) &&
               resolveInto(loader, handle, "dbus_connection_unref", library.connectionUnref) &&
               resolveInto(loader, handle, "dbus_message_new_method_call", library.newMethodCall) &&
               resolveInto(loader, handle, "dbus_message_append_args", library.appendArgs) &&
               resolveInto(loader, handle, "dbus_message_unref", library.messageUnref) &&
               resolveInto(loader, handle, "dbus_message_iter_init", library.iterInit) &&
               resolveInto(loader, handle, "dbus_message_iter_get_arg_type", library.iterArgType) &&
               resolveInto(loader, handle, "dbus_message_iter_recurse", library.iterRecurse) &&
               resolveInto(loader, handle, "dbus_message_iter_get_basic", library.iterGetBasic);
    }();
    return bound ? &library : nullptr;
}

// A private connection to the system bus, of our own: closing it cannot disturb a shared
// one that other code in the process (Qt) may use.
class SystemBus
{
public:
    explicit SystemBus(const DBusLibrary& dbus) : m_dbus(dbus)
    {
        DBusError error;
        m_dbus.errorInit(&error);
        m_bus = m_dbus.busGetPrivate(DBUS_BUS_SYSTEM, &error);
        m_dbus.errorFree(&error);
        if (m_bus != nullptr) {
            // libdbus ends the process when a bus connection drops, unless told not to.
            m_dbus.setExitOnDisconnect(m_bus, FALSE);
        }
    }
    ~SystemBus()
    {
        if (m_bus != nullptr) {
            m_dbus.connectionClose(m_bus);
            m_dbus.connectionUnref(m_bus);
        }
    }
    SystemBus(const SystemBus&) = delete;
    SystemBus& operator=(const SystemBus&) = delete;

    bool connected() const { return m_bus != nullptr; }

    // Calls a method of the service with the arguments (type, pointer to the value, ...,
    // DBUS_TYPE_INVALID) and hands the reply to read(); false when the call failed or the
    // service answered with an error.
    template <typename Read, typename... Arguments>
    bool call(const char* interface, const char* method, const Read& read, Arguments... arguments)
    {
        DBusMessage* call = m_dbus.newMethodCall(kService, kObject, interface, method);
        if (call == nullptr) {
            return false;
        }
        bool answered = false;
        if (m_dbus.appendArgs(call, arguments..., DBUS_TYPE_INVALID)) {
            DBusError error;
            m_dbus.errorInit(&error);
            if (DBusMessage* reply = m_dbus.sendWithReplyAndBlock(m_bus, call, kReplyTimeoutMs, &error)) {
                answered = read(reply);
                m_dbus.messageUnref(reply);
            }
            m_dbus.errorFree(&error);
        }
        m_dbus.messageUnref(call);
        return answered;
    }

private:
    const DBusLibrary& m_dbus;
    DBusConnection* m_bus = nullptr;
};

// The service's limit on a real-time thread's CPU time without a sleep, in microseconds;
// 0 when the service does not say.
std::int64_t realtimeCpuLimit(const DBusLibrary& dbus, SystemBus& bus)
{
    const char* interface = kService;
    const char* property = "RTTimeUSecMax";
    dbus_int64_t limit = 0;
    bus.call(
        "org.freedesktop.DBus.Properties", "Get",
        [&](DBusMessage* reply) {
            DBusMessageIter value;
            DBusMessageIter content;
            if (!dbus.iterInit(reply, &value) || dbus.iterArgType(&value) != DBUS_TYPE_VARIANT) {
                return false;
            }
            dbus.iterRecurse(&value, &content);
            if (dbus.iterArgType(&content) != DBUS_TYPE_INT64) {
                return false;
            }
            dbus.iterGetBasic(&content, &limit);
            return true;
        },
        DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING, &property);
    return limit > 0 ? limit : 0;
}

// The service serves only processes whose hard RLIMIT_RTTIME is no higher than its own limit.
bool limitRealtimeCpu(std::int64_t serviceLimitUs)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_RTTIME, &limit) != 0) {
        return false;
    }
    const auto wanted = static_cast<rlim_t>(serviceLimitUs);
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max <= wanted) {
        return true;
    }
    limit.rlim_cur = limit.rlim_max = wanted;
    return ::setrlimit(RLIMIT_RTTIME, &limit) == 0;
}

} // namespace

bool requestRealtimeFromDesktop(pid_t thread, int priority)
{
    const DBusLibrary* dbus = dbusLibrary();
    if (dbus == nullptr || thread <= 0 || priority <= 0) {
        return false;
    }
    SystemBus bus(*dbus);
    if (!bus.connected()) {
        return false;
    }
    // Asking for the limit first also tells whether the service is there at all, so that a
    // machine without it keeps the process's limit as it was.
    const std::int64_t limit = realtimeCpuLimit(*dbus, bus);
    if (limit == 0 || !limitRealtimeCpu(limit)) {
        return false;
    }
    const auto threadId = static_cast<dbus_uint64_t>(thread);
    const auto level = static_cast<dbus_uint32_t>(priority);
    return bus.call(
        kService, "MakeThreadRealtime", [](DBusMessage*) { return true; }, DBUS_TYPE_UINT64, &threadId,
        DBUS_TYPE_UINT32, &level);
}

} // namespace velora::platform
