// The card as the tuner library drives it: picture controls, the two capture-resolution
// set-ups and tuning, on top of the register access of CaptureCard.
//
// Every operation reaches the chip only through ReadRegister, WriteRegister and WriteI2C.
// Changes of a register field are read-modify-write sequences that nothing guards against
// another writer of the same register (the remote daemon shares GPIO_DATA).
#pragma once

#include <cstdint>

#include "hw/CaptureCard.h"

namespace velora {

class TunerCard : public CaptureCard
{
public:
    // The tuner library never unmaps the register window itself; it only unloads the driver.
    TunerCard(platform::LibraryLoader& loader, platform::Clock& clock)
        : CaptureCard(loader, clock, CardRelease::UnloadOnly)
    {}

    // Picture levels: brightness 0..255 (128 is the chip's neutral setting), contrast and
    // saturation 0..511, where levels above 255 use the ninth bits in E_CONTROL and
    // O_CONTROL. Setters clamp the level, write it (nothing when the card is not found) and
    // return the level set. Getters return 0 when the registers cannot be read.
    std::int32_t SetBrightnessLevel(std::int32_t level);
    std::int32_t GetBrightnessLevel();
    std::int32_t SetContrastLevel(std::int32_t level);
    std::int32_t GetContrastLevel();
    std::int32_t SetSaturationLevel(std::int32_t level);
    std::int32_t GetSaturationLevel();

    // Capture resolution: 288 lines non-interlaced, or 576 lines interlaced. Each returns the
    // result of its last register write.
    bool SetLowResolution();
    bool SetHighResolution();

    // Tunes to a frequency in 10 kHz units, or selects external source 1 for 0. Returns the
    // result of the last register write: true when the card is present.
    bool SetFrequency(std::int32_t frequency);

    // Whether DSTATUS shows a video signal that is present and locked.
    bool HasSync();

private:
    bool replaceBits(std::uint32_t offset, std::uint32_t mask, std::uint32_t bits);
    std::int32_t setNinthBitLevel(std::int32_t level, std::uint32_t ninthBits, std::uint32_t firstLow,
                                  std::uint32_t secondLow);
    std::int32_t getNinthBitLevel(std::uint32_t low, std::uint32_t ninthBit);
    bool writeResolution(std::uint32_t vscale, std::uint32_t scloop);
};

// Clamps a picture level into 0..max, as the setters do.
inline std::int32_t clampLevel(std::int32_t level, std::int32_t max)
{
    return level < 0 ? 0 : (level > max ? max : level);
}

} // namespace velora
