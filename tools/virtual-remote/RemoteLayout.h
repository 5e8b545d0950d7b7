// Where each of the remote's 32 keys sits on the virtual remote: a grid three keys wide,
// arranged like the hand-held remote, with Power alone at the top.
#pragma once

#include "remote/RemoteKeys.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace velora::vremote {

inline constexpr int kLayoutColumns = 3;

struct KeyPlacement
{
    remote::RemoteKey key = 0;
    int row = 0;
    int column = 0;
};

// Every key of KeyNameTable once, row by row from the top.
std::vector<KeyPlacement> remoteLayout();

// The code the card's receiver puts on GPIO_DATA for a key; nothing for Power, which the
// receiver never reports, and for a value that is not a key.
std::optional<std::uint8_t> receiverCode(remote::RemoteKey key);

} // namespace velora::vremote
