// Reading and writing whole byte runs on POSIX descriptors, with the retries the system
// calls need (EINTR, short reads and writes) written once. Every function may be called
// from any thread; they share no state.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include <sys/stat.h>

namespace velora::posix {

// The file behind fd from its start (whatever the descriptor's offset), at most cap bytes;
// nothing when a read fails.
std::optional<std::string> readUpTo(int fd, std::size_t cap);

// Opens path for reading without blocking on a FIFO, refuses anything but a regular file,
// and reads it from its start, at most cap bytes. With status, also the file's fstat of the
// file that was read. Nothing when the file is missing, not a regular file or unreadable.
std::optional<std::string> readRegularFile(const std::string& path, std::size_t cap, struct stat* status = nullptr);

// Writes all of data at the descriptor's offset. False when a write fails or writes
// nothing; what was written before that stays written.
bool writeAll(int fd, std::string_view data);

} // namespace velora::posix
