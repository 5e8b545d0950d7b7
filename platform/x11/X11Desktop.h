// The desktop of an X11 session, driven through Xlib and the XTEST extension: synthetic keys
// and mouse buttons, the pointer, the window in front, and finding windows by title.
//
// One X connection belongs to the object and every call takes one lock around its Xlib use,
// so the daemon's tick thread, its release-timer thread and the GUI thread may call at once.
// X errors on that connection (a window that vanished between two requests, a stale
// _NET_ACTIVE_WINDOW) are recorded and otherwise ignored: they never end the process. Nor does
// losing the connection (the X server ended or was killed), which Xlib would otherwise answer
// with exit() from whichever thread noticed: the object then does nothing any more and tells
// its owner through the connection-lost handler.
//
// Keys: each virtual-key code maps to one keysym (letters to the lower-case letter, digits
// to the digit, VK_NUMPAD0 to KP_0, ...) and the keysym to a keycode that carries it without
// Shift in the current keymap. A keysym the keymap lacks is given, for the moment, one of
// the keycodes that had no keysyms when the object was opened ("spare" keycodes); those
// assignments are reused while they last, the least recently used spare is taken over when
// all are in use (never one whose key is held down), and every spare is made empty again
// when the object is destroyed. Keys and mouse buttons still held down then are released.
//
// Window manager: one counts as present when the root's _NET_SUPPORTING_WM_CHECK names a
// window whose own _NET_SUPPORTING_WM_CHECK names itself (so a property left behind by a
// window manager that has exited is not believed). Maximise and activation use the
// EWMH requests when the manager lists them in _NET_SUPPORTED, and act on the window
// directly otherwise (move/resize to the screen; map, raise and focus). Without a window
// manager, minimising unmaps the window, since nothing else would hide it.
#pragma once

#include "platform/Desktop.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace velora::platform {

class X11Desktop final : public Desktop
{
public:
    // Connects to the X server (displayName as XOpenDisplay takes it, nullptr for $DISPLAY).
    // Returns nullptr when there is no server to talk to or it lacks the XTEST extension.
    static std::unique_ptr<X11Desktop> open(const char* displayName = nullptr);

    ~X11Desktop() override;
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    void keyEvent(std::uint8_t virtualKey, bool down) override;
    void mouseButton(MouseButton button, bool down) override;
    PointerPosition pointerPosition() override;
    void setPointerPosition(int x, int y) override;
    std::string foregroundTitle() override;
    void minimiseForeground() override;
    void maximiseForeground() override;
    bool activateWindow(const std::string& title) override;
    bool isKeyDown(std::uint8_t virtualKey) override;

    // Called once when the connection to the X server breaks, on the thread whose call of
    // this object noticed it, inside that call: it must not call the object back. From then
    // on every call does nothing. Set it before the object is shared with other threads.
    void setConnectionLostHandler(std::function<void()> handler);
    bool connectionLost() const;

    // The X error most recently ignored on a connection of this class, for diagnostics and
    // tests; count is the number ignored since the process started (0: none yet).
    struct IgnoredError
    {
        std::uint64_t count = 0;
        int errorCode = 0;
        int requestCode = 0;
        unsigned long resource = 0;
    };
    static IgnoredError lastIgnoredError();

    // The X keysym a virtual-key code stands for, 0 (NoSymbol) for codes without one.
    static unsigned long keysymForVirtualKey(std::uint8_t virtualKey);

private:
    class Impl;
    explicit X11Desktop(std::unique_ptr<Impl> impl);

    std::unique_ptr<Impl> m_impl;
};

} // namespace velora::platform
