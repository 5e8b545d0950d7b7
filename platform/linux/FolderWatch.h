// A watch on a folder for entries that appear in it (created, moved in or given new rights),
// for the key sources that wait for a socket or a device node to come back.
#pragma once

#include <string>

#include "platform/linux/UniqueFd.h"

namespace velora::posix {

// The folder a path names an entry of: "." for a bare name, "/" for an entry of the root.
std::string folderOf(const std::string& path);

// A non-blocking inotify descriptor that becomes readable when an entry appears in the
// folder; not valid when the folder cannot be watched (it does not exist, or no watches left).
UniqueFd watchFolder(const std::string& folder);

// Reads away whatever the watch has collected, so that the next poll waits for new entries.
void drainWatch(int fd);

} // namespace velora::posix
