// Watching one file for changes, so that a program can take up a file the user edits while it
// runs. The watch is on the file's folder: a file that an editor replaces by renaming a new one
// over it, or that is created later, counts as changed like one written in place.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace velora::platform {

// Ends its watch when destroyed, after a call of changed in progress has returned.
class FileWatch
{
public:
    virtual ~FileWatch() = default;
};

class FileWatchService
{
public:
    virtual ~FileWatchService() = default;

    // Calls changed, on a thread of the watch, once the file has changed (written, created,
    // renamed into place or removed) and then seen no further change for settleMs, so that a
    // file still being written is taken up only when it is complete: while it is open for
    // writing, the call waits for its close, up to maxWaitMs after the first change. Null
    // when the folder cannot be watched (it does not exist, or no watches are left).
    virtual std::unique_ptr<FileWatch> watchFile(const std::string& path, std::uint32_t settleMs,
                                                 std::uint32_t maxWaitMs, std::function<void()> changed) = 0;
};

} // namespace velora::platform
