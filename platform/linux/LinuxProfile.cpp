#include "platform/linux/LinuxProfile.h"

#include "platform/ProfileFormat.h"
#include "platform/UserFolders.h"
#include "platform/linux/FileIo.h"
#include "platform/linux/PathParts.h"
#include "platform/linux/ProfileTempFiles.h"
#include "platform/linux/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velora::platform {

namespace {

using posix::folderOf;

using FileStatus = struct stat;

// How often a writer starts over because another writer replaced the file between its
// open and its lock. Each retry means someone else made progress, so this is only a guard
// against a livelock that should never happen.
constexpr int kMaxWriteAttempts = 1000;

// Symbolic links followed at most, as the kernel does for a path (ELOOP).
constexpr int kMaxLinkHops = 40;

// Profile files whose last version a reader keeps at most.
constexpr std::size_t kMaxKeptFiles = 16;

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

// What a profile file is read for at most: one byte more than a profile may hold, so that
// a file over the limit shows as such.
constexpr std::size_t kReadCap = kProfileMaxBytes + 1;

std::int64_t nanoseconds(const timespec& time)
{
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

bool sameFile(const FileStatus& a, const FileStatus& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           nanoseconds(a.st_mtim) == nanoseconds(b.st_mtim) && nanoseconds(a.st_ctim) == nanoseconds(b.st_ctim);
}

// A write in five steps: resolve the file, lock it, read it, set the key, replace the file.

// Resolve: the file that a write of path replaces, its folder made first for a bare name.
std::optional<std::string> resolveWriteTarget(std::string_view path)
{
    const std::optional<std::string> resolved = LinuxProfile::resolvePath(path);
    if (!resolved || (path.find('/') == std::string_view::npos && !makeFolders(folderOf(*resolved)))) {
        return std::nullopt;
    }
    return followLinks(*resolved);
}

// The file a writer holds locked: its descriptor (the lock goes with it), what it was when
// locked, and whether this writer created it.
struct LockedFile
{
    posix::UniqueFd fd;
    FileStatus status{};
    bool created = false;
};

enum class LockOutcome { Locked, StartOver, Failed };

// Lock: opens the target (creating it, empty, when there is none) and takes its lock. The
// file may have been replaced by another writer's rename while this one waited for the
// lock; its content is stale then, and the writer starts over on the new file.
LockOutcome lockTarget(const std::string& target, LockedFile& file)
{
    file.fd.reset(::open(target.c_str(), O_RDWR | O_CLOEXEC));
    if (!file.fd.valid() && errno == ENOENT) {
        file.fd.reset(::open(target.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!file.fd.valid() && errno == EEXIST) {
            return LockOutcome::StartOver; // Another writer created it first: lock theirs.
        }
        file.created = file.fd.valid();
    }
    if (!file.fd.valid()) {
        return LockOutcome::Failed;
    }
    while (::flock(file.fd.get(), LOCK_EX) != 0) {
        if (errno != EINTR) {
            return LockOutcome::Failed; // Unlocked, the path may already be another writer's file.
        }
    }
    FileStatus current{};
    if (::fstat(file.fd.get(), &file.status) != 0) {
        return LockOutcome::Failed;
    }
    if (::stat(target.c_str(), &current) != 0 || current.st_dev != file.status.st_dev ||
        current.st_ino != file.status.st_ino) {
        return LockOutcome::StartOver;
    }
    return S_ISREG(file.status.st_mode) ? LockOutcome::Locked : LockOutcome::Failed;
}

// Read: the locked file's text. A file over the limit holds more than readers see; a write
// into it could not be read back, so it gives nothing.
std::optional<std::string> readLockedText(const LockedFile& file)
{
    if (file.status.st_size > static_cast<off_t>(kProfileMaxBytes)) {
        return std::nullopt;
    }
    std::optional<std::string> text = posix::readUpTo(file.fd.get(), kReadCap);
    if (!text || text->size() > kProfileMaxBytes) {
        return std::nullopt;
    }
    return text;
}

// Replace: puts content in place of target through a temporary file in the same folder, so
// that the file is replaced whole or not at all. old describes the file being replaced.
bool replaceFile(const std::string& target, std::string_view content, const FileStatus& old,
                 const std::optional<WriterIdentity>& writer)
{
    std::string name = tempFilePattern(target, writer);
    posix::UniqueFd temp(::mkostemp(name.data(), O_CLOEXEC));
    if (!temp.valid()) {
        return false;
    }
    // The owner first: changing it may clear mode bits that fchmod then sets again. Only a
    // privileged writer can give a file away; for anyone else the file was theirs already.
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
        [[maybe_unused]] const int ignored = ::fchown(temp.get(), old.st_uid, old.st_gid);
    }
    const bool written = posix::writeAll(temp.get(), content) && ::fchmod(temp.get(), old.st_mode & 07777) == 0 &&
                         ::fsync(temp.get()) == 0;
    if (!temp.close() || !written || ::rename(name.c_str(), target.c_str()) != 0) {
        ::unlink(name.c_str());
        return false;
    }
    // Make the rename itself durable; the new file is in place either way.
    const posix::UniqueFd folder(::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid()) {
        ::fsync(folder.get());
    }
    return true;
}

bool writeKey(std::string_view path, std::string_view section, std::string_view key, std::string_view value)
{
    if (!isStorableProfileEntry(section, key, value)) {
        return false;
    }
    const std::optional<std::string> target = resolveWriteTarget(path);
    if (!target) {
        return false;
    }
    for (int attempt = 0; attempt < kMaxWriteAttempts; ++attempt) {
        LockedFile file;
        const LockOutcome locked = lockTarget(*target, file);
        if (locked == LockOutcome::StartOver) {
            continue;
        }
        if (locked == LockOutcome::Failed) {
            return false;
        }
        // Unlinking the empty file we created keeps a failed write from leaving a file behind.
        // It is safe once the lock is held and the path is known to name the locked file:
        // writers waiting on it then see the path changed and start over.
        const auto fail = [&] {
            if (file.created) {
                ::unlink(target->c_str());
            }
            return false;
        };
        const std::optional<WriterIdentity> writer = thisWriter();
        if (writer) {
            removeLeftovers(*target, *writer);
        }
        const std::optional<std::string> old = readLockedText(file);
        if (!old) {
            return fail();
        }
        const std::string updated = setProfileValue(*old, section, key, value);
        if (!file.created && updated == *old) {
            return true;
        }
        // A write that would take the file over the limit could not be read back either.
        if (updated.size() > kProfileMaxBytes || !replaceFile(*target, updated, file.status, writer)) {
            return fail();
        }
        return true; // The lock goes with the descriptor, after the new file is in place.
    }
    return false;
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

std::shared_ptr<const std::string> LinuxProfile::load(const std::string& path)
{
    // A stat first: a version kept and still current costs no open, and a FIFO at the path
    // is not opened at all.
    FileStatus now{};
    if (::stat(path.c_str(), &now) != 0 || !S_ISREG(now.st_mode)) {
        const std::lock_guard lock(m_mutex);
        m_versions.erase(path);
        return nullptr;
    }
    {
        const std::lock_guard lock(m_mutex);
        const auto kept = m_versions.find(path);
        if (kept != m_versions.end() && kept->second.settled && sameFile(kept->second.status, now)) {
            return kept->second.text;
        }
    }

    timespec readStart{};
    ::clock_gettime(CLOCK_REALTIME, &readStart);
    // Should a FIFO take the file's place meanwhile, the open does not hang.
    Version version;
    const std::optional<std::string> bytes = posix::readRegularFile(path, kReadCap, &version.status);
    if (!bytes) {
        return nullptr;
    }
    ++m_fileReads;
    version.text = std::make_shared<const std::string>(profileFirstPart(*bytes));
    // A change within the granularity of file times after this one might not show in them:
    // only a version that had been still for the settle time is trusted later.
    const std::int64_t lastChange = std::max(nanoseconds(version.status.st_mtim), nanoseconds(version.status.st_ctim));
    version.settled = lastChange + std::chrono::nanoseconds(m_settleTime).count() <= nanoseconds(readStart);

    const std::lock_guard lock(m_mutex);
    // A process reads a handful of profiles; a bound keeps a caller that names ever new
    // paths from growing this without end.
    if (m_versions.size() >= kMaxKeptFiles && m_versions.count(path) == 0) {
        m_versions.clear();
    }
    m_versions[path] = version;
    return version.text;
}

std::shared_ptr<const std::string> LinuxProfile::loadPath(std::string_view path)
{
    const std::optional<std::string> resolved = resolvePath(path);
    return resolved ? load(*resolved) : nullptr;
}

std::string LinuxProfile::readString(std::string_view path, std::string_view section, std::string_view key,
                                     std::string_view defaultValue, std::size_t maxChars)
{
    const std::shared_ptr<const std::string> text = loadPath(path);
    return profileReadString(text ? std::optional<std::string_view>(*text) : std::nullopt, section, key, defaultValue,
                             maxChars);
}

std::int32_t LinuxProfile::readInt(std::string_view path, std::string_view section, std::string_view key,
                                   std::int32_t defaultValue)
{
    const std::shared_ptr<const std::string> text = loadPath(path);
    return profileReadInt(text ? std::optional<std::string_view>(*text) : std::nullopt, section, key, defaultValue);
}

bool LinuxProfile::writeString(std::string_view path, std::string_view section, std::string_view key,
                               std::string_view value)
{
    const bool written = writeKey(path, section, key, value);
    // Whatever became of the file, nothing kept of it is trusted any more.
    const std::lock_guard lock(m_mutex);
    m_versions.clear();
    return written;
}

Profile& systemProfile()
{
    static LinuxProfile profile;
    return profile;
}

} // namespace velora::platform
