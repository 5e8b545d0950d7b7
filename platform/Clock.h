// Time as the programs see it: a wrapping millisecond tick count and blocking waits, some of
// which another thread may cut short.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace velora::platform {

// Cuts short the waits of Clock::interruptibleSleep: raise() ends every such wait at once and
// makes later ones return straight away, until clear(). Safe to use from any thread.
class Interrupt
{
public:
    void raise()
    {
        {
            std::lock_guard lock(m_mutex);
            m_raised = true;
        }
        m_changed.notify_all();
    }
    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_raised = false;
    }
    bool raised() const
    {
        std::lock_guard lock(m_mutex);
        return m_raised;
    }
    // Blocks for up to this many milliseconds of the steady clock, or until raised; true
    // when the whole time passed without that.
    bool waitFor(std::uint32_t milliseconds)
    {
        std::unique_lock lock(m_mutex);
        return !m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return m_raised; });
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_raised = false;
};

class Clock
{
public:
    virtual ~Clock() = default;

    // Milliseconds since an arbitrary start (system boot on a real system), cut to 32 bits:
    // it wraps to 0 about every 49.7 days. Never goes backwards between wraps. Safe to call
    // from any thread.
    virtual std::uint32_t tickCount() = 0;

    // Blocks the calling thread for at least this many milliseconds. A fake clock advances
    // its tick count by the same amount instead of blocking.
    virtual void sleep(std::uint32_t milliseconds) = 0;

    // Sleeps as sleep() does, unless the interrupt is raised before or during the wait: then
    // it returns at once. True when the whole time was slept.
    virtual bool interruptibleSleep(std::uint32_t milliseconds, Interrupt& interrupt) = 0;
};

// The clock of the system this build runs on.
Clock& systemClock();

} // namespace velora::platform
