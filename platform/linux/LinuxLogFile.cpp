#include "platform/linux/LinuxLogFile.h"

#include "platform/linux/FileIo.h"
#include "platform/linux/UniqueFd.h"

#include <cerrno>
#include <utility>

#include <fcntl.h>

namespace velora::platform {

LinuxLogFile::LinuxLogFile(std::string path) : m_path(std::move(path)) {}

void LinuxLogFile::append(std::string_view text)
{
    // A NUL inside the path would silently name another file.
    if (m_path.find('\0') != std::string::npos) {
        return;
    }
    std::lock_guard lock(m_mutex);
    posix::UniqueFd file;
    do {
        // O_NONBLOCK only matters when the path is a FIFO without a reader: the text is then
        // dropped instead of stalling the calling thread (the daemon's sampling tick).
        file.reset(::open(m_path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644));
    } while (!file.valid() && errno == EINTR);
    // One write() keeps the text whole against other processes' appends; a short write
    // (a signal, a nearly full disk) is finished with further writes rather than lost.
    if (file.valid()) {
        posix::writeAll(file.get(), text);
    }
}

} // namespace velora::platform
