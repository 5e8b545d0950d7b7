// The shared state of the virtual card: one small file that every process using the card
// maps, so that the tuner library in a viewer and the remote daemon in its own process see
// one chip, as they would with real hardware.
//
// The file holds the register window and the state behind it (selected chip, tuner,
// recent I2C transfers, signal mode, last remote key). Its layout is fixed by
// CardStateLayout below. A file of the right size but another magic or version is
// re-initialised in place when it is opened; a file of another size is never resized, since
// a program may map it at that size and would die of SIGBUS: a new file is built beside it and
// renamed over it. VirtualChip gives the chip's behaviour over a mapped layout; nothing else
// should touch the layout's fields directly, because they are shared with other processes and
// are reached only through atomic accesses or under the layout's lock.
#pragma once

#include <pthread.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

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

// The lock of a mapped layout, held for the lifetime of the object. When the previous holder
// died while holding it, the lock is taken over and marked consistent: the state it guarded
// may be half-updated, which the virtual card tolerates (at worst one stale ring entry).
//
// The kernel reports only the deaths of owners it saw take the lock. A lock word naming a
// thread that does not exist (a file kept over a power loss, a damaged file) or the asking
// thread itself is taken over in the same way after one short wait; a lock that has not
// changed hands for seconds, or that the C library calls unusable, is replaced by a fresh one.
// So taking the lock never blocks for good.
class CardLock
{
public:
    explicit CardLock(CardStateLayout& layout);
    ~CardLock();
    CardLock(const CardLock&) = delete;
    CardLock& operator=(const CardLock&) = delete;

    // False only if even a fresh mutex could not be taken; the caller then goes on unguarded
    // rather than dropping the write, since a lost register write is worse than a racy one.
    bool held() const { return m_held; }

private:
    CardStateLayout& m_layout;
    bool m_held = false;
};

// One process's mapping of the state file.
class CardStateFile
{
public:
    // Opens the state file at path and maps it shared. A missing file is built complete beside
    // the path (mode 0600) and linked into place, so that nobody sees it half-made. A file of
    // another size is replaced the same way (keeping the state of a version 1 file), never
    // resized, and refused when no file can be made beside it; a file of the right size with
    // a wrong magic or version is re-initialised in place; a file from another boot gets a
    // fresh lock. All of this happens under an flock on the file, so two processes starting
    // at once do it only once. Refuses (returns null, with a reason in *error when given) a
    // path that is a symbolic link, not a regular file, or owned by another user: in /tmp
    // another user could otherwise plant a file and share or spy on the card's state.
    static std::unique_ptr<CardStateFile> open(const std::string& path, std::string* error = nullptr);

    // The path the suite uses: $VELORA_CARD if set and not empty, else
    // $XDG_RUNTIME_DIR/velora-card if XDG_RUNTIME_DIR is set, else /tmp/velora-card-<uid>.
    static std::string defaultPath();

    ~CardStateFile();
    CardStateFile(const CardStateFile&) = delete;
    CardStateFile& operator=(const CardStateFile&) = delete;

    CardStateLayout& layout() { return *m_layout; }
    const std::string& path() const { return m_path; }

    // True when open() found the file missing or invalid and initialised it.
    bool wasInitialised() const { return m_initialised; }

    // Counts this process among the programs that map the card, for as long as this object
    // lives. The mark is a lock on the open file, which the kernel drops when the process ends
    // however it ends, so a killed program is never counted. False when every one of the
    // kMapperMarks marks is taken (the program then goes uncounted).
    bool markAsMapper();

    // The programs that hold such a mark on this file now, not counting this object's own.
    std::uint32_t liveMappers() const;

    static constexpr std::uint32_t kMapperMarks = 64;

private:
    CardStateFile(std::string path, CardStateLayout* layout, int fd, bool initialised);

    std::string m_path;
    CardStateLayout* m_layout;
    int m_fd;
    bool m_initialised;
};

} // namespace velora::virtualcard
