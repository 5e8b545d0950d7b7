// Registers and PCI identity of the Bt848 family (Bt848, Bt849, Bt878, Bt879) as far as the
// suite touches them. Offsets are bytes into the chip's register window; every register is
// read and written as a whole 32-bit word.
#pragma once

#include <cstdint>

namespace velora::bt {

inline constexpr std::uint32_t DSTATUS = 0x000;
inline constexpr std::uint32_t IFORM = 0x004;
inline constexpr std::uint32_t E_VDELAY_LO = 0x010;
inline constexpr std::uint32_t BRIGHT = 0x028;
inline constexpr std::uint32_t E_CONTROL = 0x02C;
inline constexpr std::uint32_t CONTRAST_LO = 0x030;
inline constexpr std::uint32_t SAT_U_LO = 0x034;
inline constexpr std::uint32_t SAT_V_LO = 0x038;
inline constexpr std::uint32_t E_SCLOOP = 0x040;
inline constexpr std::uint32_t E_VSCALE_HI = 0x04C;
inline constexpr std::uint32_t O_VDELAY_LO = 0x090;
inline constexpr std::uint32_t O_CONTROL = 0x0AC;
inline constexpr std::uint32_t O_SCLOOP = 0x0C0;
inline constexpr std::uint32_t O_VSCALE_HI = 0x0CC;
inline constexpr std::uint32_t INT_STAT = 0x100;
inline constexpr std::uint32_t I2C = 0x110;
inline constexpr std::uint32_t GPIO_DATA = 0x200;

// A register and a value for it.
struct RegisterValue
{
    std::uint32_t offset;
    std::uint32_t value;
};

// Size of the register window.
inline constexpr std::uint32_t kWindowSize = 0x1000;

// IFORM bits 6-5 (MUXSEL) choose the video input multiplexer. The field's values do not run in
// the order of the inputs: 0x40 is MUX0, 0x60 MUX1, 0x20 MUX2 and 0x00 MUX3.
inline constexpr std::uint32_t IFORM_MUXSEL = 0x60;
inline constexpr std::uint32_t IFORM_MUX0 = 0x40;
inline constexpr std::uint32_t IFORM_MUX1 = 0x60;
inline constexpr std::uint32_t IFORM_MUX2 = 0x20;
inline constexpr std::uint32_t IFORM_MUX3 = 0x00;
// IFORM bits 4-3 (XTSEL): both set lets the chip choose the crystal.
inline constexpr std::uint32_t IFORM_XTSEL_AUTO = 0x18;

// The multiplexer, 0 to 3, that an IFORM value selects.
constexpr int iformMux(std::uint32_t iform)
{
    switch (iform & IFORM_MUXSEL) {
    case IFORM_MUX0:
        return 0;
    case IFORM_MUX1:
        return 1;
    case IFORM_MUX2:
        return 2;
    default:
        return 3;
    }
}

// BRIGHT: the brightness offset, a two's-complement byte in bits 7-0; 0 is neutral. The
// suite counts brightness from 0 to 255 with 128 neutral.
inline constexpr std::uint32_t BRIGHT_OFFSET = 0xFF;

constexpr std::int32_t brightnessLevel(std::uint32_t bright)
{
    return static_cast<std::int8_t>(static_cast<std::uint8_t>(bright & BRIGHT_OFFSET)) + 128;
}

// E_CONTROL and O_CONTROL: the ninth (most significant) bits of contrast and of the two
// saturation gains, whose low eight bits stand in CONTRAST_LO, SAT_U_LO and SAT_V_LO.
inline constexpr std::uint32_t CONTROL_CON_MSB = 0x04;
inline constexpr std::uint32_t CONTROL_SAT_U_MSB = 0x02;
inline constexpr std::uint32_t CONTROL_SAT_V_MSB = 0x01;

// A contrast or saturation level, 0 to 511: the low register's value and the ninth bit.
constexpr std::uint32_t ninthBitLevel(std::uint32_t low, std::uint32_t control, std::uint32_t ninthBit)
{
    return low + ((control & ninthBit) != 0 ? 256u : 0u);
}

// E_VSCALE_HI and O_VSCALE_HI: the comb filter and the interlace bit.
inline constexpr std::uint32_t VSCALE_HI_COMB = 0x40;
inline constexpr std::uint32_t VSCALE_HI_INT = 0x20;

// DSTATUS: video present and horizontal lock; both together mean a locked signal.
inline constexpr std::uint32_t DSTATUS_PRES = 0x80;
inline constexpr std::uint32_t DSTATUS_HLOC = 0x40;
inline constexpr std::uint32_t DSTATUS_LOCKED = DSTATUS_PRES | DSTATUS_HLOC;

// INT_STAT: the I2C-done status bit; writing 1 to it clears it.
inline constexpr std::uint32_t INT_STAT_I2CDONE = 0x100;

// I2C: a three-byte write holds the device address in bits 31-24 and two data bytes in bits
// 23-16 and 15-8, above the control bits 7-0. I2C_WRITE3 is the control byte of such a write
// (bit 7 set, sync bit clear, write-three-bytes bit and the SCL and SDA lines set).
inline constexpr std::uint32_t I2C_CONTROL = 0xFF;
inline constexpr std::uint32_t I2C_WRITE3 = 0x87;

// The word of a three-byte write: the low 8 bits of address and the low 16 bits of data.
constexpr std::uint32_t i2cWriteWord(std::uint32_t address, std::uint32_t data)
{
    return ((address & 0xFFu) << 24) | ((data & 0xFFFFu) << 8) | I2C_WRITE3;
}
constexpr std::uint32_t i2cAddress(std::uint32_t word)
{
    return word >> 24;
}
constexpr std::uint32_t i2cFirstByte(std::uint32_t word)
{
    return (word >> 16) & 0xFFu;
}
constexpr std::uint32_t i2cSecondByte(std::uint32_t word)
{
    return (word >> 8) & 0xFFu;
}

// GPIO_DATA bits 7-0: the remote's infrared receiver puts the code of a pressed key there.
// The remote daemon arms the receiver by setting them all and disarms it by clearing them.
inline constexpr std::uint32_t GPIO_REMOTE_CODE = 0xFF;

// The registers that the suite reads whose value after power-on or a software reset is not 0:
// contrast and both saturation gains at 100 % (their ninth bits in E_CONTROL and O_CONTROL
// are 0), the tuner's input MUX0 with automatic crystal and format selection, the vertical
// delay of a 525-line picture and the comb filter and interlace bits of the vertical scaler.
// BRIGHT, the CONTROL and SCLOOP registers, INT_STAT, I2C and GPIO_DATA start at 0.
inline constexpr RegisterValue kPowerOnValues[] = {
    {IFORM, IFORM_MUX0 | IFORM_XTSEL_AUTO},
    {E_VDELAY_LO, 0x16},
    {O_VDELAY_LO, 0x16},
    {CONTRAST_LO, 0xD8},
    {SAT_U_LO, 0xFE},
    {SAT_V_LO, 0xB4},
    {E_VSCALE_HI, VSCALE_HI_COMB | VSCALE_HI_INT},
    {O_VSCALE_HI, VSCALE_HI_COMB | VSCALE_HI_INT},
};

// PCI identity.
inline constexpr std::uint32_t kPciVendor = 0x109E;
inline constexpr std::uint32_t kBt848 = 0x350;
inline constexpr std::uint32_t kBt849 = 0x351;
inline constexpr std::uint32_t kBt878 = 0x36E;
inline constexpr std::uint32_t kBt879 = 0x36F;

// The order in which the card is looked for.
inline constexpr std::uint32_t kDiscoveryOrder[] = {kBt848, kBt849, kBt878, kBt879};

} // namespace velora::bt
