#include "platform/Directories.h"

#include "platform/linux/DirectoryWalk.h"

#include <cerrno>

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
        const bool root = isFileSystemRoot();
        return posix::walkDirectory(
            ".",
            [&](const posix::DirectoryEntry& item) {
                // A link counts as what it leads to, so that a linked directory can be entered.
                return (root && item.name() == "..") || sink(item.name(), item.isDirectory());
            },
            posix::DotEntries::Include);
    }
};

} // namespace

Directories& systemDirectories()
{
    static LinuxDirectories directories;
    return directories;
}

} // namespace velora::platform
