// The X11 desktop against a real X server (run under tests/support/with-desktop.sh, with and
// without a window manager). The tests make their own windows on a connection of their own
// and check what actually arrives there. Errors on that connection mean the test itself is
// wrong: they are counted and fail the test.
// Include GoogleTest before this header: Xlib's macros (None, Bool) break it otherwise.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Desktop.h"
#include "tests/support/XDisplay.h"

namespace velora::platform {

enum class TitleKind { Utf8, Latin1WmName, Untitled };

class X11DesktopTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens the desktop under test, trying again for a moment (Xvfb now and then resets a
    // connection made just after another one closed).
    static std::unique_ptr<Desktop> openDesktop();

    Atom atom(const char* name) { return XInternAtom(m_display, name, False); }
    Window makeWindow(const std::string& title, TitleKind kind = TitleKind::Utf8, Window parent = None);

    // Reads what has arrived, for up to timeout, until an event matches; keeps Xlib's idea of
    // the keymap up to date on the way, since the desktop may change it.
    std::optional<XEvent> waitForEvent(const std::function<bool(const XEvent&)>& matches,
                                       std::chrono::milliseconds timeout = std::chrono::seconds(3));
    // Reads events until the condition holds, for up to timeout.
    bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(3));

    void show(Window window);
    void focus(Window window);
    Window shownFocusedWindow(const std::string& title, TitleKind kind = TitleKind::Utf8);
    bool viewable(Window window) { return test::isViewable(m_display, window); }

    // "+Return" for a press, "-Return" for a release: the keysym of the keycode's first
    // column, or with typed set, the keysym the key types ("/shift" when Shift was down).
    std::string nextKey(Window window, bool typed = false);
    // Presses and releases the key through the desktop: "+name -name" as it arrives.
    std::string tap(std::uint8_t virtualKey, Window window);

    // Keycodes of the server's keymap now: the empty ones, and the first that carries the
    // keysym in its first column (0 when none).
    std::vector<KeyCode> emptyKeycodes();
    KeyCode keycodeCarrying(KeySym keysym);

    Display* m_display = nullptr;
    Window m_root = None;
    std::unique_ptr<Desktop> m_desktop;
    int m_xkbEventBase = 0;
    std::vector<Window> m_windows;
};

} // namespace velora::platform
