// The thread of an event key source (LIRC, an input device): it sleeps in poll() on what the
// source reads and on a wake-up descriptor, so that it costs nothing while no key comes, and
// stop() and reconnect() reach it at once from any thread.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "platform/KeyEventSource.h"
#include "platform/linux/UniqueFd.h"

namespace velora::platform {

class EventSourceThread : public KeyEventSource
{
public:
    EventSourceThread() = default;
    // Derived classes call stop() in their own destructors, before their members go.
    ~EventSourceThread() override;

    EventSourceThread(const EventSourceThread&) = delete;
    EventSourceThread& operator=(const EventSourceThread&) = delete;

    bool start(KeyHandler onKey, NoticeHandler onNotice) override;
    void stop() override;
    void reconnect() override;

protected:
    // The source's loop, on its thread: returns when stopRequested().
    virtual void run() = 0;

    enum class Woken {
        Readable,  // fd has something (or was closed at the other end)
        Other,     // otherFd has something
        Timeout,   // the time passed
        Reconnect, // reconnect() was called
        Stop,      // stop() was called
    };
    // Waits for fd (-1 for none), otherFd (-1 for none), the time (-1 for ever) or a call of
    // stop() or reconnect().
    Woken wait(int fd, int otherFd, int timeoutMs);

    bool stopRequested() const { return m_stop.load(); }
    void deliver(const KeyEvent& event) { m_onKey(event); }
    void notice(const std::string& line) { m_onNotice(line); }

private:
    void wake();

    std::mutex m_lifecycle; // start and stop
    std::thread m_thread;
    posix::UniqueFd m_wake; // an eventfd
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_reconnect{false};
    KeyHandler m_onKey;
    NoticeHandler m_onNotice;
};

// Waits between attempts to open a source that is not there: 100 ms, doubling up to 5 s.
class RetryDelay
{
public:
    int next()
    {
        const int delay = m_delayMs;
        m_delayMs = m_delayMs * 2 > kMaxMs ? kMaxMs : m_delayMs * 2;
        return delay;
    }
    void reset() { m_delayMs = kFirstMs; }

    static constexpr int kFirstMs = 100;
    static constexpr int kMaxMs = 5000;

private:
    int m_delayMs = kFirstMs;
};

} // namespace velora::platform
