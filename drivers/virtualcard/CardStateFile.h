// The shared state of the virtual card: one small file that every process using the card
// maps, so that the tuner library in a viewer and the remote daemon in its own process see
// one chip, as they would with real hardware.
//
// The file holds the register window and the state behind it (selected chip, tuner,
// recent I2C transfers, signal mode, last remote key). Its layout is fixed by
// CardStateLayout (CardStateLayout.h). A file of the right size but another magic or version is
// re-initialised in place when it is opened; a file of another size is never resized, since
// a program may map it at that size and would die of SIGBUS: a new file is built beside it and
// renamed over it. VirtualChip gives the chip's behaviour over a mapped layout; nothing else
// should touch the layout's fields directly, because they are shared with other processes and
// are reached only through atomic accesses or under the layout's lock.
#pragma once

#include "drivers/virtualcard/CardLock.h"
#include "drivers/virtualcard/CardStateLayout.h"
#include "platform/linux/UniqueFd.h"

#include <cstdint>
#include <memory>
#include <string>

namespace velora::virtualcard {

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
    CardStateFile(std::string path, CardStateLayout* layout, posix::UniqueFd fd, bool initialised);

    std::string m_path;
    CardStateLayout* m_layout;
    posix::UniqueFd m_fd; // its close drops this object's mapper mark
    bool m_initialised;
};

} // namespace velora::virtualcard
