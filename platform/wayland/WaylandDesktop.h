// The desktop of a Wayland session on a compositor that offers the wlroots protocols (sway,
// labwc, Hyprland, river, Wayfire): keys through a virtual keyboard
// (zwp_virtual_keyboard_manager_v1) with a keymap of its own (WaylandKeymap), the pointer
// through a virtual pointer (zwlr_virtual_pointer_manager_v1), and the windows - the one in
// front, its title and application id, minimising, maximising and activating by title -
// through the foreign-toplevel list (zwlr_foreign_toplevel_manager_v1).
//
// A thread of its own serves the connection's events, asleep in poll() on the display's
// descriptor until the compositor says something. One lock guards the state those events
// build (the windows, the outputs) and every call, so the daemon's threads may call at once.
// A protocol the compositor lacks is said once through the log; what needs it does nothing.
// Losing the connection ends nothing: from then on every call does nothing, and the owner is
// told once through onConnectionLost, on the event thread. When the desktop is destroyed,
// the keys and mouse buttons it still holds down are released.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/Desktop.h"

namespace velora::platform {

using DesktopLog = std::function<void(const std::string& line)>;

// Opens a desktop on the Wayland display (displayName as wl_display_connect takes it, nullptr
// for $WAYLAND_DISPLAY). Returns nullptr when there is no display to talk to or it offers no
// virtual keyboard (said through log). log is called on the calling thread while the desktop
// opens, and on the desktop's event thread afterwards.
std::unique_ptr<Desktop> openWaylandDesktop(const char* displayName = nullptr, DesktopLog log = {},
                                            std::function<void()> onConnectionLost = {});

} // namespace velora::platform
