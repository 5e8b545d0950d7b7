#include "platform/linux/LinuxLogFile.h"

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velora::platform {

LinuxLogFile::LinuxLogFile(std::string path, std::size_t rotateAt) : m_path(std::move(path)), m_rotateAt(rotateAt) {}

int LinuxLogFile::openLog()
{
    int fd = -1;
    do {
        // O_NONBLOCK only matters when the path is a FIFO without a reader: the text is then
        // dropped instead of stalling the calling thread (the daemon's sampling tick).
        fd = ::open(m_path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

void LinuxLogFile::append(std::string_view text)
{
    // A NUL inside the path would silently name another file.
    if (m_path.find('\0') != std::string::npos) {
        return;
    }
    std::lock_guard lock(m_mutex);
    int fd = openLog();
    if (fd < 0) {
        return;
    }
    struct stat info
    {};
    if (m_rotateAt > 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
        static_cast<std::size_t>(info.st_size) >= m_rotateAt) {
        ::close(fd);
        // When the move fails the text still goes to the full file rather than nowhere.
        const std::string old = m_path + ".1";
        [[maybe_unused]] const int moved = ::rename(m_path.c_str(), old.c_str());
        fd = openLog();
        if (fd < 0) {
            return;
        }
    }
    // One write() keeps the text whole against other processes' appends; a short write
    // (a signal, a nearly full disk) is finished with further writes rather than lost.
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (written == 0) {
            break;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    ::close(fd);
}

} // namespace velora::platform
