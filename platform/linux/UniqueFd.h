// An owned file descriptor: closed when the owner goes, on every way out of a function.
// The POSIX helpers of the Linux backends and the driver libraries share it, so that no
// caller writes close() by hand. Not thread-safe by itself: one owner, as with any object.
#pragma once

#include <utility>

#include <unistd.h>

namespace velora::posix {

class UniqueFd
{
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    // Whether a descriptor is held (open() and friends give -1 on failure).
    bool valid() const { return m_fd >= 0; }
    int get() const { return m_fd; }

    // Gives the descriptor up without closing it.
    int release() { return std::exchange(m_fd, -1); }

    // Closes the descriptor held (if any) and holds fd instead.
    void reset(int fd = -1)
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = fd;
    }

    // Closes now and tells whether the close succeeded: on some file systems it is the close
    // that reports a failed write-back.
    bool close()
    {
        const int fd = release();
        return fd >= 0 && ::close(fd) == 0;
    }

private:
    int m_fd = -1;
};

} // namespace velora::posix
