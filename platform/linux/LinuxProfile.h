// Profile files on Linux: plain files read whole and replaced whole on every write.
//
// A path without any "/" names a file in $XDG_CONFIG_HOME/velora (by default
// $HOME/.config/velora), the folder being created with mode 0700 on the first write; any
// other path is used as given. A path that is a symbolic link is followed: the write
// replaces the file the link points to and the link stays.
//
// A write locks the current file (flock), reads it, writes the new text to a temporary file
// in the same folder, flushes it to disk and renames it over the old file, so that a crash
// leaves either the old or the new file whole, and writers in other processes (and other
// threads) take turns instead of losing each other's keys. The new file keeps the old
// file's permission bits (and owner, where the process may set it). Readers take no lock:
// they always see one whole version of the file.
//
// The temporary file is named after its writer: ".NAME.PID-START-RUN.XXXXXX", where NAME is
// the file's name (cut to 180 bytes), PID the writer's process number, START the tick of
// the system clock at which that process started, RUN sixteen hex digits that stand for
// the system's boot and the writer's process namespace, and XXXXXX six random letters and
// digits. A writer killed halfway leaves that file behind; the next writer of the same file
// removes it once it holds the lock, when the name is of that form and its writer is
// plainly gone: same boot and namespace, and no process of that number runs or the one
// that does started at another tick. Files of other names, of other machines, boots or
// namespaces, and of writers that may still run are never touched.
//
// Reads keep the text of each file in memory and read the file again only when it changed:
// when its device, inode, size, modification time or change time differ from those of the
// version kept. A rename gives a new inode, and a write in place new times. Because file
// times have a granularity, a version is trusted only once it has not changed for the
// settle time before it was read; until then every read reads the file. Writes of this
// object drop what it kept. Reads and writes may come from any thread.
#pragma once

#include "platform/Profile.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <sys/stat.h>

namespace velora::platform {

class LinuxProfile final : public Profile
{
public:
    // Long enough for file systems that keep times to the second or to two seconds (FAT).
    static constexpr std::chrono::milliseconds kDefaultSettleTime{2500};

    explicit LinuxProfile(std::chrono::milliseconds settleTime = kDefaultSettleTime) : m_settleTime(settleTime) {}

    std::string readString(std::string_view path, std::string_view section, std::string_view key,
                           std::string_view defaultValue, std::size_t maxChars = kProfileTextMax) override;
    std::int32_t readInt(std::string_view path, std::string_view section, std::string_view key,
                         std::int32_t defaultValue) override;
    bool writeString(std::string_view path, std::string_view section, std::string_view key,
                     std::string_view value) override;

    // The file a profile path names (see above), or nothing when it names none: an empty
    // path, a path holding a NUL byte, or a bare name while neither XDG_CONFIG_HOME nor a
    // home folder is known.
    static std::optional<std::string> resolvePath(std::string_view path);

    // How many times a profile file was read from the disk, for tests and measurements.
    std::uint64_t fileReads() const { return m_fileReads; }

private:
    // One version of a file as it was read: what tells it from other versions, and the part
    // of its text that counts.
    struct Version
    {
        struct stat status = {}; // device, inode, size and times
        bool settled = false;    // unchanged for the settle time before it was read
        std::shared_ptr<const std::string> text;
    };

    // The text of the file at path that counts; nothing when there is no regular file.
    std::shared_ptr<const std::string> load(const std::string& path);
    std::shared_ptr<const std::string> loadPath(std::string_view path);

    const std::chrono::milliseconds m_settleTime;
    std::mutex m_mutex;
    std::map<std::string, Version> m_versions; // by resolved path
    std::atomic<std::uint64_t> m_fileReads{0};
};

} // namespace velora::platform
