// The remote control's infrared receiver on the card: the codes it puts on the low byte of
// GPIO_DATA (GPIO_REMOTE_CODE), the key of the remote each code stands for, and the key's name
// in the remote daemon's log. Keys are counted 0 to 31, as the remote's keys are
// (remote/RemoteKeys.h names them); the receiver has a code for every key but key 0 (Power).
#pragma once

#include <cstdint>

namespace velora {

// One row of the receiver's code table.
struct IrCode
{
    std::uint32_t code;
    std::int32_t key; // 1 to 31
    const char* logName;
};

inline constexpr int kIrCodeCount = 31;
extern const IrCode IrCodeTable[kIrCodeCount];

// The row of a receiver code, or null when the code is not in the table.
const IrCode* findIrCode(std::uint32_t code);

// The row of a key, or null for a key the receiver has no code for.
const IrCode* findIrCodeOfKey(std::int32_t key);

} // namespace velora
