#include "platform/linux/LinuxProfile.h"

#include "platform/ProfileFormat.h"
#include "platform/UserFolders.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
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

// Profile files whose last version a reader keeps at most.
constexpr std::size_t kMaxKeptFiles = 16;

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

// Reads the file from its start, at most limit bytes.
std::optional<std::string> readAll(int fd, std::size_t limit)
{
    std::string text;
    char buffer[65536];
    while (text.size() < limit) {
        const std::size_t wanted = std::min(sizeof buffer, limit - text.size());
        const ssize_t got = ::pread(fd, buffer, wanted, static_cast<off_t>(text.size()));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text;
}

// A file's contents, up to what a profile may hold and one byte more, so that a file over
// the limit shows as such.
std::optional<std::string> readProfileBytes(int fd)
{
    return readAll(fd, kProfileMaxBytes + 1);
}

// A small file under /proc, whole; nothing when it cannot be read.
std::optional<std::string> readSystemFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    FileDescriptor file(fd);
    return readAll(file.get(), 4096);
}

// What /proc tells of a process: its number, the clock tick at which it started, and
// whether it has ended (a zombie, waiting for its parent).
struct ProcessState
{
    long long pid = 0;
    unsigned long long start = 0;
    bool ended = false;
};

std::optional<ProcessState> processState(const std::string& pid)
{
    const std::optional<std::string> stat = readSystemFile("/proc/" + pid + "/stat");
    // "PID (COMMAND) STATE PPID ...": the command may hold anything, so the fields are
    // counted from its last ")"; the start is field 22.
    const std::size_t close = stat ? stat->rfind(')') : std::string::npos;
    if (close == std::string::npos || close + 2 >= stat->size()) {
        return std::nullopt;
    }
    ProcessState state;
    state.pid = std::atoll(stat->c_str());
    const char* field = stat->c_str() + close + 2;
    state.ended = *field == 'Z' || *field == 'X';
    for (int number = 3; number < 22; ++number) {
        field = std::strchr(field, ' ');
        if (field == nullptr) {
            return std::nullopt;
        }
        ++field;
    }
    char* end = nullptr;
    errno = 0;
    state.start = std::strtoull(field, &end, 10);
    if (end == field || errno != 0) {
        return std::nullopt;
    }
    return state;
}

// FNV-1a: a short, stable digest of a text.
std::uint64_t digest(std::string_view text)
{
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : text) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    return hash;
}

// Who writes, as the names of temporary files tell it (see the header).
struct WriterIdentity
{
    long long pid = 0;
    unsigned long long start = 0;
    std::string run; // 16 hex digits
};

// This process; nothing when the system does not tell enough to name it safely (no /proc,
// or a /proc of another process namespace than this process's own).
std::optional<WriterIdentity> thisWriter()
{
    const std::optional<ProcessState> self = processState("self");
    const std::optional<std::string> boot = readSystemFile("/proc/sys/kernel/random/boot_id");
    char space[256];
    const ssize_t length = ::readlink("/proc/self/ns/pid", space, sizeof space);
    if (!self || self->pid != ::getpid() || !boot || boot->empty() || length <= 0 ||
        static_cast<std::size_t>(length) >= sizeof space) {
        return std::nullopt;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::uint64_t run = digest(*boot + "\n" + std::string(space, static_cast<std::size_t>(length)));
    WriterIdentity writer{self->pid, self->start, std::string(16, '0')};
    for (int i = 15; i >= 0; --i, run >>= 4) {
        writer.run[static_cast<std::size_t>(i)] = kHex[run & 15];
    }
    return writer;
}

// The leading decimal number of text, taken off it; nothing when there is none or it is
// too large.
std::optional<unsigned long long> takeNumber(std::string_view& text)
{
    unsigned long long number = 0;
    std::size_t digits = 0;
    for (; digits < text.size() && text[digits] >= '0' && text[digits] <= '9'; ++digits) {
        if (digits >= 19) {
            return std::nullopt;
        }
        number = number * 10 + static_cast<unsigned long long>(text[digits] - '0');
    }
    if (digits == 0) {
        return std::nullopt;
    }
    text.remove_prefix(digits);
    return number;
}

bool isTempLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Whether rest is "PID-START-RUN.XXXXXX" with this writer's RUN and a writer that is
// plainly gone.
bool isLeftoverOfGoneWriter(std::string_view rest, const WriterIdentity& self)
{
    const std::optional<unsigned long long> pid = takeNumber(rest);
    if (!pid || rest.empty() || rest.front() != '-') {
        return false;
    }
    rest.remove_prefix(1);
    const std::optional<unsigned long long> start = takeNumber(rest);
    if (!start || rest.size() != 1 + 16 + 1 + 6 || rest[0] != '-' || rest.substr(1, 16) != self.run ||
        rest[17] != '.' || !std::all_of(rest.begin() + 18, rest.end(), isTempLetter)) {
        return false;
    }
    if (*pid == 0 || *pid > static_cast<unsigned long long>(INT_MAX)) {
        return false;
    }
    const auto number = static_cast<pid_t>(*pid);
    if (number == ::getpid()) {
        return *start != self.start; // an earlier process of this number
    }
    if (::kill(number, 0) != 0 && errno == ESRCH) {
        return true;
    }
    // A process of that number runs: the writer only if it started at the same tick.
    const std::optional<ProcessState> state = processState(std::to_string(number));
    return state && (state->ended || state->start != *start);
}

// The temporary files' names start with this for a file called base; short enough to
// stay within NAME_MAX with the writer's part whatever the file's name.
std::string tempPrefix(const std::string& base)
{
    return "." + base.substr(0, 180) + ".";
}

// Removes the temporary files that writers of the file called base, killed halfway, left in
// folder. Called with the file's lock held, so that no writer who keeps to it is midway.
void removeLeftovers(const std::string& folder, const std::string& base, const WriterIdentity& self)
{
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    const std::string prefix = tempPrefix(base);
    const int fd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (!name.starts_with(prefix) || !isLeftoverOfGoneWriter(name.substr(prefix.size()), self)) {
            continue;
        }
        FileStatus info{};
        if (::fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode)) {
            ::unlinkat(fd, entry->d_name, 0);
        }
    }
    ::closedir(dir);
}

std::string baseName(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
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
bool replaceFile(const std::string& target, std::string_view content, const FileStatus& old,
                 const std::optional<WriterIdentity>& writer)
{
    const std::string folder = folderOf(target);
    std::string name = folder + "/" + tempPrefix(baseName(target));
    if (writer) {
        name += std::to_string(writer->pid) + "-" + std::to_string(writer->start) + "-" + writer->run + ".";
    }
    name += "XXXXXX";
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

namespace {

std::int64_t nanoseconds(const timespec& time)
{
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

bool sameFile(const FileStatus& a, const FileStatus& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           nanoseconds(a.st_mtim) == nanoseconds(b.st_mtim) && nanoseconds(a.st_ctim) == nanoseconds(b.st_ctim);
}

bool writeKey(std::string_view path, std::string_view section, std::string_view key, std::string_view value)
{
    if (!isStorableProfileEntry(section, key, value)) {
        return false;
    }
    const std::optional<std::string> resolved = LinuxProfile::resolvePath(path);
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
        const std::optional<WriterIdentity> writer = thisWriter();
        if (writer) {
            removeLeftovers(folderOf(*target), baseName(*target), *writer);
        }
        // A file over the limit holds more than readers see; a write into it, or one that
        // would take it over the limit, could not be read back, so it fails instead.
        const std::optional<std::string> old =
            locked.st_size <= static_cast<off_t>(kProfileMaxBytes) ? readProfileBytes(file.get()) : std::nullopt;
        if (!old || old->size() > kProfileMaxBytes) {
            return fail();
        }
        const std::string updated = setProfileValue(*old, section, key, value);
        if (!created && updated == *old) {
            return true;
        }
        if (updated.size() > kProfileMaxBytes || !replaceFile(*target, updated, locked, writer)) {
            return fail();
        }
        return true; // The lock goes with the descriptor, after the new file is in place.
    }
    return false;
}

} // namespace

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
    // O_NONBLOCK: should a FIFO take the file's place meanwhile, the open does not hang.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    FileDescriptor file(fd);
    Version version;
    if (::fstat(file.get(), &version.status) != 0 || !S_ISREG(version.status.st_mode)) {
        return nullptr;
    }
    const std::optional<std::string> bytes = readProfileBytes(file.get());
    ++m_fileReads;
    if (!bytes) {
        return nullptr;
    }
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
