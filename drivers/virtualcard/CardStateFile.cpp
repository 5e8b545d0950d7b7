#include "drivers/virtualcard/CardStateFile.h"

#include "hw/BtRegisters.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velora::virtualcard {

namespace {

constexpr std::size_t kFileSize = sizeof(CardStateLayout);

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

// Closes the descriptor on every return path; the mapping outlives it.
class FdCloser
{
public:
    explicit FdCloser(int fd) : m_fd(fd) {}
    ~FdCloser() { ::close(m_fd); }
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;

private:
    int m_fd;
};

// Holds the file's flock while the file is checked and perhaps initialised.
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

// Opens the file, creating it exclusively when it does not exist so that only the creator
// sets its mode. O_NOFOLLOW keeps a planted symbolic link from redirecting the writes.
int openStateFile(const std::string& path, bool& created)
{
    created = false;
    for (int attempt = 0; attempt < 3; ++attempt) {
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0) {
            created = true;
            return fd;
        }
        if (errno != EEXIST) {
            return -1;
        }
        fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
        if (fd >= 0 || errno != ENOENT) {
            return fd;
        }
        // Removed between the two calls: try to create it again.
    }
    return -1;
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

    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
    pthread_mutex_init(&layout.lock, &attr);
    pthread_mutexattr_destroy(&attr);

    // The magic goes in last: a layout is valid only once everything else is in place.
    __atomic_store_n(&layout.magic, kStateMagic, __ATOMIC_RELEASE);
}

CardLock::CardLock(CardStateLayout& layout) : m_layout(layout)
{
    int rc = pthread_mutex_lock(&m_layout.lock);
    if (rc == EOWNERDEAD) {
        pthread_mutex_consistent(&m_layout.lock);
        rc = 0;
    }
    m_held = rc == 0;
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
    bool created = false;
    const int fd = openStateFile(path, created);
    if (fd < 0) {
        setError(error, describeErrno("cannot open " + path, errno));
        return nullptr;
    }
    FdCloser closer(fd);

    FileLock fileLock(fd);
    if (!fileLock.held()) {
        setError(error, describeErrno("cannot lock " + path, errno));
        return nullptr;
    }

    struct stat info = {};
    if (::fstat(fd, &info) != 0) {
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
    // The umask may have taken bits away from a new file; make it exactly owner read/write.
    if (created && ::fchmod(fd, 0600) != 0) {
        setError(error, describeErrno("cannot set the mode of " + path, errno));
        return nullptr;
    }

    // Whether to initialise is decided under the flock from what the file holds, never from
    // who created it: the creator may get the lock after another process has already
    // initialised the file and started using it.
    bool initialise = static_cast<std::size_t>(info.st_size) != kFileSize;
    if (static_cast<std::size_t>(info.st_size) != kFileSize && ::ftruncate(fd, static_cast<off_t>(kFileSize)) != 0) {
        setError(error, describeErrno("cannot size " + path, errno));
        return nullptr;
    }

    void* mapped = ::mmap(nullptr, kFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (mapped == MAP_FAILED) {
        setError(error, describeErrno("cannot map " + path, errno));
        return nullptr;
    }
    auto* layout = static_cast<CardStateLayout*>(mapped);
    if (!initialise && !layoutIsValid(*layout)) {
        initialise = true;
    }
    if (initialise) {
        initialiseLayout(*layout);
    }
    return std::unique_ptr<CardStateFile>(new CardStateFile(path, layout, initialise));
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

CardStateFile::CardStateFile(std::string path, CardStateLayout* layout, bool initialised)
    : m_path(std::move(path)), m_layout(layout), m_initialised(initialised)
{}

CardStateFile::~CardStateFile()
{
    ::munmap(m_layout, kFileSize);
}

} // namespace velora::virtualcard
