#include "platform/linux/LinuxProfile.h"

#include "platform/ProfileFormat.h"
#include "platform/UserFolders.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace velora::platform {

namespace {

using FileStatus = struct stat;

// How often a writer starts over because another writer replaced the file between its
// open and its lock. Each retry means someone else made progress, so this is only a guard
// against a livelock that should never happen.
constexpr int kMaxWriteAttempts = 1000;

// Symbolic links followed at most, as the kernel does for a path (ELOOP).
constexpr int kMaxLinkHops = 40;

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }

    // Closes now and reports whether the close succeeded (it can report a failed write-back).
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The path of the file that a write must replace: the path itself, or, when it is a
// symbolic link, the file at the end of the chain of links (which need not exist yet).
std::optional<std::string> followLinks(std::string path)
{
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        FileStatus info{};
        if (::lstat(path.c_str(), &info) != 0) {
            return errno == ENOENT ? std::optional<std::string>(path) : std::nullopt;
        }
        if (!S_ISLNK(info.st_mode)) {
            return path;
        }
        std::vector<char> target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) + 1);
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length < 0 || static_cast<std::size_t>(length) >= target.size()) {
            return std::nullopt; // The link changed under us; let the caller fail rather than guess.
        }
        const std::string link(target.data(), static_cast<std::size_t>(length));
        if (link.empty()) {
            return std::nullopt;
        }
        path = link.front() == '/' ? link : folderOf(path) + "/" + link;
    }
    return std::nullopt;
}

std::optional<std::string> readAll(int fd)
{
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::pread(fd, buffer, sizeof buffer, static_cast<off_t>(text.size()));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (got == 0) {
            return text;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

bool writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Puts `content` in place of `target` through a temporary file in the same folder, so that
// the file is replaced whole or not at all. `old` describes the file being replaced.
bool replaceFile(const std::string& target, std::string_view content, const FileStatus& old)
{
    const std::string folder = folderOf(target);
    const std::string base = target.substr(target.rfind('/') == std::string::npos ? 0 : target.rfind('/') + 1);
    // Short enough to stay within NAME_MAX whatever the target's name.
    std::string name = folder + "/." + base.substr(0, 200) + ".XXXXXX";
    const int tempFd = ::mkostemp(name.data(), O_CLOEXEC);
    if (tempFd < 0) {
        return false;
    }
    FileDescriptor temp(tempFd);
    // The owner first: changing it may clear mode bits that fchmod then sets again. Only a
    // privileged writer can give a file away; for anyone else the file was theirs already.
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
        [[maybe_unused]] const int ignored = ::fchown(temp.get(), old.st_uid, old.st_gid);
    }
    const bool written =
        writeAll(temp.get(), content) && ::fchmod(temp.get(), old.st_mode & 07777) == 0 && ::fsync(temp.get()) == 0;
    if (!temp.close() || !written || ::rename(name.c_str(), target.c_str()) != 0) {
        ::unlink(name.c_str());
        return false;
    }
    // Make the rename itself durable; the new file is in place either way.
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return true;
}

} // namespace

std::optional<std::string> LinuxProfile::resolvePath(std::string_view path)
{
    if (path.empty() || path.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    if (path.find('/') != std::string_view::npos) {
        return std::string(path);
    }
    const std::string folder = userConfigFolder();
    if (folder.empty()) {
        return std::nullopt;
    }
    return folder + "/" + std::string(path);
}

std::optional<std::string> LinuxProfile::readFile(const std::string& path)
{
    // Without O_NONBLOCK a FIFO at the path would hang the read; only regular files are read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    FileDescriptor file(fd);
    FileStatus info{};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    return readAll(file.get());
}

std::string LinuxProfile::readString(std::string_view path, std::string_view section, std::string_view key,
                                     std::string_view defaultValue, std::size_t maxChars)
{
    const std::optional<std::string> resolved = resolvePath(path);
    const std::optional<std::string> text = resolved ? readFile(*resolved) : std::nullopt;
    return profileReadString(text ? std::optional<std::string_view>(*text) : std::nullopt, section, key, defaultValue,
                             maxChars);
}

std::int32_t LinuxProfile::readInt(std::string_view path, std::string_view section, std::string_view key,
                                   std::int32_t defaultValue)
{
    const std::optional<std::string> resolved = resolvePath(path);
    const std::optional<std::string> text = resolved ? readFile(*resolved) : std::nullopt;
    return profileReadInt(text ? std::optional<std::string_view>(*text) : std::nullopt, section, key, defaultValue);
}

bool LinuxProfile::writeString(std::string_view path, std::string_view section, std::string_view key,
                               std::string_view value)
{
    if (!isStorableProfileEntry(section, key, value)) {
        return false;
    }
    const std::optional<std::string> resolved = resolvePath(path);
    if (!resolved) {
        return false;
    }
    if (path.find('/') == std::string_view::npos && !makeFolders(folderOf(*resolved))) {
        return false;
    }
    const std::optional<std::string> target = followLinks(*resolved);
    if (!target) {
        return false;
    }

    for (int attempt = 0; attempt < kMaxWriteAttempts; ++attempt) {
        bool created = false;
        int fd = ::open(target->c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT) {
            fd = ::open(target->c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0 && errno == EEXIST) {
                continue; // Another writer created it first: lock theirs.
            }
            created = fd >= 0;
        }
        if (fd < 0) {
            return false;
        }
        FileDescriptor file(fd);
        // Unlinking the empty file we created keeps a failed write from leaving a file behind.
        // It is safe once the lock is held and the path is known to name the locked file:
        // writers waiting on it then see the path changed and start over.
        const auto fail = [&] {
            if (created) {
                ::unlink(target->c_str());
            }
            return false;
        };

        while (::flock(file.get(), LOCK_EX) != 0) {
            if (errno != EINTR) {
                return false; // Unlocked, the path may already be another writer's file.
            }
        }
        // The file we locked may have been replaced by another writer's rename while we
        // waited for the lock; its content is stale then, so start over on the new file.
        FileStatus locked{};
        FileStatus current{};
        if (::fstat(file.get(), &locked) != 0) {
            return false;
        }
        if (::stat(target->c_str(), &current) != 0 || current.st_dev != locked.st_dev ||
            current.st_ino != locked.st_ino) {
            continue;
        }
        if (!S_ISREG(locked.st_mode)) {
            return false;
        }
        const std::optional<std::string> old = readAll(file.get());
        if (!old) {
            return fail();
        }
        const std::string updated = setProfileValue(*old, section, key, value);
        if (!created && updated == *old) {
            return true;
        }
        if (!replaceFile(*target, updated, locked)) {
            return fail();
        }
        return true; // The lock goes with the descriptor, after the new file is in place.
    }
    return false;
}

Profile& systemProfile()
{
    static LinuxProfile profile;
    return profile;
}

} // namespace velora::platform
