#include "platform/linux/FolderWatch.h"

#include <sys/inotify.h>
#include <unistd.h>

namespace velora::posix {

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

UniqueFd watchFolder(const std::string& folder)
{
    UniqueFd fd(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
    if (fd.valid() && ::inotify_add_watch(fd.get(), folder.c_str(), IN_CREATE | IN_MOVED_TO | IN_ATTRIB) < 0) {
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
