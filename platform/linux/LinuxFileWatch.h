// File watches on inotify: one thread per watch, waiting in poll() on the folder's inotify
// descriptor and on an event descriptor that ends it.
#pragma once

#include "platform/FileWatch.h"

namespace velora::platform {

class LinuxFileWatchService final : public FileWatchService
{
public:
    std::unique_ptr<FileWatch> watchFile(const std::string& path, std::uint32_t settleMs, std::uint32_t maxWaitMs,
                                         std::function<void()> changed) override;
};

} // namespace velora::platform
