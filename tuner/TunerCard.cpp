#include "tuner/TunerCard.h"

#include "hw/BtRegisters.h"

namespace velora {
namespace {

constexpr std::uint32_t kContrastNinthBit = bt::CONTROL_CON_MSB;
constexpr std::uint32_t kSaturationNinthBits = bt::CONTROL_SAT_U_MSB | bt::CONTROL_SAT_V_MSB;
constexpr std::uint32_t kSaturationUNinthBit = bt::CONTROL_SAT_U_MSB;

// What the resolution set-ups write besides the interlace bit: the vertical delay of both, and
// the high resolution's SCLOOP value.
constexpr std::uint32_t kResolutionVdelay = 0x20;
constexpr std::uint32_t kHighResolutionScloop = 0xCC;

// Signed 32-bit arithmetic that wraps instead of overflowing, as the chip-side arithmetic
// of the tuner divider always has.
std::int32_t wrap32(std::int64_t value)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value)));
}

} // namespace

bool TunerCard::replaceBits(std::uint32_t offset, std::uint32_t mask, std::uint32_t bits)
{
    std::uint32_t value = 0;
    ReadRegister(offset, value);
    return WriteRegister(offset, (value & ~mask) | bits);
}

std::int32_t TunerCard::SetBrightnessLevel(std::int32_t level)
{
    level = clampLevel(level, 255);
    // The chip takes the low byte as a two's-complement offset from its neutral 128.
    WriteRegister(bt::BRIGHT, static_cast<std::uint32_t>(level - 128));
    return level;
}

std::int32_t TunerCard::GetBrightnessLevel()
{
    std::uint32_t value = 0;
    if (!ReadRegister(bt::BRIGHT, value)) {
        return 0;
    }
    return bt::brightnessLevel(value);
}

std::int32_t TunerCard::setNinthBitLevel(std::int32_t level, std::uint32_t ninthBits, std::uint32_t firstLow,
                                         std::uint32_t secondLow)
{
    std::uint32_t control = 0;
    ReadRegister(bt::E_CONTROL, control);
    level = clampLevel(level, 511);
    std::uint32_t low = static_cast<std::uint32_t>(level);
    if (level <= 255) {
        control &= ~ninthBits;
    } else {
        control |= ninthBits;
        low -= 256;
    }
    // O_CONTROL takes E_CONTROL's content: whatever it held before is replaced.
    WriteRegister(bt::E_CONTROL, control);
    WriteRegister(bt::O_CONTROL, control);
    WriteRegister(firstLow, low);
    if (secondLow != firstLow) {
        WriteRegister(secondLow, low);
    }
    return level;
}

std::int32_t TunerCard::getNinthBitLevel(std::uint32_t low, std::uint32_t ninthBit)
{
    std::uint32_t value = 0;
    std::uint32_t control = 0;
    if (!ReadRegister(low, value) || !ReadRegister(bt::E_CONTROL, control)) {
        return 0;
    }
    // Past 0x7FFFFFFF the sum wraps round as a signed 32-bit value.
    return static_cast<std::int32_t>(bt::ninthBitLevel(value, control, ninthBit));
}

std::int32_t TunerCard::SetContrastLevel(std::int32_t level)
{
    return setNinthBitLevel(level, kContrastNinthBit, bt::CONTRAST_LO, bt::CONTRAST_LO);
}

std::int32_t TunerCard::GetContrastLevel()
{
    return getNinthBitLevel(bt::CONTRAST_LO, kContrastNinthBit);
}

std::int32_t TunerCard::SetSaturationLevel(std::int32_t level)
{
    return setNinthBitLevel(level, kSaturationNinthBits, bt::SAT_U_LO, bt::SAT_V_LO);
}

std::int32_t TunerCard::GetSaturationLevel()
{
    // Only the U part is read back; V is always written with the same value.
    return getNinthBitLevel(bt::SAT_U_LO, kSaturationUNinthBit);
}

bool TunerCard::writeResolution(std::uint32_t vscale, std::uint32_t scloop)
{
    WriteRegister(bt::E_VSCALE_HI, vscale);
    WriteRegister(bt::O_VSCALE_HI, vscale);
    WriteRegister(bt::E_SCLOOP, scloop);
    WriteRegister(bt::O_SCLOOP, scloop);
    WriteRegister(bt::E_VDELAY_LO, kResolutionVdelay);
    return WriteRegister(bt::O_VDELAY_LO, kResolutionVdelay);
}

bool TunerCard::SetLowResolution()
{
    return writeResolution(0x00, 0x00);
}

bool TunerCard::SetHighResolution()
{
    return writeResolution(bt::VSCALE_HI_INT, kHighResolutionScloop);
}

bool TunerCard::SetFrequency(std::int32_t frequency)
{
    if (frequency == 0) {
        replaceBits(bt::IFORM, VideoMask, VideoSource1);
        return replaceBits(bt::GPIO_DATA, AudioMask, AudioSource1);
    }
    replaceBits(bt::IFORM, VideoMask, VideoTuner);
    // Silence the sound while the tuner settles.
    replaceBits(bt::GPIO_DATA, AudioMask, AudioMute);
    std::uint32_t band = UHF;
    if (frequency <= Threshold1) {
        band = VHFLow;
    } else if (frequency <= Threshold2) {
        band = VHFHigh;
    }
    // The frequency plus the 38.90 MHz intermediate frequency, in steps of 62.5 kHz.
    const std::int32_t divider =
        wrap32(std::int64_t{wrap32(std::int64_t{wrap32(std::int64_t{frequency} + 3890)} * 16)} / 100);
    WriteI2C(I2CAddress, static_cast<std::uint32_t>(divider));
    WriteI2C(I2CAddress, band);
    return replaceBits(bt::GPIO_DATA, AudioMask, AudioTuner);
}

bool TunerCard::HasSync()
{
    std::uint32_t status = 0;
    if (!ReadRegister(bt::DSTATUS, status)) {
        return false;
    }
    return (status & bt::DSTATUS_LOCKED) == bt::DSTATUS_LOCKED;
}

} // namespace velora
