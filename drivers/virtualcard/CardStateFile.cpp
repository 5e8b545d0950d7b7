#include "drivers/virtualcard/CardStateFile.h"

#include "hw/BtRegisters.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <utility>

#include <fcntl.h>
#include <linux/futex.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#if defined(__SANITIZE_THREAD__)
#define VELORA_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VELORA_THREAD_SANITIZER 1
#endif
#endif
#ifdef VELORA_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

namespace velora::virtualcard {

namespace {

constexpr std::size_t kFileSize = sizeof(CardStateLayout);

// Version 1 of the layout is version 2 without the boot id at its end.
constexpr std::uint32_t kFirstVersion = 1;
constexpr std::size_t kFirstVersionSize = offsetof(CardStateLayout, bootId);
static_assert(kFirstVersionSize == 4336, "the fields of the first version must stay where they were");

// What a file is read for at most when its state is taken over into a new one.
constexpr std::size_t kCarriedState = kFirstVersionSize - offsetof(CardStateLayout, chipId);

// The mapper marks: one-byte locks far beyond the end of the file, where no data lies.
constexpr off_t kMapperMarkBase = off_t{1} << 30;

// How long CardLock waits before it looks at the owner again, and how long a lock may stay in
// one hand before it counts as stuck. The state behind the lock is held for microseconds.
constexpr std::chrono::milliseconds kLockLook{100};
constexpr std::chrono::milliseconds kLockStuck{3000};

void setError(std::string* error, const std::string& text)
{
    if (error) {
        *error = text;
    }
}

std::string describeErrno(const std::string& what, int err)
{
    return what + ": " + std::strerror(err);
}

// Closes a descriptor on every path unless it is released.
class UniqueFd
{
public:
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

// Holds the file's flock while the file is checked and perhaps initialised or replaced.
class FileLock
{
public:
    explicit FileLock(int fd) : m_fd(fd)
    {
        int rc;
        do {
            rc = ::flock(m_fd, LOCK_EX);
        } while (rc != 0 && errno == EINTR);
        m_held = rc == 0;
    }
    ~FileLock()
    {
        if (m_held) {
            ::flock(m_fd, LOCK_UN);
        }
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool held() const { return m_held; }

private:
    int m_fd;
    bool m_held = false;
};

bool layoutIsValid(const CardStateLayout& layout)
{
    return layout.magic == kStateMagic && layout.version == kStateVersion && layout.size == kFileSize;
}

// The kernel's id of this boot; empty where it cannot be read.
std::string currentBootId()
{
    std::ifstream in("/proc/sys/kernel/random/boot_id");
    std::string id;
    std::getline(in, id);
    return id.size() < kBootIdSize ? id : std::string();
}

void setBootId(CardStateLayout& layout, const std::string& boot)
{
    std::memset(layout.bootId, 0, sizeof layout.bootId);
    std::memcpy(layout.bootId, boot.data(), boot.size());
}

// Whether the file was last opened in this boot. When this boot's id is unknown the lock is
// left alone: the owner checks of CardLock still apply.
bool fromThisBoot(const CardStateLayout& layout, const std::string& boot)
{
    return boot.empty() || std::strncmp(layout.bootId, boot.c_str(), sizeof layout.bootId) == 0;
}

void initialiseLock(pthread_mutex_t& mutex)
{
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
    pthread_mutex_init(&mutex, &attr);
    pthread_mutexattr_destroy(&attr);
}

// Wakes every process that sleeps on the lock word, so that it looks at the word again.
void wakeLockWaiters(CardStateLayout& layout)
{
    ::syscall(SYS_futex, &lockWord(layout), FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
}

// Starts a fresh, free lock over whatever the old one held, and wakes its sleepers.
void replaceLock(CardStateLayout& layout)
{
    initialiseLock(layout.lock);
    wakeLockWaiters(layout);
}

// Does what the kernel does when the owner of a robust lock dies: marks the word owner-died,
// keeping its waiters bit, and wakes the waiters; the next one to try takes the lock over.
// Nothing happens when the word no longer holds what was seen.
void markOwnerDead(CardStateLayout& layout, int seen)
{
    int expected = seen;
    if (std::atomic_ref<int>(lockWord(layout))
            .compare_exchange_strong(expected, (seen & FUTEX_WAITERS) | FUTEX_OWNER_DIED)) {
        wakeLockWaiters(layout);
    }
}

bool threadExists(pid_t tid)
{
    return ::kill(tid, 0) == 0 || errno == EPERM;
}

timespec realtimeAfter(std::chrono::milliseconds wait)
{
    timespec at{};
    clock_gettime(CLOCK_REALTIME, &at);
    const long long nanoseconds = at.tv_nsec + static_cast<long long>(wait.count()) * 1'000'000;
    at.tv_sec += static_cast<time_t>(nanoseconds / 1'000'000'000);
    at.tv_nsec = static_cast<long>(nanoseconds % 1'000'000'000);
    return at;
}

std::unique_ptr<CardStateLayout> freshLayout(const std::string& boot)
{
    auto layout = std::make_unique<CardStateLayout>();
    initialiseLayout(*layout);
    setBootId(*layout, boot);
    return layout;
}

// The content that replaces a file of another size: a version 1 file's state carried over
// (carried is then set), anything else a freshly reset card.
std::unique_ptr<CardStateLayout> replacementFor(int fd, off_t size, const std::string& boot, bool& carried)
{
    auto layout = freshLayout(boot);
    carried = false;
    if (static_cast<std::size_t>(size) != kFirstVersionSize) {
        return layout;
    }
    std::uint32_t header[3] = {};
    unsigned char state[kCarriedState];
    if (::pread(fd, header, sizeof header, 0) == static_cast<ssize_t>(sizeof header) && header[0] == kStateMagic &&
        header[1] == kFirstVersion && header[2] == kFirstVersionSize &&
        ::pread(fd, state, sizeof state, offsetof(CardStateLayout, chipId)) == static_cast<ssize_t>(sizeof state)) {
        std::memcpy(reinterpret_cast<unsigned char*>(layout.get()) + offsetof(CardStateLayout, chipId), state,
                    sizeof state);
        carried = true;
    }
    return layout;
}

bool writeAll(int fd, const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Writes a complete state file beside path and puts it in place: over the file there when
// replace is set, else only where there is none (false with errno EEXIST when one appeared
// meanwhile). On failure *reason says why and nothing is left behind.
bool placeNewFile(const std::string& path, const CardStateLayout& content, bool replace, std::string& reason)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    std::string temporary = (slash == std::string::npos ? "./" : folder) + ".velora-card-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        reason = describeErrno("no new file can be made in " + folder, errno);
        return false;
    }
    UniqueFd closer(fd);
    auto fail = [&](const std::string& what) {
        const int err = errno;
        reason = describeErrno(what, err);
        ::unlink(temporary.c_str());
        errno = err;
        return false;
    };
    if (::fchmod(fd, 0600) != 0 || !writeAll(fd, &content, sizeof content)) {
        return fail("cannot write " + temporary);
    }
    if (replace) {
        return ::rename(temporary.c_str(), path.c_str()) == 0 || fail("cannot rename " + temporary);
    }
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    // File systems without that kind of rename: a hard link does the same.
    if ((errno == EINVAL || errno == ENOSYS) && ::link(temporary.c_str(), path.c_str()) == 0) {
        ::unlink(temporary.c_str());
        return true;
    }
    return fail("cannot put a new file at " + path);
}

// Whether path still names the file behind the descriptor: another process may have put a new
// file in its place while this one waited for the old file's lock.
bool stillInPlace(const std::string& path, const struct stat& opened)
{
    struct stat now = {};
    return ::lstat(path.c_str(), &now) == 0 && now.st_dev == opened.st_dev && now.st_ino == opened.st_ino;
}

struct flock mapperMark(std::uint32_t index)
{
    struct flock mark = {};
    mark.l_type = F_WRLCK;
    mark.l_whence = SEEK_SET;
    mark.l_start = kMapperMarkBase + static_cast<off_t>(index);
    mark.l_len = 1;
    return mark;
}

} // namespace

void initialiseLayout(CardStateLayout& layout)
{
    std::memset(&layout, 0, sizeof layout);
    layout.version = kStateVersion;
    layout.size = kFileSize;
    layout.chipId = bt::kBt878;
    layout.signalMode = 0;
    layout.remoteKey = kNoRemoteKey;
    for (const bt::RegisterValue& reg : bt::kPowerOnValues) {
        layout.registers[reg.offset / 4] = reg.value;
    }
    initialiseLock(layout.lock);

    // The magic goes in last: a layout is valid only once everything else is in place.
    __atomic_store_n(&layout.magic, kStateMagic, __ATOMIC_RELEASE);
}

CardLock::CardLock(CardStateLayout& layout) : m_layout(layout)
{
    const int self = static_cast<int>(::syscall(SYS_gettid));
    int seen = 0;
    auto seenSince = std::chrono::steady_clock::now();
    bool replaced = false;
    for (;;) {
        const timespec until = realtimeAfter(kLockLook);
        int rc = pthread_mutex_timedlock(&m_layout.lock, &until);
        if (rc == EOWNERDEAD) {
#ifdef VELORA_THREAD_SANITIZER
            // ThreadSanitizer sees a lock taken over from a dead owner only through
            // pthread_mutex_lock and pthread_mutex_trylock; tell it of this one.
            __tsan_mutex_pre_lock(&m_layout.lock, __tsan_mutex_try_lock);
            __tsan_mutex_post_lock(&m_layout.lock, __tsan_mutex_try_lock, 0);
#endif
            pthread_mutex_consistent(&m_layout.lock);
            rc = 0;
        }
        if (rc == 0) {
            m_held = true;
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (rc == ETIMEDOUT) {
            const int word = std::atomic_ref<int>(lockWord(m_layout)).load();
            if (word != seen) {
                seen = word;
                seenSince = now;
            }
            const int owner = word & FUTEX_TID_MASK;
            if (word != 0 && (owner == 0 || owner == self || !threadExists(owner))) {
                markOwnerDead(m_layout, word);
                continue;
            }
            if (now - seenSince < kLockStuck) {
                continue;
            }
        }
        // Unusable, or in one hand for far longer than anyone holds it: start a fresh lock.
        if (replaced) {
            return;
        }
        replaced = true;
        replaceLock(m_layout);
        seen = 0;
        seenSince = now;
    }
}

CardLock::~CardLock()
{
    if (m_held) {
        pthread_mutex_unlock(&m_layout.lock);
    }
}

std::unique_ptr<CardStateFile> CardStateFile::open(const std::string& path, std::string* error)
{
    if (path.empty()) {
        setError(error, "no path for the card state file");
        return nullptr;
    }
    const std::string boot = currentBootId();
    bool initialised = false;
    // Each round either uses the file in place or puts a new one there; a few rounds cover
    // other processes doing the same at the same time.
    for (int round = 0; round < 8; ++round) {
        // O_NOFOLLOW keeps a planted symbolic link from redirecting the writes.
        UniqueFd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
        if (fd.get() < 0) {
            if (errno != ENOENT) {
                setError(error, describeErrno("cannot open " + path, errno));
                return nullptr;
            }
            std::string reason;
            if (placeNewFile(path, *freshLayout(boot), false, reason)) {
                initialised = true;
            } else if (errno != EEXIST) {
                setError(error, "cannot create " + path + ": " + reason);
                return nullptr;
            }
            continue;
        }

        FileLock fileLock(fd.get());
        if (!fileLock.held()) {
            setError(error, describeErrno("cannot lock " + path, errno));
            return nullptr;
        }
        struct stat info = {};
        if (::fstat(fd.get(), &info) != 0) {
            setError(error, describeErrno("cannot examine " + path, errno));
            return nullptr;
        }
        if (!S_ISREG(info.st_mode)) {
            setError(error, path + " is not a regular file");
            return nullptr;
        }
        if (info.st_uid != ::geteuid()) {
            setError(error, path + " belongs to another user");
            return nullptr;
        }
        if (!stillInPlace(path, info)) {
            continue;
        }

        if (static_cast<std::size_t>(info.st_size) != kFileSize) {
            // Another program may map this file at its present size: cutting or growing it
            // under that program would kill it with SIGBUS. Put a new file in its place.
            bool carried = false;
            const auto content = replacementFor(fd.get(), info.st_size, boot, carried);
            std::string reason;
            if (!placeNewFile(path, *content, true, reason)) {
                setError(error, path + " has " + std::to_string(info.st_size) + " bytes where the card needs " +
                                    std::to_string(kFileSize) + ", and cannot be replaced (" + reason +
                                    "); remove it or choose another file with VELORA_CARD");
                return nullptr;
            }
            initialised = !carried;
            continue;
        }

        void* mapped = ::mmap(nullptr, kFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
        if (mapped == MAP_FAILED) {
            setError(error, describeErrno("cannot map " + path, errno));
            return nullptr;
        }
        auto* layout = static_cast<CardStateLayout*>(mapped);
        // Decided under the flock from what the file holds: another process may have
        // initialised it and started using it since it was created.
        if (!layoutIsValid(*layout)) {
            initialiseLayout(*layout);
            setBootId(*layout, boot);
            initialised = true;
        } else if (!fromThisBoot(*layout, boot)) {
            // No process of this boot has opened the file yet, so nobody holds its lock: the
            // word names a thread of the boot before.
            replaceLock(*layout);
            layout->unused = 0;
            setBootId(*layout, boot);
        }
        return std::unique_ptr<CardStateFile>(new CardStateFile(path, layout, fd.release(), initialised));
    }
    setError(error, path + " was replaced again and again while it was being opened");
    return nullptr;
}

std::string CardStateFile::defaultPath()
{
    const char* card = std::getenv("VELORA_CARD");
    if (card && *card) {
        return card;
    }
    const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
    if (runtimeDir && *runtimeDir) {
        return std::string(runtimeDir) + "/velora-card";
    }
    return "/tmp/velora-card-" + std::to_string(::getuid());
}

CardStateFile::CardStateFile(std::string path, CardStateLayout* layout, int fd, bool initialised)
    : m_path(std::move(path)), m_layout(layout), m_fd(fd), m_initialised(initialised)
{}

CardStateFile::~CardStateFile()
{
    ::munmap(m_layout, kFileSize);
    // Closing the file drops this object's mapper mark.
    ::close(m_fd);
}

bool CardStateFile::markAsMapper()
{
    for (std::uint32_t index = 0; index < kMapperMarks; ++index) {
        struct flock mark = mapperMark(index);
        if (::fcntl(m_fd, F_OFD_SETLK, &mark) == 0) {
            return true;
        }
    }
    return false;
}

std::uint32_t CardStateFile::liveMappers() const
{
    std::uint32_t count = 0;
    for (std::uint32_t index = 0; index < kMapperMarks; ++index) {
        struct flock mark = mapperMark(index);
        if (::fcntl(m_fd, F_OFD_GETLK, &mark) == 0 && mark.l_type != F_UNLCK) {
            ++count;
        }
    }
    return count;
}

} // namespace velora::virtualcard
