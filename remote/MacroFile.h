// Macro files: which macro text each remote key plays, for every window (the Default scope),
// only while the title of the window in front contains a given text (a WhenActive scope), or
// only while the program in front has a given window class (a WhenClass scope).
//
//   #bindings for the TV remote          a comment
//   Default                              opens the Default scope
//   VolumeUp: [VK_UP]                    binds a key (names as in KeyNameTable)
//   End                                  ends the section
//   WhenActive "Notepad"                 opens a scope for titles containing Notepad
//   Enter: "Hello"[VK_RETURN]
//      Mute                              unbinds Mute in this scope
//   End
//   WhenClass "mpv"                      opens a scope for windows of class (or instance) mpv
//   Mute: "m"
//   End
//
// Tokens are case-sensitive. Lines are read as the C library's fgets into a 512-byte buffer
// reads them, so a line longer than 511 characters is read as several lines.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Desktop.h"
#include "remote/RemoteKeys.h"

namespace velora::remote {

struct MacroScope
{
    // The text the title of the window in front must contain; none for the Default scope.
    std::optional<std::string> titlePattern;
    // A WhenClass scope: the pattern is a window class, compared whole and without regard to
    // letter case with the instance and the class name of the window in front.
    bool matchesClass = false;
    // The macro text bound to each key (the card remote's and the others'); none where the key
    // is unbound in this scope.
    std::array<std::optional<std::string>, kKeyCount> macros;
};

inline constexpr int kMaxScopes = 64;

struct MacroTables
{
    // Scope 0 is the Default scope; 1 to scopeCount - 1 the WhenActive and WhenClass sections
    // in file order.
    std::array<MacroScope, kMaxScopes> scopes;
    int scopeCount = 1;

    // The macro text that applies to key in a window with this title and class: the first
    // WhenActive scope whose pattern occurs in the title, or WhenClass scope whose class the
    // window has, that binds the key; else the Default scope's binding; null when nothing
    // applies.
    const std::string* lookup(RemoteKey key, std::string_view title, const platform::WindowClass& windowClass) const;
    const std::string* lookup(RemoteKey key, std::string_view title) const { return lookup(key, title, {}); }

    // Whether any WhenActive (title) or WhenClass scope exists, so that asking the desktop for
    // the title or the class is worth it.
    bool hasWindowScopes() const { return hasTitleScopes || hasClassScopes; }
    bool hasTitleScopes = false;
    bool hasClassScopes = false;
};

// A line the loader skipped or cut, by its number in the file (from 1), and what and why.
struct MacroDiagnostic
{
    int line = 0;
    std::string message;
};

// Reads the text of a macro file (already in text mode: no CR before LF) into fresh tables.
// Surplus WhenActive and WhenClass sections beyond the 63 that fit are read but dropped. When
// diagnostics is given, it receives one entry for every line skipped or cut; the tables are
// the same either way.
std::unique_ptr<MacroTables> parseMacroFile(std::string_view text, std::vector<MacroDiagnostic>* diagnostics = nullptr);

} // namespace velora::remote
