#include "platform/linux/EventSourceThread.h"

#include <cerrno>
#include <cstdint>
#include <system_error>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace velora::platform {

EventSourceThread::~EventSourceThread()
{
    stop();
}

bool EventSourceThread::start(KeyHandler onKey, NoticeHandler onNotice)
{
    std::lock_guard lock(m_lifecycle);
    if (m_thread.joinable() || !onKey || !onNotice) {
        return false;
    }
    m_wake.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!m_wake.valid()) {
        return false;
    }
    m_onKey = std::move(onKey);
    m_onNotice = std::move(onNotice);
    m_stop.store(false);
    m_reconnect.store(false);
    try {
        // The thread keeps normal priority. It is woken by whoever writes the device or the
        // socket, and at normal priority the kernel may run it on that writer's core at once.
        // At real-time priority it stays on its own core, which then has to be woken: on a
        // virtual machine that took up to 3 ms a key, with no gain seen on a busy machine.
        m_thread = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        m_wake.reset();
        return false;
    }
    return true;
}

void EventSourceThread::stop()
{
    std::lock_guard lock(m_lifecycle);
    if (!m_thread.joinable()) {
        return;
    }
    m_stop.store(true);
    wake();
    m_thread.join();
    m_wake.reset();
    m_onKey = nullptr;
    m_onNotice = nullptr;
}

void EventSourceThread::reconnect()
{
    m_reconnect.store(true);
    wake();
}

void EventSourceThread::wake()
{
    if (m_wake.valid()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wake.get(), &one, sizeof one);
    }
}

EventSourceThread::Woken EventSourceThread::wait(int fd, int otherFd, int timeoutMs)
{
    while (true) {
        if (m_stop.load()) {
            return Woken::Stop;
        }
        if (m_reconnect.exchange(false)) {
            return Woken::Reconnect;
        }
        pollfd fds[3] = {{m_wake.get(), POLLIN, 0}, {fd, POLLIN, 0}, {otherFd, POLLIN, 0}};
        const int ready = ::poll(fds, 3, timeoutMs);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Woken::Timeout;
        }
        if (ready == 0) {
            return Woken::Timeout;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = ::read(m_wake.get(), &count, sizeof count);
            continue; // the flags tell what was asked
        }
        if (fds[1].revents != 0) {
            return Woken::Readable;
        }
        if (fds[2].revents != 0) {
            return Woken::Other;
        }
    }
}

} // namespace velora::platform
