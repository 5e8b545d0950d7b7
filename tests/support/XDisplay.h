// Helpers for tests that watch a real X server: a connection opened with retries (Xvfb
// drops a connection made just as another closes), windows found by class or title below
// any window-manager frame, and a wait for a selection owner such as the notification area.
// Include GoogleTest before this header: Xlib's macros (None, Bool) break it otherwise.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <X11/Xlib.h>

namespace velora::test {

struct DisplayCloser
{
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

// Tests ask about other programs' windows, which may go away between two requests: the
// errors that brings (BadWindow and the like) are ignored, instead of ending the test program
// as Xlib's default handler does. It replaces the process's error handler: openDisplay
// installs it; a test that opens connections by other means calls it first.
void ignoreErrorsOfVanishingWindows();

// Opens $DISPLAY, trying again for up to the time; null when no server answers.
DisplayPtr openDisplay(std::chrono::milliseconds timeout = std::chrono::seconds(5));
// The same for the display of that name (":3").
DisplayPtr openDisplay(const std::string& name, std::chrono::milliseconds timeout = std::chrono::seconds(5));

// The first window, depth first from the root, whose WM_CLASS class (or instance) equals
// the name; with viewableOnly, only mapped and viewable ones. 0 when none.
Window findWindowByClass(Display* display, const std::string& className, bool viewableOnly = false);
// The first window whose WM_NAME equals the title exactly; 0 when none.
Window findWindowByTitle(Display* display, const std::string& title);

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
