// The remote control's keys: their identifiers and the names macro files use. Keys 0 to 31 are
// the keys of the card's own remote; the codes its infrared receiver puts on the low byte of
// GPIO_DATA are in hw/IrCodes.h. The keys after them are the common keys of other remotes,
// which reach the daemon through LIRC or a Linux input device (remote/KernelKeys.h).
#pragma once

#include "hw/IrCodes.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace velora::remote {

// One remote-control key: the card's remote's keys 0 to 31, then the keys of other remotes.
using RemoteKey = std::int32_t;

// The keys of the card's remote.
inline constexpr int kRemoteKeyCount = 32;
// The keys of other remotes that follow them.
inline constexpr int kMoreKeyCount = 24;
// Every key a macro file can bind.
inline constexpr int kKeyCount = kRemoteKeyCount + kMoreKeyCount;

// The keys that the daemon itself gives a meaning to.
namespace keys {
inline constexpr RemoteKey Power = 0;
inline constexpr RemoteKey MouseMode = 1;
inline constexpr RemoteKey FullScreen = 2;
inline constexpr RemoteKey ChannelUp = 3;
inline constexpr RemoteKey ChannelDown = 4;
inline constexpr RemoteKey VolumeUp = 5;
inline constexpr RemoteKey VolumeDown = 6;
inline constexpr RemoteKey Digit0 = 7;
inline constexpr RemoteKey Digit1 = 8; // Digit1 + n is the digit n + 1, up to 9
inline constexpr RemoteKey Cancel = 17;
inline constexpr RemoteKey Enter = 18;
inline constexpr RemoteKey Recall = 19;
inline constexpr RemoteKey AirCable = 20;
inline constexpr RemoteKey Video = 21;
inline constexpr RemoteKey Inc = 22;
inline constexpr RemoteKey Audio = 23;
inline constexpr RemoteKey Dec = 24;
inline constexpr RemoteKey Frame = 25;
inline constexpr RemoteKey Down = 26;
inline constexpr RemoteKey Esc = 27;
inline constexpr RemoteKey TabRight = 28;
inline constexpr RemoteKey TabLeft = 29;
inline constexpr RemoteKey Mute = 30;
inline constexpr RemoteKey AVSource = 31;
// Keys of other remotes.
inline constexpr RemoteKey Up = 32;
inline constexpr RemoteKey Left = 33;
inline constexpr RemoteKey Right = 34;
inline constexpr RemoteKey Ok = 35;
inline constexpr RemoteKey Back = 36;
inline constexpr RemoteKey Menu = 37;
inline constexpr RemoteKey Info = 38;
inline constexpr RemoteKey Home = 39;
inline constexpr RemoteKey Play = 40;
inline constexpr RemoteKey Pause = 41;
inline constexpr RemoteKey PlayPause = 42;
inline constexpr RemoteKey Stop = 43;
inline constexpr RemoteKey Record = 44;
inline constexpr RemoteKey Rewind = 45;
inline constexpr RemoteKey FastForward = 46;
inline constexpr RemoteKey Next = 47;
inline constexpr RemoteKey Previous = 48;
inline constexpr RemoteKey Red = 49;
inline constexpr RemoteKey Green = 50;
inline constexpr RemoteKey Yellow = 51;
inline constexpr RemoteKey Blue = 52;
inline constexpr RemoteKey Guide = 53;
inline constexpr RemoteKey PageUp = 54;
inline constexpr RemoteKey PageDown = 55;
} // namespace keys

// The names of the card's remote's 32 keys in macro files, by RemoteKey.
extern const char* const KeyNameTable[kRemoteKeyCount];
// The names of the keys after them, by RemoteKey - kRemoteKeyCount.
extern const char* const MoreKeyNameTable[kMoreKeyCount];

// The name of any key in macro files; null for a number that is no key.
const char* keyName(RemoteKey key);

// The key a macro file names, or nothing when the name is not a key's (case counts).
std::optional<RemoteKey> findKeyName(std::string_view name);

} // namespace velora::remote
