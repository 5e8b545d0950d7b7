#include "platform/Directories.h"

#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velora::platform {
namespace {

// The root of the file system is the one directory whose parent is itself; the listing
// leaves its ".." out, as a drive root has none.
bool isFileSystemRoot()
{
    struct stat self
    {};
    struct stat parent
    {};
    return stat(".", &self) == 0 && stat("..", &parent) == 0 && self.st_dev == parent.st_dev &&
           self.st_ino == parent.st_ino;
}

class LinuxDirectories final : public Directories
{
public:
    std::string currentDirectory() override
    {
        std::string buffer(4096, '\0');
        for (;;) {
            if (getcwd(buffer.data(), buffer.size()) != nullptr) {
                buffer.resize(buffer.find('\0'));
                return buffer;
            }
            // Deeper than PATH_MAX is possible; anything else (a removed directory) is not
            // a path at all.
            if (errno != ERANGE || buffer.size() > (1u << 20)) {
                return {};
            }
            buffer.resize(buffer.size() * 2);
        }
    }

    bool changeDirectory(const std::string& path) override { return !path.empty() && chdir(path.c_str()) == 0; }

    bool listCurrentDirectory(const ItemSink& sink) override
    {
        DIR* dir = opendir(".");
        if (dir == nullptr) {
            return false;
        }
        const bool root = isFileSystemRoot();
        const int fd = dirfd(dir);
        while (const dirent* item = readdir(dir)) {
            const std::string_view name(item->d_name);
            if (root && name == "..") {
                continue;
            }
            bool isDirectory = item->d_type == DT_DIR;
            // Only links and file systems that do not fill d_type cost a stat; a link counts
            // as what it leads to, so that a linked directory can be entered.
            if (item->d_type == DT_LNK || item->d_type == DT_UNKNOWN) {
                struct stat info
                {};
                isDirectory = fstatat(fd, item->d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
            }
            if (!sink(name, isDirectory)) {
                break;
            }
        }
        closedir(dir);
        return true;
    }
};

} // namespace

Directories& systemDirectories()
{
    static LinuxDirectories directories;
    return directories;
}

} // namespace velora::platform
