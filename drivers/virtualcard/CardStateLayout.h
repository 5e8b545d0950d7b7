// The byte layout of the virtual card's shared state file (see CardStateFile.h): the
// register window and the state behind it (selected chip, tuner, recent I2C transfers, signal
// mode, last remote key), with the process-shared lock that guards the fields changed
// together. Every process that uses the card maps the same bytes, so the layout is fixed;
// VirtualChip gives the chip's behaviour over it, and nothing else should touch its fields,
// which are reached only through atomic accesses or under the lock (CardLock.h).
#pragma once

#include <pthread.h>

#include <cstddef>
#include <cstdint>

namespace velora::virtualcard {

inline constexpr std::uint32_t kStateMagic = 0x56435244; // "VCRD"
// Version 2 added the boot id after the registers; a file of version 1 is taken over with its
// state when it is opened.
inline constexpr std::uint32_t kStateVersion = 2;

// Number of I2C transfers the file remembers.
inline constexpr std::size_t kTransferHistory = 8;

// Number of 32-bit registers in the 4 KiB window.
inline constexpr std::size_t kRegisterCount = 1024;

// Room for the kernel's boot id (36 characters) and its terminating zero.
inline constexpr std::size_t kBootIdSize = 40;

// Stored in remoteKey while no key has been pressed since the last reset.
inline constexpr std::uint32_t kNoRemoteKey = 0xFFFFFFFF;

// tunerFlags bits: which parts of the tuner state have been written since the last reset.
inline constexpr std::uint32_t kTunerHasDivider = 0x1;
inline constexpr std::uint32_t kTunerHasControl = 0x2;

struct I2cTransferRecord
{
    std::uint32_t word; // the value written to the I2C register
    std::uint32_t reserved;
    std::uint64_t timeMs; // CLOCK_MONOTONIC in milliseconds, the same clock in every process
};

// The mapped file, byte for byte. Every field is naturally aligned so that 32-bit fields can
// be accessed atomically in place. The mutex is process-shared and robust: a process that
// dies while holding it does not block the others (and CardLock deals with the owners that
// the kernel cannot report).
struct CardStateLayout
{
    std::uint32_t magic;
    std::uint32_t version;
    std::uint32_t size;   // sizeof(CardStateLayout), so that a build with another layout re-initialises
    std::uint32_t unused; // version 1 counted mappings here; CardStateFile::liveMappers counts them now
    pthread_mutex_t lock;

    std::uint32_t chipId;     // PCI device id of the chip present, 0 for none
    std::uint32_t signalMode; // a SignalMode value
    std::uint32_t remoteKey;  // code of the last key pressed on the remote, or kNoRemoteKey

    // Tuner module, as decoded from the transfers to a tuner address. Written under the lock.
    std::uint32_t tunerFlags;
    std::uint32_t tunerAddress;
    std::uint32_t tunerDivider;
    std::uint32_t tunerControl;
    std::uint32_t tunerBand;
    std::uint32_t tunerLocked; // 1 while the tuned frequency is one of the stations
    std::uint32_t reserved1;
    std::int64_t tunerFrequencyHz;

    // Ring of the last transfers: transferCount is the number of transfers ever made since the
    // last reset, the newest sits in slot (transferCount - 1) % kTransferHistory.
    std::uint32_t transferCount;
    std::uint32_t reserved2;
    I2cTransferRecord transfers[kTransferHistory];

    std::uint32_t registers[kRegisterCount];

    // The boot (/proc/sys/kernel/random/boot_id) in which the file was last opened, as
    // zero-padded text. A lock word written in another boot names a thread of that boot, so a
    // file from another boot gets a fresh lock when it is opened.
    char bootId[kBootIdSize];
};

// Fills a layout with the state of a card after power-on (the chip's reset values in its
// registers) and a new, unlocked mutex. Only for memory that no other process is using at the
// same time.
void initialiseLayout(CardStateLayout& layout);

// The futex word of a layout's lock: the owner's thread id (0 while free) with the kernel's
// FUTEX_WAITERS and FUTEX_OWNER_DIED bits.
inline int& lockWord(CardStateLayout& layout)
{
    return layout.lock.__data.__lock;
}

} // namespace velora::virtualcard
