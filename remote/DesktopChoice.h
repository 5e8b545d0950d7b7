// Which desktop back end the daemon drives: X11 (XTEST), Wayland (the virtual-keyboard and
// virtual-pointer protocols of wlroots compositors) or the kernel's uinput device. The setting
// Desktop in section "KavoRemote" names one; without it (or with a name this does not know)
// the session decides. The program opens the back ends; this only decides the order to try
// them in, from facts about the session handed in, so that it needs no OS calls.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Desktop.h"

namespace velora::remote {

enum class DesktopKind {
    X11,
    Wayland,
    Uinput,
};

// "x11", "wayland" or "uinput" in any letter case; nothing for any other text.
std::optional<DesktopKind> desktopKind(std::string_view text);
// The name a back end is written and logged as.
const char* desktopKindName(DesktopKind kind);

// What the environment says about the session.
struct SessionFacts
{
    bool displaySet = false;        // DISPLAY is set and not empty
    bool waylandDisplaySet = false; // WAYLAND_DISPLAY is set and not empty
    std::string sessionType;        // XDG_SESSION_TYPE as it is ("x11", "wayland", "tty", ...)
};

// The back ends to try, in order, for a Desktop setting: the one it names alone. For an empty
// or unknown setting, in a Wayland session (XDG_SESSION_TYPE "wayland", or WAYLAND_DISPLAY set
// in a session that is not an X11 one): Wayland, then uinput, which works on every desktop
// and the console, and last X11 when DISPLAY is set (XWayland, whose synthetic keys reach only
// the X programs). Otherwise X11 when DISPLAY is set, Wayland when WAYLAND_DISPLAY is set (a
// compositor nested in an X11 session), and uinput last.
std::vector<DesktopKind> desktopCandidates(std::string_view setting, const SessionFacts& facts);

// Opens one back end; an empty function or a nullptr result means it is not available here.
struct DesktopOpeners
{
    std::function<std::unique_ptr<platform::Desktop>()> x11;
    std::function<std::unique_ptr<platform::Desktop>()> wayland;
    std::function<std::unique_ptr<platform::Desktop>()> uinput;
};

struct OpenedDesktop
{
    std::unique_ptr<platform::Desktop> desktop; // nullptr when none could be opened
    DesktopKind kind = DesktopKind::X11;        // the one opened
    std::vector<DesktopKind> unavailable;       // the ones tried before it, in order
};

// Tries the candidates in order; the first that opens is the one.
OpenedDesktop openDesktop(const std::vector<DesktopKind>& candidates, const DesktopOpeners& openers);

// The one line for remote.log that says which back end is in use (or that none is), and what
// that means for per-window scopes; empty when it is X11, the first one tried, which needs no
// word.
std::string desktopLogLine(const OpenedDesktop& opened);

} // namespace velora::remote
