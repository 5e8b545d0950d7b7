#include "drivers/virtualcard/CardStateFile.h"

#include "platform/linux/FileIo.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

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
    const std::optional<std::string> text = posix::readRegularFile("/proc/sys/kernel/random/boot_id", kBootIdSize + 1);
    const std::string id = text ? text->substr(0, text->find('\n')) : std::string();
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

// Writes a complete state file beside path and puts it in place: over the file there when
// replace is set, else only where there is none (false with errno EEXIST when one appeared
// meanwhile). On failure *reason says why and nothing is left behind.
bool placeNewFile(const std::string& path, const CardStateLayout& content, bool replace, std::string& reason)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    std::string temporary = (slash == std::string::npos ? "./" : folder) + ".velora-card-XXXXXX";
    const posix::UniqueFd file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!file.valid()) {
        reason = describeErrno("no new file can be made in " + folder, errno);
        return false;
    }
    auto fail = [&](const std::string& what) {
        const int err = errno;
        reason = describeErrno(what, err);
        ::unlink(temporary.c_str());
        errno = err;
        return false;
    };
    const std::string_view bytes(reinterpret_cast<const char*>(&content), sizeof content);
    if (::fchmod(file.get(), 0600) != 0 || !posix::writeAll(file.get(), bytes)) {
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
        posix::UniqueFd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
        if (!fd.valid()) {
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
        return std::unique_ptr<CardStateFile>(new CardStateFile(path, layout, std::move(fd), initialised));
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

CardStateFile::CardStateFile(std::string path, CardStateLayout* layout, posix::UniqueFd fd, bool initialised)
    : m_path(std::move(path)), m_layout(layout), m_fd(std::move(fd)), m_initialised(initialised)
{}

CardStateFile::~CardStateFile()
{
    ::munmap(m_layout, kFileSize);
}

bool CardStateFile::markAsMapper()
{
    for (std::uint32_t index = 0; index < kMapperMarks; ++index) {
        struct flock mark = mapperMark(index);
        if (::fcntl(m_fd.get(), F_OFD_SETLK, &mark) == 0) {
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
        if (::fcntl(m_fd.get(), F_OFD_GETLK, &mark) == 0 && mark.l_type != F_UNLCK) {
            ++count;
        }
    }
    return count;
}

} // namespace velora::virtualcard
