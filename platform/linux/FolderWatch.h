// A watch on a folder's entries: by default for entries that appear in it (created, moved in
// or given new rights), for the key sources that wait for a socket or a device node to come
// back; with other events for a watch on one file of the folder.
#pragma once

#include <cstdint>
#include <string>

#include <sys/inotify.h>

#include "platform/linux/PathParts.h"
#include "platform/linux/UniqueFd.h"

namespace velora::posix {

inline constexpr std::uint32_t kEntryAppears = IN_CREATE | IN_MOVED_TO | IN_ATTRIB;

// A non-blocking inotify descriptor that becomes readable when one of the events happens to
// an entry of the folder; not valid when the folder cannot be watched (it does not exist, or
// no watches left).
UniqueFd watchFolder(const std::string& folder, std::uint32_t events = kEntryAppears);

// Reads away whatever the watch has collected, so that the next poll waits for new entries.
void drainWatch(int fd);

} // namespace velora::posix
