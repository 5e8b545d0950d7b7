#include "platform/x11/X11Connection.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace velora::platform {
namespace {

// The trap's books: the connections that are ours, the handlers that were in place before,
// and the last error ignored.
struct Trap
{
    std::mutex mutex;
    std::vector<Display*> ours;
    XErrorHandler previous = nullptr;
    XIOErrorHandler previousIo = nullptr;
    X11Connection::IgnoredError last;

    bool isOurs(Display* display) const { return std::find(ours.begin(), ours.end(), display) != ours.end(); }
};

Trap& trap()
{
    static Trap state;
    return state;
}

int handleXError(Display* display, XErrorEvent* error)
{
    Trap& state = trap();
    XErrorHandler previous = nullptr;
    {
        std::lock_guard lock(state.mutex);
        if (state.isOurs(display)) {
            ++state.last.count;
            state.last.errorCode = error->error_code;
            state.last.requestCode = error->request_code;
            state.last.resource = error->resourceid;
            return 0;
        }
        previous = state.previous;
    }
    return previous != nullptr ? previous(display, error) : 0;
}

// Losing a connection: Xlib calls the process-wide I/O error handler, then the connection's
// exit handler; the default of either ends the process. On our connections both return, and
// the exit handler marks the connection lost. Other connections keep the handler they had.
int handleIoError(Display* display)
{
    Trap& state = trap();
    XIOErrorHandler previous = nullptr;
    {
        std::lock_guard lock(state.mutex);
        if (state.isOurs(display)) {
            return 0;
        }
        previous = state.previousIo;
    }
    return previous != nullptr ? previous(display) : 0;
}

// Before it calls the exit handler, Xlib locks the display for the calling thread as
// XLockDisplay does and never unlocks it (it expects the process to end): any other thread
// touching the display, if only to close it, would wait for ever. The handler undoes that lock.
// (When the handler returns, Xlib goes back into the call that noticed without taking the
// display's internal mutex again, and that call releases it once more. That is harmless here:
// every use of a connection is serialised by its owner, so no other thread holds or waits for
// the internal one; ThreadSanitizer reports the release all the same.)
void unlockAfterIoError(Display* display)
{
    XUnlockDisplay(display);
}

// The exit handler of a connection whose object does not yet or no longer exist.
void ignoreLostConnection(Display* display, void*)
{
    unlockAfterIoError(display);
}

void addToTrap(Display* display)
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        XErrorHandler previous = XSetErrorHandler(handleXError);
        XIOErrorHandler previousIo = XSetIOErrorHandler(handleIoError);
        std::lock_guard lock(trap().mutex);
        trap().previous = previous;
        trap().previousIo = previousIo;
    });
    XSetIOErrorExitHandler(display, ignoreLostConnection, nullptr);
    std::lock_guard lock(trap().mutex);
    trap().ours.push_back(display);
}

// One entry only: a display closed on one thread may come back at the same address from an
// XOpenDisplay on another before this runs.
void removeFromTrap(Display* display)
{
    std::lock_guard lock(trap().mutex);
    auto& ours = trap().ours;
    if (const auto found = std::find(ours.begin(), ours.end(), display); found != ours.end()) {
        ours.erase(found);
    }
}

} // namespace

std::unique_ptr<X11Connection> X11Connection::open(const char* displayName)
{
    Display* display = XOpenDisplay(displayName);
    if (display == nullptr) {
        return nullptr;
    }
    // Ours from the first request on, so that losing the server at any point ends nothing.
    addToTrap(display);
    return std::unique_ptr<X11Connection>(new X11Connection(display));
}

X11Connection::X11Connection(Display* display) : m_display(display)
{
    XSetIOErrorExitHandler(m_display, onLost, this);
}

X11Connection::~X11Connection()
{
    // Errors while the connection closes are still ours to ignore; a break then tells no one.
    XSetIOErrorExitHandler(m_display, ignoreLostConnection, nullptr);
    XCloseDisplay(m_display);
    removeFromTrap(m_display);
}

void X11Connection::onLost(Display* display, void* connection)
{
    unlockAfterIoError(display);
    auto* self = static_cast<X11Connection*>(connection);
    if (!self->m_lost.exchange(true) && self->m_onLost) {
        self->m_onLost();
    }
}

X11Connection::IgnoredError X11Connection::lastIgnoredError()
{
    std::lock_guard lock(trap().mutex);
    return trap().last;
}

} // namespace velora::platform
