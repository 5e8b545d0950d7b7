// Access to profile files such as velora.ini: bracketed sections of key=value lines, read
// and written one key at a time.
//
// Reading: section and key names match without regard to case; blanks around names and
// values are trimmed and a value's matching outer quotes are dropped; only the first
// section of a name is searched; a missing file, section or key gives the caller's default.
//
// Writing sets one key and keeps every other line of the file byte for byte. It creates the
// file, the section (at the end of the file) or the key (after the last key of the section)
// when needed. A write never loses data: the new file replaces the old one whole, and
// writers in different processes take turns.
//
// A file larger than 1 MiB (kProfileMaxBytes) counts only up to its last line that ends
// within that many bytes; a write to it, or one that would make it larger, fails.
//
// A path without any directory names a file in the per-user configuration folder
// ($XDG_CONFIG_HOME/velora, by default ~/.config/velora), which a write creates when
// needed; any other path is used as it is, relative to the current directory.
//
// Threads: every operation may be called from any thread, also at the same time. A read
// sees one whole version of the file, the one before or the one after a write that runs
// meanwhile; writers in threads and in other processes take turns. A relative path names a
// file in the process's current directory at the moment of the call (see Directories.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velora::platform {

// Longest text a read gives back: the 512-byte buffers of the programs, less the terminator.
inline constexpr std::size_t kProfileTextMax = 511;

class Profile
{
public:
    virtual ~Profile() = default;

    // Reads a text key. Returns the value cut to maxChars characters, or the default (its
    // trailing blanks removed, also cut to maxChars) when the file, section or key is missing.
    virtual std::string readString(std::string_view path, std::string_view section, std::string_view key,
                                   std::string_view defaultValue, std::size_t maxChars = kProfileTextMax) = 0;

    // Reads an integer key: an optional sign and the leading decimal digits of the value
    // (0 when there are none). The default when the file, section or key is missing or the
    // value is empty.
    virtual std::int32_t readInt(std::string_view path, std::string_view section, std::string_view key,
                                 std::int32_t defaultValue) = 0;

    // Sets one key to a value. Returns false when the file could not be written; the old
    // file is then left as it was.
    virtual bool writeString(std::string_view path, std::string_view section, std::string_view key,
                             std::string_view value) = 0;

    // Writes an integer as decimal text.
    bool writeInt(std::string_view path, std::string_view section, std::string_view key, std::int32_t value)
    {
        return writeString(path, section, key, std::to_string(value));
    }
};

// Profile files on the system this build runs on.
Profile& systemProfile();

} // namespace velora::platform
