// The desktop of an X11 session, driven through Xlib and the XTEST extension: synthetic keys
// and mouse buttons, the pointer, the window in front, and finding windows by title.
//
// It is made of the parts of this folder: a connection of its own under the program's X error
// trap (X11Connection), the virtual-key table (X11Keysyms), the keymap with its spare keycodes
// (X11Keymap) and the windows (X11Windows). One lock around every call serialises their use
// of the connection, so the daemon's tick thread, its release-timer thread and the GUI thread
// may call at once. Losing the connection ends nothing: from then on every call does nothing,
// and the owner is told once through onConnectionLost (see X11Connection::setLostHandler for
// where it runs). When the desktop is destroyed, the keys and mouse buttons it still holds
// down are released and its spare keycodes made empty again.
#pragma once

#include "platform/Desktop.h"

#include <functional>
#include <memory>

namespace velora::platform {

class X11Connection;

// Opens a desktop on the X server (displayName as XOpenDisplay takes it, nullptr for
// $DISPLAY). Returns nullptr when there is no server to talk to or it lacks the XTEST
// extension.
std::unique_ptr<Desktop> openX11Desktop(const char* displayName = nullptr, std::function<void()> onConnectionLost = {});

// The same on a connection already open; nullptr (and the connection closed) without XTEST.
std::unique_ptr<Desktop> openX11Desktop(std::unique_ptr<X11Connection> connection,
                                        std::function<void()> onConnectionLost = {});

} // namespace velora::platform
