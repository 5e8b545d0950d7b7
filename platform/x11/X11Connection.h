// A connection of this program's own to an X server, under the one X error trap of the
// process.
//
// Xlib reports errors through process-wide handlers whose defaults end the process: on any
// protocol error, and when a connection breaks (the X server ended or was killed), with
// exit() from whichever thread noticed. The trap puts its own handlers in place once, when
// the first connection of ours opens, and keeps the ones it found for the connections other
// code in the process made (Qt's): errors there go on to those as before. On connections of
// ours a protocol error (a window that vanished between two requests, a stale
// _NET_ACTIVE_WINDOW) is recorded and otherwise ignored, and a broken connection ends
// nothing: it is marked lost and its owner told.
//
// Threads: the trap keeps its own books under a lock, so connections may open and close on
// any thread. One connection is used by one thread at a time (its owner serialises the
// calls); lost() may be asked from any thread.
#pragma once

#include <X11/Xlib.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace velora::platform {

class X11Connection
{
public:
    // Connects to the X server (displayName as XOpenDisplay takes it, nullptr for $DISPLAY).
    // Returns nullptr when no server answers.
    static std::unique_ptr<X11Connection> open(const char* displayName = nullptr);

    ~X11Connection(); // closes the connection
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    Display* display() const { return m_display; }

    // Whether the connection has broken. Once it has, nothing may use it again: Xlib keeps
    // queueing requests on a broken connection and in the end writes past its buffer.
    bool lost() const { return m_lost.load(); }

    // Called once when the connection breaks, on the thread whose Xlib call noticed it and
    // inside that call: it must not use the connection. Set it before the connection is
    // shared with other threads; an owner that goes before the connection clears it
    // (nullptr) first.
    void setLostHandler(std::function<void()> handler) { m_onLost = std::move(handler); }

    // The X error most recently ignored on a connection of ours, for diagnostics and tests;
    // count is the number ignored since the process started (0: none yet).
    struct IgnoredError
    {
        std::uint64_t count = 0;
        int errorCode = 0;
        int requestCode = 0;
        unsigned long resource = 0;
    };
    static IgnoredError lastIgnoredError();

private:
    explicit X11Connection(Display* display);
    static void onLost(Display* display, void* connection);

    Display* m_display;
    std::atomic<bool> m_lost{false};
    std::function<void()> m_onLost;
};

} // namespace velora::platform
