// Reading the programs' plain-text data files.
//
// Threads: both operations may be called from any thread, also at the same time; they keep
// no state between calls. A relative path is taken against the process's current directory
// at the moment of the call, which another thread may change (see Directories.h).
#pragma once

#include <optional>
#include <string>

namespace velora::platform {

class FileSystem
{
public:
    virtual ~FileSystem() = default;

    // Finds an existing file by a path relative to the current directory (or absolute),
    // matching each component of the path without regard to case when no exact match
    // exists, as the data folders of the suite ("Tuners", "cards", ".tun") are named either
    // way. Returns the path as it exists on disk, or nothing when there is no such file.
    virtual std::optional<std::string> findIgnoringCase(const std::string& path) = 0;

    // Reads a whole file in text mode: every carriage return that stands before a line feed
    // is dropped, so that files written on Windows read the same. Returns nothing when the
    // file cannot be opened or read.
    virtual std::optional<std::string> readText(const std::string& path) = 0;
};

// The file system this build runs on.
FileSystem& systemFileSystem();

} // namespace velora::platform
