#include "tools/virtual-remote/ui/FullScreenCover.h"

#include <QGuiApplication>

#include <X11/Xlib.h>

#include <algorithm>
#include <vector>

namespace velora::vremote::ui {
namespace {

// The root window's child that holds the window: its frame under a window manager, the
// window itself without one. 0 when the window is gone.
Window topLevelOf(Display* display, Window window)
{
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    while (XQueryTree(display, window, &root, &parent, &children, &count) != 0) {
        if (children != nullptr) {
            XFree(children);
        }
        if (parent == root) {
            return window;
        }
        window = parent;
    }
    return 0;
}

} // namespace

bool coveredByFullScreenWindow(const QWidget& window)
{
    // Only the xcb platform shows the window on the X server: the offscreen one may have an
    // X connection of its own too.
    auto* x11 = qGuiApp != nullptr && QGuiApplication::platformName() == QLatin1String("xcb")
                    ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                    : nullptr;
    Display* const display = x11 != nullptr ? x11->display() : nullptr;
    if (display == nullptr || !window.isVisible()) {
        return false;
    }
    const Window own = topLevelOf(display, static_cast<Window>(window.winId()));
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (own == 0 || XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0) {
        return false;
    }
    // Bottom first: only the windows after the remote's lie above it.
    const std::vector<Window> stacking(children, children + count);
    if (children != nullptr) {
        XFree(children);
    }
    const int screenWidth = DisplayWidth(display, DefaultScreen(display));
    const int screenHeight = DisplayHeight(display, DefaultScreen(display));
    const auto ownPlace = std::find(stacking.begin(), stacking.end(), own);
    return ownPlace != stacking.end() && std::any_of(ownPlace + 1, stacking.end(), [&](Window above) {
               XWindowAttributes attributes{};
               // Menus and tooltips (override-redirect) come and go by themselves.
               return XGetWindowAttributes(display, above, &attributes) != 0 && attributes.map_state == IsViewable &&
                      attributes.override_redirect == False && attributes.x <= 0 && attributes.y <= 0 &&
                      attributes.x + attributes.width >= screenWidth &&
                      attributes.y + attributes.height >= screenHeight;
           });
}

} // namespace velora::vremote::ui
