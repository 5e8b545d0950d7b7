// Macro files: which macro text each remote key plays, for every window (the Default scope)
// or only while the title of the window in front contains a given text (a WhenActive scope).
//
//   #bindings for the TV remote          a comment
//   Default                              opens the Default scope
//   VolumeUp: [VK_UP]                    binds a key (names as in KeyNameTable)
//   End                                  ends the section
//   WhenActive "Notepad"                 opens a scope for titles containing Notepad
//   Enter: "Hello"[VK_RETURN]
//      Mute                              unbinds Mute in this scope
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

#include "remote/RemoteKeys.h"

namespace velora::remote {

struct MacroScope
{
    // The text the title of the window in front must contain; none for the Default scope.
    std::optional<std::string> titlePattern;
    // The macro text bound to each key (the card remote's and the others'); none where the key
    // is unbound in this scope.
    std::array<std::optional<std::string>, kKeyCount> macros;
};

inline constexpr int kMaxScopes = 64;

struct MacroTables
{
    // Scope 0 is the Default scope; 1 to scopeCount - 1 the WhenActive sections in file order.
    std::array<MacroScope, kMaxScopes> scopes;
    int scopeCount = 1;

    // The macro text that applies to key in a window with this title: the first WhenActive
    // scope whose pattern occurs in the title and that binds the key, else the Default
    // scope's binding; null when nothing applies.
    const std::string* lookup(RemoteKey key, std::string_view title) const;

    // Whether any WhenActive scope exists, so that looking the title up is worth it.
    bool hasWindowScopes() const { return scopeCount > 1; }
};

// Reads the text of a macro file (already in text mode: no CR before LF) into fresh tables.
// Surplus WhenActive sections beyond the 63 that fit are read but dropped.
std::unique_ptr<MacroTables> parseMacroFile(std::string_view text);

} // namespace velora::remote
