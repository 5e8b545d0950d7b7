// Card access: the suite's only road to the capture card's hardware.
//
// A CaptureCard binds at run time to the driver library "libvelorahwio.so", finds a
// Bt848-family decoder on the PCI bus through it, has it map the chip's register window,
// and from then on reads and writes the chip's 32-bit registers by byte offset and drives
// the chip's I2C master, over which the tuner module is programmed. It also carries the
// tuner and card description (I2C address, band bytes and limits, input and audio bits),
// set to a built-in description until description files overwrite it.
//
// Whether the card was found is fixed at construction; to look again, destroy the object
// and construct a new one.
#pragma once

#include <cstdint>

#include "hw/BtRegisters.h"
#include "hw/DriverApi.h"
#include "platform/Clock.h"
#include "platform/LibraryLoader.h"

namespace velora {

// The driver library's file name, looked up through the normal library search path.
inline constexpr const char* kDriverLibraryName = "libvelorahwio.so";

// How a card object lets go of the driver library when it is destroyed.
enum class CardRelease {
    // The tuner library: the driver library is unloaded; the mapping is left to it.
    UnloadOnly,
    // The remote daemon: the mapping is released with memoryUnmap first, then the driver
    // library is unloaded.
    UnmapThenUnload,
};

class CaptureCard
{
public:
    // Loads the driver library, resolves its six entry points, looks for the four chips in
    // turn and maps the first one found. Never fails outward: see IsFound().
    CaptureCard(platform::LibraryLoader& loader, platform::Clock& clock, CardRelease release);
    virtual ~CaptureCard();

    CaptureCard(const CaptureCard&) = delete;
    CaptureCard& operator=(const CaptureCard&) = delete;

    // True unless the driver library, one of its entry points or the chip was missing.
    bool IsFound() const { return notFound == 0; }

    // Reads the register at this byte offset into value. Returns false, leaving value as it
    // was, when the card is not found.
    bool ReadRegister(std::uint32_t offset, std::uint32_t& value);

    // Writes the register at this byte offset. Returns false, writing nothing, when the card
    // is not found.
    bool WriteRegister(std::uint32_t offset, std::uint32_t value);

    // Sends three bytes over the chip's I2C master: the low 8 bits of address, then the high
    // and the low byte of the low 16 bits of data. Clears the I2C-done status first and waits
    // 50 ms for the transfer to end; the done bit and the acknowledge are not looked at.
    // Always returns true, card or no card.
    bool WriteI2C(std::uint32_t address, std::uint32_t data);

    // The tuner and card description, written straight from the description files.
    std::uint32_t I2CAddress = 0xC2;             // tuner's I2C write address; only the low 8 bits are sent
    std::uint32_t VHFLow = 0x8E02;               // control byte (high) and band byte (low) of the low VHF band
    std::uint32_t VHFHigh = 0x8E04;              // the same for the high VHF band
    std::uint32_t UHF = 0x8E01;                  // the same for UHF
    std::int32_t Threshold1 = 14025;             // highest frequency of the low VHF band, 10 kHz units
    std::int32_t Threshold2 = 46325;             // highest frequency of the high VHF band, 10 kHz units
    std::uint32_t VideoTuner = bt::IFORM_MUX0;   // IFORM bits that select the tuner's video
    std::uint32_t VideoSource1 = bt::IFORM_MUX1; // ... external source 1
    std::uint32_t VideoSource2 = bt::IFORM_MUX2; // ... external source 2
    std::uint32_t VideoMask = bt::IFORM_MUXSEL;  // IFORM bits that a video selection replaces
    std::uint32_t AudioTuner = 0x02;             // GPIO_DATA bits that select the tuner's sound
    std::uint32_t AudioSource1 = 0x00;
    std::uint32_t AudioSource2 = 0x00;
    std::uint32_t AudioMute = 0x08; // GPIO_DATA bits that silence the sound
    std::uint32_t AudioMask = 0x0F; // GPIO_DATA bits that an audio selection replaces

private:
    bool bindDriver();

    PciGetHardwareResourcesFn pciGetHardwareResources = nullptr;
    IsDriverOpenedFn isDriverOpened = nullptr;
    MemoryUnmapFn memoryUnmap = nullptr;
    MemoryMapFn memoryMap = nullptr;
    MemoryReadFn memoryRead = nullptr;
    MemoryWriteFn memoryWrite = nullptr;
    std::uint8_t notFound = 0;
    std::uint32_t hwResource1 = 0;
    std::uint32_t hwResource2 = 0;
    std::uint32_t hwResource3 = 0;
    platform::LibraryHandle driverModule = nullptr;

    platform::LibraryLoader& m_loader;
    platform::Clock& m_clock;
    CardRelease m_release;
};

} // namespace velora
