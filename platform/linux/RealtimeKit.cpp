// libdbus is loaded when first needed rather than linked: every program of the suite links
// the platform library, but only KavoRemote's periodic timers ask the service, and a
// machine without libdbus simply has no service to ask.
#include "platform/linux/RealtimeKit.h"

#include <mutex>

#include <dbus/dbus.h>
#include <sys/resource.h>

#include "platform/LibraryLoader.h"

namespace velora::platform {

namespace {

// What the service allows by default; it refuses processes with a higher hard limit.
constexpr rlim_t kRealtimeCpuLimitUs = 200'000;
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
    decltype(&dbus_message_get_type) messageType = nullptr;
    decltype(&dbus_message_unref) messageUnref = nullptr;

    bool complete() const
    {
        return errorInit && errorFree && busGetPrivate && setExitOnDisconnect && sendWithReplyAndBlock &&
               connectionClose && connectionUnref && newMethodCall && appendArgs && messageType && messageUnref;
    }
};

template <typename Function> void bind(LibraryHandle library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(systemLibraryLoader().resolve(library, name));
}

// Loaded once and kept for the life of the process; null without libdbus.
const DBusLibrary* dbusLibrary()
{
    static DBusLibrary library;
    static std::once_flag loaded;
    std::call_once(loaded, [] {
        const LibraryHandle handle = systemLibraryLoader().load("libdbus-1.so.3");
        if (handle == nullptr) {
            return;
        }
        bind(handle, "dbus_error_init", library.errorInit);
        bind(handle, "dbus_error_free", library.errorFree);
        bind(handle, "dbus_bus_get_private", library.busGetPrivate);
        bind(handle, "dbus_connection_set_exit_on_disconnect", library.setExitOnDisconnect);
        bind(handle, "dbus_connection_send_with_reply_and_block", library.sendWithReplyAndBlock);
        bind(handle, "dbus_connection_close", library.connectionClose);
        bind(handle, "dbus_connection_unref", library.connectionUnref);
        bind(handle, "dbus_message_new_method_call", library.newMethodCall);
        bind(handle, "dbus_message_append_args", library.appendArgs);
        bind(handle, "dbus_message_get_type", library.messageType);
        bind(handle, "dbus_message_unref", library.messageUnref);
    });
    return library.complete() ? &library : nullptr;
}

bool limitRealtimeCpu()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_RTTIME, &limit) != 0) {
        return false;
    }
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max <= kRealtimeCpuLimitUs) {
        return true;
    }
    limit.rlim_cur = limit.rlim_max = kRealtimeCpuLimitUs;
    return ::setrlimit(RLIMIT_RTTIME, &limit) == 0;
}

} // namespace

bool requestRealtimeFromDesktop(pid_t thread, int priority)
{
    const DBusLibrary* dbus = dbusLibrary();
    if (dbus == nullptr || thread <= 0 || priority <= 0 || !limitRealtimeCpu()) {
        return false;
    }
    DBusError error;
    dbus->errorInit(&error);
    // A private connection of our own: closing it cannot disturb a shared one that other
    // code in the process (Qt) may use.
    DBusConnection* bus = dbus->busGetPrivate(DBUS_BUS_SYSTEM, &error);
    if (bus == nullptr) {
        dbus->errorFree(&error);
        return false;
    }
    // libdbus ends the process when a bus connection drops, unless told not to.
    dbus->setExitOnDisconnect(bus, FALSE);

    bool granted = false;
    DBusMessage* call = dbus->newMethodCall("org.freedesktop.RealtimeKit1", "/org/freedesktop/RealtimeKit1",
                                            "org.freedesktop.RealtimeKit1", "MakeThreadRealtime");
    const dbus_uint64_t threadId = static_cast<dbus_uint64_t>(thread);
    const dbus_uint32_t level = static_cast<dbus_uint32_t>(priority);
    if (call != nullptr &&
        dbus->appendArgs(call, DBUS_TYPE_UINT64, &threadId, DBUS_TYPE_UINT32, &level, DBUS_TYPE_INVALID)) {
        DBusMessage* reply = dbus->sendWithReplyAndBlock(bus, call, kReplyTimeoutMs, &error);
        if (reply != nullptr) {
            granted = dbus->messageType(reply) == DBUS_MESSAGE_TYPE_METHOD_RETURN;
            dbus->messageUnref(reply);
        }
    }
    if (call != nullptr) {
        dbus->messageUnref(call);
    }
    dbus->errorFree(&error);
    dbus->connectionClose(bus);
    dbus->connectionUnref(bus);
    return granted;
}

} // namespace velora::platform
