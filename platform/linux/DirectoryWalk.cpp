#include "platform/linux/DirectoryWalk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace velora::posix {
namespace {

// The entry's mode with links followed; 0 when it cannot be looked up.
mode_t followedMode(int folderFd, const char* name)
{
    struct stat info
    {};
    return ::fstatat(folderFd, name, &info, 0) == 0 ? info.st_mode : 0;
}

// Only links and file systems that leave d_type empty cost a stat.
bool needsLookup(unsigned char type)
{
    return type == DT_LNK || type == DT_UNKNOWN;
}

} // namespace

bool DirectoryEntry::isDirectory() const
{
    return needsLookup(m_type) ? S_ISDIR(followedMode(m_folderFd, m_name)) : m_type == DT_DIR;
}

bool DirectoryEntry::isRegularFile() const
{
    return needsLookup(m_type) ? S_ISREG(followedMode(m_folderFd, m_name)) : m_type == DT_REG;
}

bool walkDirectory(const std::string& folder, const std::function<bool(const DirectoryEntry&)>& visit, DotEntries dots)
{
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return false;
    }
    const int fd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (dots == DotEntries::Skip && (name == "." || name == "..")) {
            continue;
        }
        if (!visit(DirectoryEntry(fd, entry->d_name, entry->d_type))) {
            break;
        }
    }
    ::closedir(dir);
    return true;
}

} // namespace velora::posix
