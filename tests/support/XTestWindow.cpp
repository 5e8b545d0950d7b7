#include "tests/support/XTestWindow.h"

#include <X11/Xutil.h>

#include "tests/support/WaitUntil.h"

namespace velora::test {

XTestWindow::XTestWindow(const char* title, const char* className) : m_display(openDisplay())
{
    Display* display = m_display.get();
    if (display == nullptr) {
        return;
    }
    const int screen = DefaultScreen(display);
    m_window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 400, 300, 0, BlackPixel(display, screen),
                                   WhitePixel(display, screen));
    XStoreName(display, m_window, title);
    if (className != nullptr) {
        XClassHint hint{const_cast<char*>(className), const_cast<char*>(className)};
        XSetClassHint(display, m_window, &hint);
    }
    XSelectInput(display, m_window,
                 KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask |
                     FocusChangeMask);
    XMapRaised(display, m_window);
    waitFor([](const XEvent& e) { return e.type == MapNotify; }, std::chrono::seconds(5));
    focus();
    drain();
}

XTestWindow::~XTestWindow()
{
    if (m_window != 0) {
        XDestroyWindow(display(), m_window);
    }
}

void XTestWindow::focus()
{
    waitUntil(
        [this] {
            XRaiseWindow(display(), m_window);
            XSetInputFocus(display(), m_window, RevertToParent, CurrentTime);
            XSync(display(), False);
            return inputFocus(display()) == m_window;
        },
        std::chrono::seconds(1));
}

std::optional<XEvent> XTestWindow::waitFor(const std::function<bool(const XEvent&)>& matches,
                                           std::chrono::milliseconds timeout)
{
    return waitForEvent(display(), matches, timeout);
}

std::vector<KeySym> XTestWindow::keyPresses(std::chrono::milliseconds within)
{
    std::vector<KeySym> keys;
    const auto deadline = std::chrono::steady_clock::now() + within;
    while (auto event = waitFor(
               [](const XEvent& e) { return e.type == KeyPress; },
               std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()))) {
        keys.push_back(XLookupKeysym(&event->xkey, (event->xkey.state & ShiftMask) ? 1 : 0));
    }
    return keys;
}

void XTestWindow::drain()
{
    XSync(display(), False);
    while (XPending(display()) > 0) {
        XEvent event;
        XNextEvent(display(), &event);
    }
}

std::pair<int, int> XTestWindow::pointer()
{
    Window root = 0, child = 0;
    int x = 0, y = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    XQueryPointer(display(), DefaultRootWindow(display()), &root, &child, &x, &y, &wx, &wy, &mask);
    return {x, y};
}

void XTestWindow::warpPointer(int x, int y)
{
    XWarpPointer(display(), None, DefaultRootWindow(display()), 0, 0, 0, 0, x, y);
    XSync(display(), False);
}

} // namespace velora::test
