#include "remote/DesktopChoice.h"

#include <algorithm>

namespace velora::remote {
namespace {

constexpr DesktopKind kKinds[] = {DesktopKind::X11, DesktopKind::Wayland, DesktopKind::Uinput};

bool sameLetters(std::string_view text, std::string_view lowerName)
{
    return text.size() == lowerName.size() &&
           std::equal(text.begin(), text.end(), lowerName.begin(),
                      [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b; });
}

} // namespace

std::optional<DesktopKind> desktopKind(std::string_view text)
{
    for (const DesktopKind kind : kKinds) {
        if (sameLetters(text, desktopKindName(kind))) {
            return kind;
        }
    }
    return std::nullopt;
}

const char* desktopKindName(DesktopKind kind)
{
    switch (kind) {
    case DesktopKind::Wayland:
        return "wayland";
    case DesktopKind::Uinput:
        return "uinput";
    case DesktopKind::X11:
        break;
    }
    return "x11";
}

std::vector<DesktopKind> desktopCandidates(std::string_view setting, const SessionFacts& facts)
{
    if (const std::optional<DesktopKind> chosen = desktopKind(setting)) {
        return {*chosen};
    }
    // Only a compositor exports WAYLAND_DISPLAY to its programs. A compositor started from the
    // text console leaves the session's type at "tty", so anything but an X11 session that
    // has it counts as a Wayland session.
    const bool wayland = sameLetters(facts.sessionType, "wayland") ||
                         (facts.waylandDisplaySet && !sameLetters(facts.sessionType, "x11"));
    std::vector<DesktopKind> candidates;
    if (wayland) {
        if (facts.waylandDisplaySet) {
            candidates.push_back(DesktopKind::Wayland);
        }
        candidates.push_back(DesktopKind::Uinput);
        // XWayland, as the last resort: its synthetic keys reach only the X programs.
        if (facts.displaySet) {
            candidates.push_back(DesktopKind::X11);
        }
        return candidates;
    }
    if (facts.displaySet) {
        candidates.push_back(DesktopKind::X11);
    }
    if (facts.waylandDisplaySet) {
        candidates.push_back(DesktopKind::Wayland);
    }
    candidates.push_back(DesktopKind::Uinput);
    return candidates;
}

OpenedDesktop openDesktop(const std::vector<DesktopKind>& candidates, const DesktopOpeners& openers)
{
    OpenedDesktop opened;
    for (const DesktopKind kind : candidates) {
        const auto& opener = kind == DesktopKind::X11       ? openers.x11
                             : kind == DesktopKind::Wayland ? openers.wayland
                                                            : openers.uinput;
        if (opener) {
            if (std::unique_ptr<platform::Desktop> desktop = opener()) {
                opened.desktop = std::move(desktop);
                opened.kind = kind;
                return opened;
            }
        }
        opened.unavailable.push_back(kind);
    }
    return opened;
}

std::string desktopLogLine(const OpenedDesktop& opened)
{
    std::string tried;
    for (const DesktopKind kind : opened.unavailable) {
        tried += std::string(tried.empty() ? "" : ", ") + desktopKindName(kind);
    }
    if (opened.desktop == nullptr) {
        return "Desktop: none could be opened (tried " + tried + "): no keys or pointer moves can be sent\n";
    }
    if (opened.kind == DesktopKind::X11 && tried.empty()) {
        // The X11 desktop of an X11 session, as it always was: the log stays as it was.
        return {};
    }
    std::string line = std::string("Desktop: ") + desktopKindName(opened.kind);
    if (!tried.empty()) {
        line += " (" + tried + " not available)";
    }
    if (opened.kind == DesktopKind::Uinput) {
        // The kernel's device cannot tell which window is in front.
        line += "; the window in front cannot be told, so WhenActive and WhenClass sections never match and the "
                "Default section serves";
    }
    return line + "\n";
}

} // namespace velora::remote
