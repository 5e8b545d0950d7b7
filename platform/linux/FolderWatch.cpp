#include "platform/linux/FolderWatch.h"

#include <unistd.h>

namespace velora::posix {

UniqueFd watchFolder(const std::string& folder, std::uint32_t events)
{
    UniqueFd fd(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
    if (fd.valid() && ::inotify_add_watch(fd.get(), folder.c_str(), events) < 0) {
        fd.reset();
    }
    return fd;
}

void drainWatch(int fd)
{
    char buffer[4096];
    while (::read(fd, buffer, sizeof buffer) > 0) {
    }
}

} // namespace velora::posix
