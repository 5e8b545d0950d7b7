// The virtual-key names that macro chords use ("VK_RETURN", "VK_F5", ...) and their codes.
#pragma once

#include <cstdint>
#include <string_view>

namespace velora::remote {

struct VirtualKeyName
{
    const char* name;
    std::uint8_t code;
};

inline constexpr int kVirtualKeyCount = 100;
extern const VirtualKeyName VirtualKeyTable[kVirtualKeyCount];

// Common codes the player and the daemon use themselves.
inline constexpr std::uint8_t VK_SHIFT = 0x10;
inline constexpr std::uint8_t VK_CONTROL = 0x11;
inline constexpr std::uint8_t VK_F10 = 0x79;
inline constexpr std::uint8_t VK_F11 = 0x7A;
inline constexpr std::uint8_t VK_F12 = 0x7B;

// The code of the first table row whose name equals the name exactly; otherwise the code of
// the name's first character in upper case, which gives the letter and digit keys ("a" and
// "A" are 0x41, "7" is 0x37, "Shift" is 0x53, the S key). 0 for an empty name.
std::uint8_t LookupVirtualKey(std::string_view name);

// The table name of a code ("VK_RETURN"), or null when the table has none.
const char* virtualKeyName(std::uint8_t code);

} // namespace velora::remote
