#include "drivers/virtualcard/VirtualChip.h"

#include <cstdio>

#include "hw/BtRegisters.h"

#include <atomic>
#include <thread>

#include <time.h>

namespace velora::virtualcard {

namespace {

static_assert(std::atomic_ref<std::uint32_t>::is_always_lock_free,
              "registers shared between processes need lock-free 32-bit atomics");

std::uint32_t load(std::uint32_t& field)
{
    return std::atomic_ref<std::uint32_t>(field).load(std::memory_order_acquire);
}

void store(std::uint32_t& field, std::uint32_t value)
{
    std::atomic_ref<std::uint32_t>(field).store(value, std::memory_order_release);
}

std::int64_t load64(std::int64_t& field)
{
    return std::atomic_ref<std::int64_t>(field).load(std::memory_order_acquire);
}

void store64(std::int64_t& field, std::int64_t value)
{
    std::atomic_ref<std::int64_t>(field).store(value, std::memory_order_release);
}

std::uint64_t monotonicMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

// Picture carriers of the card's station list, in Hz.
constexpr std::int64_t kStationsHz[] = {
    48'250'000,  55'250'000,  62'250'000,  175'250'000, 189'250'000, 196'250'000,
    210'250'000, 471'250'000, 495'250'000, 543'250'000, 615'250'000, 743'250'000,
};
constexpr std::int64_t kLockRangeHz = 100'000;

// The first data byte of a transfer to a tuner module tells a divider (bit 7 clear) from a
// control byte and its band byte (bit 7 set).
constexpr std::uint32_t kTunerControlByte = 0x80;

// Write addresses at which tuner modules answer.
bool isTunerAddress(std::uint32_t address)
{
    return address == 0xC0 || address == 0xC2 || address == 0xC4 || address == 0xC6;
}

bool isKnownChip(std::uint32_t id)
{
    return id == 0 || id == bt::kBt848 || id == bt::kBt849 || id == bt::kBt878 || id == bt::kBt879;
}

std::size_t registerIndex(std::uint32_t offset)
{
    return offset / 4;
}

bool isValidOffset(std::uint32_t offset)
{
    return offset < bt::kWindowSize && offset % 4 == 0;
}

} // namespace

std::uint32_t VirtualChip::readRegister(std::uint32_t offset) const
{
    if (!isValidOffset(offset)) {
        return 0;
    }
    if (offset == bt::DSTATUS) {
        return hasSync() ? bt::DSTATUS_LOCKED : 0;
    }
    return load(m_layout.registers[registerIndex(offset)]);
}

void VirtualChip::writeRegister(std::uint32_t offset, std::uint32_t value)
{
    if (!isValidOffset(offset)) {
        return;
    }
    switch (offset) {
    case bt::DSTATUS:
        // Status bits follow the signal; a program cannot set them.
        return;
    case bt::INT_STAT:
        std::atomic_ref<std::uint32_t>(m_layout.registers[registerIndex(offset)])
            .fetch_and(~value, std::memory_order_acq_rel);
        return;
    case bt::I2C:
        sendI2c(value);
        return;
    default:
        store(m_layout.registers[registerIndex(offset)], value);
        return;
    }
}

void VirtualChip::sendI2c(std::uint32_t word)
{
    CardLock lock(m_layout);
    store(m_layout.registers[registerIndex(bt::I2C)], word);
    // Only a three-byte write starts a transfer; other values are line states and settings.
    if ((word & bt::I2C_CONTROL) != bt::I2C_WRITE3) {
        return;
    }

    const std::uint32_t count = load(m_layout.transferCount);
    I2cTransferRecord& record = m_layout.transfers[count % kTransferHistory];
    // The slot is filled before the count moves, so a reader never sees an unwritten slot.
    store(record.word, word);
    std::atomic_ref<std::uint64_t>(record.timeMs).store(monotonicMs(), std::memory_order_release);
    store(m_layout.transferCount, count + 1);

    const std::uint32_t address = bt::i2cAddress(word);
    const std::uint32_t high = bt::i2cFirstByte(word);
    const std::uint32_t low = bt::i2cSecondByte(word);
    if (isTunerAddress(address)) {
        store(m_layout.tunerAddress, address);
        std::uint32_t flags = load(m_layout.tunerFlags);
        if ((high & kTunerControlByte) == 0) {
            const std::uint32_t divider = (high << 8) | low;
            const std::int64_t frequency = dividerToFrequencyHz(divider);
            store(m_layout.tunerDivider, divider);
            store64(m_layout.tunerFrequencyHz, frequency);
            store(m_layout.tunerLocked, isStationFrequency(frequency) ? 1 : 0);
            flags |= kTunerHasDivider;
        } else {
            store(m_layout.tunerControl, high);
            store(m_layout.tunerBand, low);
            flags |= kTunerHasControl;
        }
        store(m_layout.tunerFlags, flags);
    }

    // The transfer is over by the time anyone looks: the done bit goes up at once.
    std::atomic_ref<std::uint32_t>(m_layout.registers[registerIndex(bt::INT_STAT)])
        .fetch_or(bt::INT_STAT_I2CDONE, std::memory_order_acq_rel);
}

std::uint32_t VirtualChip::chipId() const
{
    return load(m_layout.chipId);
}

bool VirtualChip::setChipId(std::uint32_t id)
{
    if (!isKnownChip(id)) {
        return false;
    }
    store(m_layout.chipId, id);
    return true;
}

SignalMode VirtualChip::signalMode() const
{
    switch (load(m_layout.signalMode)) {
    case static_cast<std::uint32_t>(SignalMode::On):
        return SignalMode::On;
    case static_cast<std::uint32_t>(SignalMode::Off):
        return SignalMode::Off;
    default:
        return SignalMode::Auto;
    }
}

void VirtualChip::setSignalMode(SignalMode mode)
{
    store(m_layout.signalMode, static_cast<std::uint32_t>(mode));
}

bool VirtualChip::hasSync() const
{
    switch (signalMode()) {
    case SignalMode::On:
        return true;
    case SignalMode::Off:
        return false;
    case SignalMode::Auto:
        break;
    }
    return load(m_layout.tunerLocked) != 0;
}

TunerSnapshot VirtualChip::tuner() const
{
    CardLock lock(m_layout);
    TunerSnapshot snapshot;
    const std::uint32_t flags = load(m_layout.tunerFlags);
    snapshot.address = load(m_layout.tunerAddress);
    if (flags & kTunerHasDivider) {
        snapshot.divider = load(m_layout.tunerDivider);
        snapshot.frequencyHz = load64(m_layout.tunerFrequencyHz);
        snapshot.onStation = load(m_layout.tunerLocked) != 0;
    }
    if (flags & kTunerHasControl) {
        snapshot.control = load(m_layout.tunerControl);
        snapshot.band = load(m_layout.tunerBand);
    }
    return snapshot;
}

std::vector<I2cTransfer> VirtualChip::recentTransfers() const
{
    CardLock lock(m_layout);
    const std::uint32_t count = load(m_layout.transferCount);
    const std::uint32_t kept = count < kTransferHistory ? count : static_cast<std::uint32_t>(kTransferHistory);
    std::vector<I2cTransfer> result;
    result.reserve(kept);
    for (std::uint32_t i = count - kept; i != count; ++i) {
        I2cTransferRecord& record = m_layout.transfers[i % kTransferHistory];
        result.push_back(
            {load(record.word), std::atomic_ref<std::uint64_t>(record.timeMs).load(std::memory_order_acquire)});
    }
    return result;
}

void VirtualChip::replaceGpioLowByte(std::uint8_t value)
{
    std::atomic_ref<std::uint32_t> gpio(m_layout.registers[registerIndex(bt::GPIO_DATA)]);
    std::uint32_t current = gpio.load(std::memory_order_acquire);
    // A compare-and-swap keeps the upper bits that another process may change meanwhile.
    while (!gpio.compare_exchange_weak(current, (current & ~bt::GPIO_REMOTE_CODE) | value, std::memory_order_acq_rel)) {
    }
}

void VirtualChip::pressKey(std::uint8_t code, const Sleeper& sleep)
{
    if ((readRegister(bt::GPIO_DATA) & bt::GPIO_REMOTE_CODE) == code) {
        replaceGpioLowByte(0x00);
        if (sleep) {
            sleep(kRepeatGap);
        } else {
            std::this_thread::sleep_for(kRepeatGap);
        }
    }
    replaceGpioLowByte(code);
    store(m_layout.remoteKey, code);
}

std::optional<std::uint8_t> VirtualChip::lastRemoteKey() const
{
    const std::uint32_t key = load(m_layout.remoteKey);
    if (key > 0xFF) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(key);
}

std::string frequencyText(std::int64_t frequencyHz)
{
    const bool negative = frequencyHz < 0;
    const std::int64_t magnitude = negative ? -frequencyHz : frequencyHz;
    std::int64_t fraction = magnitude % 1'000'000;
    int digits = 6;
    while (digits > 3 && fraction % 10 == 0) {
        fraction /= 10;
        --digits;
    }
    char text[48];
    std::snprintf(text, sizeof text, "%s%lld.%0*lld MHz", negative ? "-" : "",
                  static_cast<long long>(magnitude / 1'000'000), digits, static_cast<long long>(fraction));
    return text;
}

void VirtualChip::reset()
{
    CardLock lock(m_layout);
    for (std::uint32_t& reg : m_layout.registers) {
        store(reg, 0);
    }
    for (const bt::RegisterValue& reg : bt::kPowerOnValues) {
        store(m_layout.registers[registerIndex(reg.offset)], reg.value);
    }
    store(m_layout.chipId, bt::kBt878);
    store(m_layout.signalMode, static_cast<std::uint32_t>(SignalMode::Auto));
    store(m_layout.remoteKey, kNoRemoteKey);
    store(m_layout.tunerFlags, 0);
    store(m_layout.tunerAddress, 0);
    store(m_layout.tunerDivider, 0);
    store(m_layout.tunerControl, 0);
    store(m_layout.tunerBand, 0);
    store(m_layout.tunerLocked, 0);
    store64(m_layout.tunerFrequencyHz, 0);
    store(m_layout.transferCount, 0);
    for (I2cTransferRecord& record : m_layout.transfers) {
        store(record.word, 0);
        std::atomic_ref<std::uint64_t>(record.timeMs).store(0, std::memory_order_release);
    }
}

bool VirtualChip::isStationFrequency(std::int64_t frequencyHz)
{
    for (std::int64_t station : kStationsHz) {
        const std::int64_t distance = frequencyHz > station ? frequencyHz - station : station - frequencyHz;
        if (distance <= kLockRangeHz) {
            return true;
        }
    }
    return false;
}

std::int64_t VirtualChip::dividerToFrequencyHz(std::uint32_t divider)
{
    return static_cast<std::int64_t>(divider) * 62'500 - 38'900'000;
}

} // namespace velora::virtualcard
