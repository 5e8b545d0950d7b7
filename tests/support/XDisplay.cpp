#include "tests/support/XDisplay.h"

#include <algorithm>
#include <functional>
#include <thread>
#include <vector>

#include <X11/Xutil.h>

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
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (XQueryTree(display, window, &root, &parent, &children, &count) != 0) {
            // Reversed, so that the first child is visited first.
            for (unsigned i = count; i > 0; --i) {
                pending.push_back(children[i - 1]);
            }
            XFree(children);
        }
    }
    return 0;
}

int ignoreError(Display*, XErrorEvent*)
{
    return 0;
}

} // namespace

void ignoreErrorsOfVanishingWindows()
{
    XSetErrorHandler(ignoreError);
}

DisplayPtr openDisplay(std::chrono::milliseconds timeout)
{
    ignoreErrorsOfVanishingWindows();
    Display* display = nullptr;
    waitUntil([&] { return (display = XOpenDisplay(nullptr)) != nullptr; }, timeout, std::chrono::milliseconds(50));
    return DisplayPtr(display);
}

DisplayPtr openDisplay(const std::string& name, std::chrono::milliseconds timeout)
{
    ignoreErrorsOfVanishingWindows();
    Display* display = nullptr;
    waitUntil([&] { return (display = XOpenDisplay(name.c_str())) != nullptr; }, timeout,
              std::chrono::milliseconds(50));
    return DisplayPtr(display);
}

Window findWindowByClass(Display* display, const std::string& className, bool viewableOnly)
{
    return findWindow(display, [&](Window window) {
        if (viewableOnly) {
            XWindowAttributes attributes{};
            if (XGetWindowAttributes(display, window, &attributes) == 0 || attributes.map_state != IsViewable) {
                return false;
            }
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

Window findWindowByTitle(Display* display, const std::string& title)
{
    return findWindow(display, [&](Window window) {
        char* name = nullptr;
        if (XFetchName(display, window, &name) == 0 || name == nullptr) {
            return false;
        }
        const bool match = title == name;
        XFree(name);
        return match;
    });
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
