// Key presses anywhere on an X11 desktop, seen without taking them from the program in front:
// the raw key events of the XInput 2 extension on the root window, read on a connection and a
// thread of the watch's own. The thread sleeps in poll() until the server sends something, so
// a watch costs nothing while nobody types.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace velora::platform {

class X11KeyWatch
{
public:
    // Starts watching the server of displayName (as XOpenDisplay takes it); `pressed` is called
    // on the watch's thread for every key that goes down. nullptr when the server cannot be
    // reached or lacks XInput 2.
    static std::unique_ptr<X11KeyWatch> start(const std::string& displayName, std::function<void()> pressed);

    // Stops the thread: once this returns, no call runs or will come. Must not be called from
    // `pressed` itself.
    ~X11KeyWatch();
    X11KeyWatch(const X11KeyWatch&) = delete;
    X11KeyWatch& operator=(const X11KeyWatch&) = delete;

private:
    struct State;
    explicit X11KeyWatch(std::unique_ptr<State> state);
    std::unique_ptr<State> m_state;
};

} // namespace velora::platform
