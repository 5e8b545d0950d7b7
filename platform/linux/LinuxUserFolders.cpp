#include "platform/UserFolders.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velora::platform {

namespace {

std::string homeFolder()
{
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return home;
    }
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && found->pw_dir[0] != '\0') {
        return found->pw_dir;
    }
    return {};
}

// $<variable>/velora, or <home>/<fallback>/velora. A relative value of the variable is
// invalid and ignored, as other desktop programs do.
std::string xdgFolder(const char* variable, const char* fallback)
{
    const char* xdg = std::getenv(variable);
    if (xdg != nullptr && xdg[0] == '/') {
        return std::string(xdg) + "/velora";
    }
    const std::string home = homeFolder();
    return home.empty() ? std::string() : home + "/" + fallback + "/velora";
}

bool isFolder(const std::string& path)
{
    struct stat info
    {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Copies source to target unless target exists (even as a dangling link): the copy is written
// under a temporary name and linked into place, which fails rather than replaces.
void copyIfMissing(const std::string& source, const std::string& target)
{
    struct stat info
    {};
    if (::lstat(target.c_str(), &info) == 0) {
        return;
    }
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return;
    }
    // Named after this process: another program copying at the same time uses its own name.
    // Created like any file the programs write: 0666 less the umask.
    const std::string temporary = target + ".new-" + std::to_string(::getpid());
    ::unlink(temporary.c_str()); // left by a copy that crashed
    const int out = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out < 0) {
        ::close(in);
        return;
    }
    bool copied = true;
    char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            copied = got == 0;
            break;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t written = ::write(out, buffer + done, static_cast<std::size_t>(got - done));
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                copied = false;
                break;
            }
            done += written;
        }
        if (!copied) {
            break;
        }
    }
    copied = copied && ::fsync(out) == 0;
    ::close(in);
    ::close(out);
    if (copied) {
        [[maybe_unused]] const int linked = ::link(temporary.c_str(), target.c_str());
    }
    ::unlink(temporary.c_str());
}

} // namespace

std::string userConfigFolder()
{
    return xdgFolder("XDG_CONFIG_HOME", ".config");
}

std::string userStateFolder()
{
    return xdgFolder("XDG_STATE_HOME", ".local/state");
}

std::string userDataFolder()
{
    return xdgFolder("XDG_DATA_HOME", ".local/share");
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

bool isSystemWideInstall(const std::string& programFolder)
{
    return !programFolder.empty() && isFolder(programFolder + "/site");
}

std::string settingsFolder(const std::string& programFolder)
{
    if (!isSystemWideInstall(programFolder) && isWritableFolder(programFolder)) {
        return programFolder;
    }
    const std::string user = userConfigFolder();
    if (user.empty() || !makeFolders(user)) {
        return programFolder;
    }
    return user;
}

std::string logFolder(const std::string& programFolder)
{
    if (isSystemWideInstall(programFolder)) {
        const std::string state = userStateFolder();
        if (!state.empty() && makeFolders(state)) {
            return state;
        }
    }
    return settingsFolder(programFolder);
}

void copySiteDefaults(const std::string& programFolder)
{
    if (!isSystemWideInstall(programFolder)) {
        return;
    }
    const std::string user = userConfigFolder();
    if (user.empty() || !makeFolders(user)) {
        return;
    }
    for (const char* name : kSiteDefaults) {
        copyIfMissing(programFolder + "/site/" + name, user + "/" + name);
    }
}

} // namespace velora::platform
