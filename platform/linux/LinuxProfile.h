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
#pragma once

#include "platform/Profile.h"

#include <optional>
#include <string>

namespace velora::platform {

class LinuxProfile final : public Profile
{
public:
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

private:
    static std::optional<std::string> readFile(const std::string& path);
};

} // namespace velora::platform
