#include "platform/UserFolders.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velora::platform {

std::string userConfigFolder()
{
    // A relative XDG_CONFIG_HOME is invalid and ignored, as other desktop programs do.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        return std::string(xdg) + "/velora";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return std::string(home) + "/.config/velora";
    }
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && found->pw_dir[0] != '\0') {
        return std::string(found->pw_dir) + "/.config/velora";
    }
    return {};
}

// mkdir -p: creates the folder and the missing folders above it with mode 0700.
bool makeFolders(const std::string& folder)
{
    for (std::size_t pos = folder.find('/', 1);; pos = folder.find('/', pos + 1)) {
        const std::string prefix = folder.substr(0, pos);
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (pos == std::string::npos) {
            break;
        }
    }
    struct stat info
    {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isWritableFolder(const std::string& folder)
{
    struct stat info
    {};
    if (folder.empty() || ::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        ::access(folder.c_str(), W_OK | X_OK) != 0) {
        return false;
    }
    // The permission bits count for the superuser too: a folder marked read-only for its
    // owner (a system-wide install) is not written into, even where root could.
    if (info.st_uid == ::geteuid()) {
        return (info.st_mode & S_IWUSR) != 0;
    }
    if (info.st_gid == ::getegid()) {
        return (info.st_mode & S_IWGRP) != 0;
    }
    return ::geteuid() != 0 || (info.st_mode & S_IWOTH) != 0;
}

std::string settingsFolder(const std::string& programFolder)
{
    if (isWritableFolder(programFolder)) {
        return programFolder;
    }
    const std::string user = userConfigFolder();
    if (user.empty() || !makeFolders(user)) {
        return programFolder;
    }
    return user;
}

} // namespace velora::platform
