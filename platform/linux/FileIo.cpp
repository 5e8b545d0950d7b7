#include "platform/linux/FileIo.h"

#include "platform/linux/UniqueFd.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace velora::posix {

std::optional<std::string> readUpTo(int fd, std::size_t cap)
{
    std::string text;
    char buffer[65536];
    while (text.size() < cap) {
        const std::size_t wanted = std::min(sizeof buffer, cap - text.size());
        const ssize_t got = ::pread(fd, buffer, wanted, static_cast<off_t>(text.size()));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text;
}

std::optional<std::string> readRegularFile(const std::string& path, std::size_t cap, struct stat* status)
{
    // O_NONBLOCK keeps a FIFO from blocking the open; the fstat then turns it away.
    UniqueFd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info
    {};
    if (!file.valid() || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    if (status != nullptr) {
        *status = info;
    }
    return readUpTo(file.get(), cap);
}

bool writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

} // namespace velora::posix
