// A plain Xlib window of a test's own, on a connection of its own: mapped, raised and given
// the focus, with helpers to wait for the key and button events that reach it and to read
// and move the pointer.
// Include GoogleTest before this header: Xlib's macros (None, Bool) break it otherwise.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "tests/support/XDisplay.h"

namespace velora::test {

class XTestWindow
{
public:
    // Opens $DISPLAY and shows the window there with the title (WM_NAME) and, when given, the
    // class (WM_CLASS, as instance and class name); ok() tells whether it worked.
    explicit XTestWindow(const char* title, const char* className = nullptr);
    ~XTestWindow();
    XTestWindow(const XTestWindow&) = delete;
    XTestWindow& operator=(const XTestWindow&) = delete;

    bool ok() const { return m_window != 0; }
    Display* display() const { return m_display.get(); }
    Window id() const { return m_window; }

    // Gives the window the keyboard focus, with or without a window manager.
    void focus();

    // Reads the connection's events for up to the time until one matches: that one.
    std::optional<XEvent> waitFor(const std::function<bool(const XEvent&)>& matches, std::chrono::milliseconds timeout);
    // The keysyms of the key presses that arrive within the time, in order.
    std::vector<KeySym> keyPresses(std::chrono::milliseconds within);
    // Drops every event that has arrived.
    void drain();

    std::pair<int, int> pointer();
    void warpPointer(int x, int y);

private:
    DisplayPtr m_display;
    Window m_window = 0;
};

} // namespace velora::test
