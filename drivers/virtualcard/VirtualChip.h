// The simulated Bt848-family chip of the virtual card: the behaviour of its register window,
// its I2C master with the tuner module behind it, its video sync and the remote's receiver
// on the GPIO pins, over a CardStateLayout shared between processes.
//
// Plain register reads and writes are single 32-bit atomic accesses on the shared memory,
// cheap enough for a 10 ms polling loop and a benchmarked ReadRegister. Writes that change
// more than one field (an I2C transfer) and the management operations take the layout's
// process-shared lock. Every method may be called from any thread of any process that maps
// the same file.
#pragma once

#include "drivers/virtualcard/CardStateFile.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velora::virtualcard {

// How DSTATUS reports the video signal: from the tuned frequency, or forced.
enum class SignalMode : std::uint32_t {
    Auto = 0,
    On = 1,
    Off = 2,
};

// The tuner module as decoded from the transfers it received since the last reset.
struct TunerSnapshot
{
    std::uint32_t address = 0; // I2C address of the last transfer to a tuner
    std::optional<std::uint32_t> divider;
    std::optional<std::int64_t> frequencyHz; // divider x 62.5 kHz - 38.9 MHz
    std::optional<std::uint32_t> control;
    std::optional<std::uint32_t> band;
    bool onStation = false; // within 0.1 MHz of one of the card's stations
};

struct I2cTransfer
{
    std::uint32_t word = 0;
    std::uint64_t timeMs = 0; // CLOCK_MONOTONIC milliseconds
};

// A tuned frequency as people read it: steps of 62.5 kHz show three decimals, four when
// needed ("55.225 MHz", "55.2875 MHz").
std::string frequencyText(std::int64_t frequencyHz);

class VirtualChip
{
public:
    // The layout must stay mapped for the chip's lifetime.
    explicit VirtualChip(CardStateLayout& layout) : m_layout(layout) {}

    // A register by byte offset. Offsets outside the window or not 32-bit aligned read 0 and
    // write nothing. DSTATUS is computed from the signal mode and the tuner (its writes are
    // ignored); INT_STAT bits are cleared by writing 1 to them; a write of a three-byte
    // transfer word to I2C sends it to the bus; everything else is plain storage.
    std::uint32_t readRegister(std::uint32_t offset) const;
    void writeRegister(std::uint32_t offset, std::uint32_t value);

    // PCI device id of the chip present, 0 when there is none.
    std::uint32_t chipId() const;
    // Accepts 0 and the four device ids of the family; false (and no change) otherwise.
    bool setChipId(std::uint32_t id);

    SignalMode signalMode() const;
    void setSignalMode(SignalMode mode);
    // What DSTATUS shows now: video present and locked.
    bool hasSync() const;

    TunerSnapshot tuner() const;
    // The remembered transfers, oldest first (at most kTransferHistory).
    std::vector<I2cTransfer> recentTransfers() const;

    // The remote's receiver puts a key code on the low byte of GPIO_DATA. A program sees a key
    // only as a change of that byte, so when it already holds this code the byte first goes
    // to 0x00 for 30 ms (through sleep, which tests may replace).
    using Sleeper = std::function<void(std::chrono::milliseconds)>;
    void pressKey(std::uint8_t code, const Sleeper& sleep = {});
    // The code of the last key pressed since the last reset.
    std::optional<std::uint8_t> lastRemoteKey() const;

    // The card as after power-on: the chip's reset values in the registers (0 in all but a
    // few), a Bt878 present, signal from the tuner, no tuner state, no transfers, no key
    // pressed.
    void reset();

    // True when a frequency lies within 0.1 MHz of a picture carrier of the card's stations.
    static bool isStationFrequency(std::int64_t frequencyHz);
    // The tuned frequency for a divider: divider counts 62.5 kHz steps of the frequency plus
    // the 38.9 MHz intermediate frequency.
    static std::int64_t dividerToFrequencyHz(std::uint32_t divider);

    static constexpr std::chrono::milliseconds kRepeatGap{30};

private:
    void sendI2c(std::uint32_t word);
    void replaceGpioLowByte(std::uint8_t value);

    CardStateLayout& m_layout;
};

} // namespace velora::virtualcard
