#include "tests/support/XDisplay.h"

#include <X11/Xatom.h>

#include <algorithm>
#include <functional>
#include <thread>
#include <vector>

#include <X11/Xutil.h>
#include <poll.h>

#include "tests/support/WaitUntil.h"

namespace velora::test {
namespace {

// Calls visit for every window below the root, depth first, until it returns true.
Window findWindow(Display* display, const std::function<bool(Window)>& visit)
{
    std::vector<Window> pending{DefaultRootWindow(display)};
    while (!pending.empty()) {
        const Window window = pending.back();
        pending.pop_back();
        if (visit(window)) {
            return window;
        }
        const std::vector<Window> children = childrenOf(display, window);
        // Reversed, so that the first child is visited first.
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return 0;
}

DisplayPtr openWithin(const char* name, std::chrono::milliseconds timeout)
{
    std::unique_ptr<platform::X11Connection> connection;
    waitUntil([&] { return (connection = platform::X11Connection::open(name)) != nullptr; }, timeout,
              std::chrono::milliseconds(50));
    return DisplayPtr(std::move(connection));
}

} // namespace

DisplayPtr openDisplay(std::chrono::milliseconds timeout)
{
    return openWithin(nullptr, timeout);
}

DisplayPtr openDisplay(const std::string& name, std::chrono::milliseconds timeout)
{
    return openWithin(name.c_str(), timeout);
}

std::optional<XEvent> waitForEvent(Display* display, const std::function<bool(const XEvent&)>& matches,
                                   std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (matches(event)) {
                return event;
            }
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        pollfd fd{ConnectionNumber(display), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(left.count()));
    }
}

bool isViewable(Display* display, Window window)
{
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) != 0 && attributes.map_state == IsViewable;
}

Window findWindowByClass(Display* display, const std::string& className, bool viewableOnly)
{
    return findWindow(display, [&](Window window) {
        if (viewableOnly && !isViewable(display, window)) {
            return false;
        }
        XClassHint hint{};
        if (XGetClassHint(display, window, &hint) == 0) {
            return false;
        }
        const bool match = (hint.res_class != nullptr && className == hint.res_class) ||
                           (hint.res_name != nullptr && className == hint.res_name);
        XFree(hint.res_name);
        XFree(hint.res_class);
        return match;
    });
}

bool hasTitle(Display* display, Window window, const std::string& title)
{
    char* name = nullptr;
    if (XFetchName(display, window, &name) == 0 || name == nullptr) {
        return false;
    }
    const bool match = title == name;
    XFree(name);
    return match;
}

Window findWindowByTitle(Display* display, const std::string& title)
{
    return findWindow(display, [&](Window window) { return hasTitle(display, window, title); });
}

int countWindowsTitled(Display* display, const std::string& title, bool viewableOnly)
{
    int count = 0;
    findWindow(display, [&](Window window) {
        count += hasTitle(display, window, title) && (!viewableOnly || isViewable(display, window)) ? 1 : 0;
        return false;
    });
    return count;
}

std::vector<Window> windowsInProperty(Display* display, Window window, const char* property)
{
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::vector<Window> windows;
    if (XGetWindowProperty(display, window, XInternAtom(display, property, False), 0, 1024, False, XA_WINDOW, &type,
                           &format, &count, &after, &data) == Success &&
        data != nullptr) {
        const auto* ids = reinterpret_cast<const unsigned long*>(data);
        windows.assign(ids, ids + (format == 32 ? count : 0));
        XFree(data);
    }
    return windows;
}

std::vector<Window> childrenOf(Display* display, Window window)
{
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    std::vector<Window> windows;
    if (XQueryTree(display, window, &root, &parent, &children, &count) != 0 && children != nullptr) {
        windows.assign(children, children + count);
        XFree(children);
    }
    return windows;
}

Window frameOf(Display* display, Window window)
{
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    while (XQueryTree(display, window, &root, &parent, &children, &count) != 0) {
        XFree(children);
        if (parent == root) {
            break;
        }
        window = parent;
    }
    return window;
}

Window inputFocus(Display* display)
{
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    return focus;
}

bool waitForSelectionOwner(Display* display, const char* selection, std::chrono::milliseconds timeout)
{
    const Atom atom = XInternAtom(display, selection, False);
    return waitUntil([&] { return XGetSelectionOwner(display, atom) != 0; }, timeout, std::chrono::milliseconds(50));
}

std::pair<int, int> windowCentre(Display* display, Window window)
{
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), attributes.width / 2, attributes.height / 2, &x,
                          &y, &child);
    return {x, y};
}

ScreenArea::ScreenArea(Display* display, int x, int y, int width, int height)
{
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image == nullptr) {
        return;
    }
    m_width = width;
    m_height = height;
    m_pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            m_pixels.push_back(XGetPixel(image, column, row) & 0xffffff);
        }
    }
    XDestroyImage(image);
}

int ScreenArea::count(unsigned long colour) const
{
    return static_cast<int>(std::count(m_pixels.begin(), m_pixels.end(), colour));
}

} // namespace velora::test
