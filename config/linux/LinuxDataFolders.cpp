#include "config/linux/LinuxDataFolders.h"

#include <algorithm>
#include <optional>
#include <utility>

#include <dirent.h>
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

bool isRegularFile(const std::string& path)
{
    struct stat info
    {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Calls visit with the name of every entry of a folder but "." and "..", with whether the
// entry type (d_type) is known to be a regular file, a folder, or must be looked up.
template <typename Visit> void forEachEntry(const std::string& folder, Visit visit)
{
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name != "." && name != "..") {
            visit(std::string(name), entry->d_type);
        }
    }
    closedir(dir);
}

std::optional<std::string> findFolder(const std::string& base, std::string_view name)
{
    const std::string exact = base + "/" + std::string(name);
    if (isFolder(exact)) {
        return exact;
    }
    std::optional<std::string> found;
    const std::string wanted(name);
    forEachEntry(base, [&](std::string entry, unsigned char type) {
        if (strcasecmp(entry.c_str(), wanted.c_str()) != 0 || (found && *found <= entry)) {
            return;
        }
        if (type == DT_DIR || ((type == DT_LNK || type == DT_UNKNOWN) && isFolder(base + "/" + entry))) {
            found = std::move(entry);
        }
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
    forEachEntry(*path, [&](std::string entry, unsigned char type) {
        if (type == DT_REG || ((type == DT_LNK || type == DT_UNKNOWN) && isRegularFile(*path + "/" + entry))) {
            names.push_back(std::move(entry));
        }
    });
    return names;
}

} // namespace velora::config
