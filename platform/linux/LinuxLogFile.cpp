#include "platform/linux/LinuxLogFile.h"

#include "platform/linux/FileIo.h"
#include "platform/linux/UniqueFd.h"

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>

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
    posix::UniqueFd file(openLog());
    struct stat info
    {};
    if (file.valid() && m_rotateAt > 0 && ::fstat(file.get(), &info) == 0 && S_ISREG(info.st_mode) &&
        static_cast<std::size_t>(info.st_size) >= m_rotateAt) {
        file.reset();
        // When the move fails the text still goes to the full file rather than nowhere.
        const std::string old = m_path + ".1";
        [[maybe_unused]] const int moved = ::rename(m_path.c_str(), old.c_str());
        file.reset(openLog());
    }
    // One write() keeps the text whole against other processes' appends; a short write
    // (a signal, a nearly full disk) is finished with further writes rather than lost.
    if (file.valid()) {
        posix::writeAll(file.get(), text);
    }
}

} // namespace velora::platform
