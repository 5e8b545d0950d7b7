// Helpers for tests that watch a real X server: a connection opened with retries (Xvfb
// drops a connection made just as another closes), waiting for events, windows found by
// class or title below any window-manager frame, window lists from properties, and a wait
// for a selection owner such as the notification area.
// Include GoogleTest before this header: Xlib's macros (None, Bool) break it otherwise.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <X11/Xlib.h>

#include "platform/x11/X11Connection.h"

namespace velora::test {

// A connection of the test's own, under the program's X error trap: tests ask about other
// programs' windows, which may go away between two requests, and the errors that brings
// (BadWindow and the like) are ignored instead of ending the test program; so is a server
// that goes away while the connection is open.
class DisplayPtr
{
public:
    DisplayPtr() = default;
    explicit DisplayPtr(std::unique_ptr<platform::X11Connection> connection) : m_connection(std::move(connection)) {}

    Display* get() const { return m_connection ? m_connection->display() : nullptr; }
    explicit operator bool() const { return m_connection != nullptr; }
    bool operator==(std::nullptr_t) const { return m_connection == nullptr; }

private:
    std::unique_ptr<platform::X11Connection> m_connection;
};

// Opens $DISPLAY, trying again for up to the time; null when no server answers.
DisplayPtr openDisplay(std::chrono::milliseconds timeout = std::chrono::seconds(5));
// The same for the display of that name (":3").
DisplayPtr openDisplay(const std::string& name, std::chrono::milliseconds timeout = std::chrono::seconds(5));

// Reads the events that arrive on the connection, for up to the time, until one matches;
// that one, or nothing.
std::optional<XEvent> waitForEvent(Display* display, const std::function<bool(const XEvent&)>& matches,
                                   std::chrono::milliseconds timeout);

// The first window, depth first from the root, whose WM_CLASS class (or instance) equals
// the name; with viewableOnly, only mapped and viewable ones. 0 when none.
Window findWindowByClass(Display* display, const std::string& className, bool viewableOnly = false);
// The first window whose WM_NAME equals the title exactly; 0 when none.
Window findWindowByTitle(Display* display, const std::string& title);
// Whether the window is mapped and all its ancestors too; false for one that has gone.
bool isViewable(Display* display, Window window);
// Whether the window's WM_NAME is exactly the title.
bool hasTitle(Display* display, Window window, const std::string& title);
// How many windows have exactly this WM_NAME; with viewableOnly, how many of them show.
int countWindowsTitled(Display* display, const std::string& title, bool viewableOnly = false);

// The windows a property of a window lists (_NET_CLIENT_LIST, _NET_ACTIVE_WINDOW, ...);
// empty when it has none.
std::vector<Window> windowsInProperty(Display* display, Window window, const char* property);
// The window's children, bottom of the stack first; empty for a window that has gone.
std::vector<Window> childrenOf(Display* display, Window window);
// The root's child that holds a window: its frame under a window manager, the window itself
// without one.
Window frameOf(Display* display, Window window);
// The window with the keyboard focus.
Window inputFocus(Display* display);

// Waits until the selection (for example "_NET_SYSTEM_TRAY_S0") has an owner.
bool waitForSelectionOwner(Display* display, const char* selection, std::chrono::milliseconds timeout);

// The centre of a window in root coordinates.
std::pair<int, int> windowCentre(Display* display, Window window);

// A rectangle of the screen as a test sees it: the colours (0xRRGGBB) of the root window's
// pixels, read in one request.
class ScreenArea
{
public:
    // Empty (width() 0) when the rectangle cannot be read, as one reaching off the screen.
    ScreenArea(Display* display, int x, int y, int width, int height);

    int width() const { return m_width; }
    int height() const { return m_height; }
    // The colour at a point relative to the rectangle's corner.
    unsigned long at(int x, int y) const { return m_pixels[static_cast<std::size_t>(y * m_width + x)]; }
    // How many pixels of the rectangle have the colour.
    int count(unsigned long colour) const;
    bool operator==(const ScreenArea& other) const = default;

private:
    int m_width = 0;
    int m_height = 0;
    std::vector<unsigned long> m_pixels;
};

} // namespace velora::test
