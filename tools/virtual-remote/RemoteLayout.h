// Where each of the remote's 32 keys sits on the virtual remote: a grid three keys wide,
// arranged like the hand-held remote in four blocks from the top: Power and the mode keys,
// the cross of channel and volume keys around Mute, the digits, and the rest.
#pragma once

#include "remote/RemoteKeys.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace velora::vremote {

inline constexpr int kLayoutColumns = 3;

// What a key is for, which its colour tells on the remote.
enum class KeyGroup { PowerAndModes, ChannelAndVolume, Digits, Other };

struct KeyPlacement
{
    remote::RemoteKey key = 0;
    int row = 0;
    int column = 0;
    KeyGroup group = KeyGroup::Other;
    // The block of rows the key sits in, 0 to 3 from the top; the remote leaves a gap
    // between two blocks.
    int block = 0;
};

// Every key of KeyNameTable once, row by row from the top.
std::vector<KeyPlacement> remoteLayout();

// The code the card's receiver puts on GPIO_DATA for a key; nothing for Power, which the
// receiver never reports, and for a value that is not a key.
std::optional<std::uint8_t> receiverCode(remote::RemoteKey key);

} // namespace velora::vremote
