// The virtual-key names that macro chords use ("VK_RETURN", "VK_F5", ...): the codes of
// platform/VirtualKeys.h by their names.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/VirtualKeys.h"

namespace velora::remote {

struct VirtualKeyName
{
    const char* name;
    std::uint8_t code;
};

// The 100 classic names, then the 12 media keys.
inline constexpr int kVirtualKeyCount = 112;
extern const VirtualKeyName VirtualKeyTable[kVirtualKeyCount];

// The code of the first table row whose name equals the name exactly; otherwise the code of
// the name's first character in upper case, which gives the letter and digit keys ("a" and
// "A" are 0x41, "7" is 0x37, "Shift" is 0x53, the S key). 0 for an empty name.
std::uint8_t LookupVirtualKey(std::string_view name);

// The table name of a code ("VK_RETURN"), or null when the table has none.
const char* virtualKeyName(std::uint8_t code);

} // namespace velora::remote
