// The remote control's keys: their identifiers and the names macro files use. The codes the
// card's infrared receiver puts on the low byte of GPIO_DATA are in hw/IrCodes.h.
#pragma once

#include "hw/IrCodes.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace velora::remote {

// One remote-control key, 0 to 31: the index into KeyNameTable.
using RemoteKey = std::int32_t;

inline constexpr int kRemoteKeyCount = 32;

// The keys that the daemon itself gives a meaning to.
namespace keys {
inline constexpr RemoteKey Power = 0;
inline constexpr RemoteKey MouseMode = 1;
inline constexpr RemoteKey FullScreen = 2;
inline constexpr RemoteKey VolumeUp = 5;
inline constexpr RemoteKey Digit0 = 7;
inline constexpr RemoteKey Digit1 = 8; // Digit1 + n is the digit n + 1, up to 9
inline constexpr RemoteKey Cancel = 17;
inline constexpr RemoteKey Enter = 18;
inline constexpr RemoteKey AirCable = 20;
inline constexpr RemoteKey Inc = 22;
inline constexpr RemoteKey Dec = 24;
inline constexpr RemoteKey Down = 26;
} // namespace keys

// The names of the 32 keys in macro files, by RemoteKey; compared byte for byte.
extern const char* const KeyNameTable[kRemoteKeyCount];

// The key a macro file names, or nothing when the name is not a key's (case counts).
std::optional<RemoteKey> findKeyName(std::string_view name);

} // namespace velora::remote
