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

} // namespace velora::test
