// The desktop as the remote daemon drives it: synthetic key and mouse-button events for the
// program in front, the pointer, the foreground window and finding windows by title.
//
// Keys are named by the virtual-key codes of platform/VirtualKeys.h (VK_RETURN, VK_DOWN, 'A'
// to 'Z' the letters, '0' to '9' the digits, ...), the codes that macro files use; a backend
// maps them to its own key names. Every operation is safe to call from any thread; none
// reports an error outward: a key without a counterpart, a vanished window or a window that
// cannot be found simply produces no effect.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/VirtualKeys.h"

namespace velora::platform {

enum class MouseButton { Left, Right };

// What identifies the program behind a window, which does not change with the document it
// shows: on X11 the two strings of WM_CLASS, on Wayland the application id in both.
struct WindowClass
{
    std::string instance;
    std::string name;
};

struct PointerPosition
{
    int x = 0;
    int y = 0;
};

class Desktop
{
public:
    virtual ~Desktop() = default;

    // Presses (down) or releases a key by virtual-key code, as if typed on the keyboard, for
    // whatever program has the keyboard focus. Codes without a key on this desktop do nothing.
    virtual void keyEvent(std::uint8_t virtualKey, bool down) = 0;

    // Presses or releases a mouse button where the pointer is.
    virtual void mouseButton(MouseButton button, bool down) = 0;

    // The pointer's position in screen coordinates (y grows downwards); {0, 0} when unknown.
    virtual PointerPosition pointerPosition() = 0;

    // Moves the pointer; the desktop keeps it on the screen.
    virtual void setPointerPosition(int x, int y) = 0;

    // The title of the window in front, at most 255 bytes; empty when there is no such
    // window or it has no title.
    virtual std::string foregroundTitle() = 0;

    // The class of the window in front; empty strings when there is no such window or the
    // desktop cannot tell.
    virtual WindowClass foregroundClass() { return {}; }

    // Minimises (iconifies) or maximises the window in front, if any.
    virtual void minimiseForeground() = 0;
    virtual void maximiseForeground() = 0;

    // Brings the top-level window whose title is exactly this text to the front and gives it
    // the focus. Returns false when no window has that title.
    virtual bool activateWindow(const std::string& title) = 0;

    // Whether the key with this virtual-key code is held down right now on the real
    // keyboard. VK_CONTROL (0x11) means either Control key.
    virtual bool isKeyDown(std::uint8_t virtualKey) = 0;

    // Calls `pressed`, on a thread of the desktop's own, whenever a key goes down anywhere on
    // the desktop, without taking the key from the program in front: someone waiting for a
    // combination asks isKeyDown then, instead of asking every few milliseconds. An empty
    // function stops the calls; once that returns, none runs or will come (so it must not be
    // made from `pressed` itself). False when this desktop cannot tell: the caller has to ask
    // in a loop.
    virtual bool watchKeyPresses(std::function<void()> pressed)
    {
        (void)pressed;
        return false;
    }
};

} // namespace velora::platform
