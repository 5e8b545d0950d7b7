// A plain Xlib window of a test's own, on a connection of its own: mapped, raised and given
// the focus, with helpers to wait for the key and button events that reach it and to read
// and move the pointer.
#pragma once

#include <chrono>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

namespace velora::test {

class XTestWindow
{
public:
    explicit XTestWindow(const char* title)
    {
        // Xvfb sometimes drops a connection opened right after another one closed.
        for (int attempt = 0; attempt < 10 && m_display == nullptr; ++attempt) {
            m_display = XOpenDisplay(nullptr);
            if (m_display == nullptr) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
        if (m_display == nullptr) {
            return;
        }
        const int screen = DefaultScreen(m_display);
        m_window = XCreateSimpleWindow(m_display, RootWindow(m_display, screen), 0, 0, 400, 300, 0,
                                       BlackPixel(m_display, screen), WhitePixel(m_display, screen));
        XStoreName(m_display, m_window, title);
        XSelectInput(m_display, m_window,
                     KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask |
                         FocusChangeMask);
        XMapRaised(m_display, m_window);
        waitFor([](const XEvent& e) { return e.type == MapNotify; }, std::chrono::seconds(5));
        focus();
        drain();
    }
    ~XTestWindow()
    {
        if (m_display != nullptr) {
            XDestroyWindow(m_display, m_window);
            XCloseDisplay(m_display);
        }
    }
    bool ok() const { return m_display != nullptr; }
    Display* display() const { return m_display; }

    // Gives the window the keyboard focus, with or without a window manager.
    void focus()
    {
        for (int attempt = 0; attempt < 50; ++attempt) {
            XRaiseWindow(m_display, m_window);
            XSetInputFocus(m_display, m_window, RevertToParent, CurrentTime);
            XSync(m_display, False);
            Window focused = 0;
            int revert = 0;
            XGetInputFocus(m_display, &focused, &revert);
            if (focused == m_window) {
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    template <typename Predicate> std::optional<XEvent> waitFor(Predicate predicate, std::chrono::milliseconds timeout)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            while (XPending(m_display) > 0) {
                XEvent event;
                XNextEvent(m_display, &event);
                if (predicate(event)) {
                    return event;
                }
            }
            pollfd fd{ConnectionNumber(m_display), POLLIN, 0};
            poll(&fd, 1, 10);
        }
        return std::nullopt;
    }

    // The keysyms of the key presses that arrive within the time, in order.
    std::vector<KeySym> keyPresses(std::chrono::milliseconds within)
    {
        std::vector<KeySym> keys;
        const auto deadline = std::chrono::steady_clock::now() + within;
        while (auto event = waitFor([](const XEvent& e) { return e.type == KeyPress; },
                                    std::chrono::duration_cast<std::chrono::milliseconds>(
                                        deadline - std::chrono::steady_clock::now()))) {
            keys.push_back(XLookupKeysym(&event->xkey, (event->xkey.state & ShiftMask) ? 1 : 0));
        }
        return keys;
    }

    void drain()
    {
        XSync(m_display, False);
        while (XPending(m_display) > 0) {
            XEvent event;
            XNextEvent(m_display, &event);
        }
    }

    std::pair<int, int> pointer()
    {
        Window root = 0, child = 0;
        int x = 0, y = 0, wx = 0, wy = 0;
        unsigned mask = 0;
        XQueryPointer(m_display, DefaultRootWindow(m_display), &root, &child, &x, &y, &wx, &wy, &mask);
        return {x, y};
    }

    void warpPointer(int x, int y)
    {
        XWarpPointer(m_display, None, DefaultRootWindow(m_display), 0, 0, 0, 0, x, y);
        XSync(m_display, False);
    }

private:
    Display* m_display = nullptr;
    Window m_window = 0;
};

} // namespace velora::test
