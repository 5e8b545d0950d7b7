#include "config/linux/LinuxDataFolders.h"

#include "platform/linux/DirectoryWalk.h"

#include <optional>
#include <utility>

#include <strings.h>
#include <sys/stat.h>

namespace velora::config {
namespace {

bool isFolder(const std::string& path)
{
    struct stat info
    {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::optional<std::string> findFolder(const std::string& base, std::string_view name)
{
    const std::string exact = base + "/" + std::string(name);
    if (isFolder(exact)) {
        return exact;
    }
    std::optional<std::string> found;
    const std::string wanted(name);
    posix::walkDirectory(base, [&](const posix::DirectoryEntry& entry) {
        if (strcasecmp(entry.cName(), wanted.c_str()) == 0 && (!found || entry.name() < *found) &&
            entry.isDirectory()) {
            found = std::string(entry.name());
        }
        return true;
    });
    if (!found) {
        return std::nullopt;
    }
    return base + "/" + *found;
}

} // namespace

LinuxDataFolders::LinuxDataFolders(std::string base) : m_base(std::move(base))
{
    if (m_base.empty()) {
        m_base = ".";
    }
}

std::vector<std::string> LinuxDataFolders::fileNames(std::string_view folder)
{
    std::vector<std::string> names;
    const auto path = findFolder(m_base, folder);
    if (!path) {
        return names;
    }
    posix::walkDirectory(*path, [&](const posix::DirectoryEntry& entry) {
        if (entry.isRegularFile()) {
            names.emplace_back(entry.name());
        }
        return true;
    });
    return names;
}

} // namespace velora::config
