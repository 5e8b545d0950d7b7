// Timers on Linux: every timer has a thread of its own that sleeps on the monotonic clock
// until its next deadline, so a slow callback of one timer never delays another (the
// daemon's release timer fires while its sampling tick is busy playing a macro).
//
// Periodic deadlines are absolute (start + n * period); the deadlines that a callback overran
// make one call as it returns, not one each. Each thread sleeps in read() on a timerfd of its
// own that the kernel keeps on the deadlines (CLOCK_MONOTONIC, steady_clock's clock): a period
// costs one system call and no lock or clock reading, idle timers cost no CPU, and cancelling
// sets the timer to expire at once, which wakes the thread. A timer thread asks for real-time
// priority (SCHED_FIFO, lowest level) with SCHED_RESET_ON_FORK, which keeps the tick on time
// on a busy desktop; where the process is not allowed that, a sampling timer's thread (periodic,
// every 10 ms or faster) asks the desktop's real-time policy service, and otherwise the thread
// simply stays at normal priority. The
// reset-on-fork flag makes threads and programs started from a callback begin at normal
// priority again.
#pragma once

#include "platform/TimerService.h"
#include "platform/linux/UniqueFd.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace velora::platform {

class LinuxTimerService final : public TimerService
{
public:
    LinuxTimerService() = default;
    // Cancels every timer and waits for running callbacks to return; callbacks running
    // meanwhile may still call cancel, and their calls to start fail (return 0). Must not
    // be called from a callback of this service.
    ~LinuxTimerService() override;

    LinuxTimerService(const LinuxTimerService&) = delete;
    LinuxTimerService& operator=(const LinuxTimerService&) = delete;

    // Both return 0 and start nothing for an empty callback, a periodic timer with a period
    // of 0 (it would never sleep), when no thread or timerfd can be created, or while the service is
    // being destroyed. A delay of 0 runs the one-shot callback at once on its own thread.
    // Callbacks must not throw. Two timers' callbacks that cancel each other at the same
    // time wait for each other for ever, as any two threads joining each other would.
    TimerId startPeriodic(std::uint32_t periodMs, std::function<void()> callback) override;
    TimerId startOneShot(std::uint32_t delayMs, std::function<void()> callback) override;
    void cancel(TimerId timer) override;

private:
    using SteadyClock = std::chrono::steady_clock;
    struct Timer;

    // Wakes the timer's thread from its sleep; it then looks whether it was cancelled.
    static void wakeTimer(Timer& timer);

    TimerId start(std::uint32_t intervalMs, bool periodic, std::function<void()> callback);
    void run(const std::shared_ptr<Timer>& timer);
    // Takes the timers whose threads have ended out of the table; the caller joins the
    // returned threads after releasing the lock. Needs m_mutex held.
    void takeFinished(std::vector<std::thread>& threads);

    std::mutex m_mutex;
    // Signalled whenever a timer's thread has left its loop.
    std::condition_variable m_finishedCv;
    std::unordered_map<TimerId, std::shared_ptr<Timer>> m_timers;
    TimerId m_nextId = 1;
    bool m_stopping = false;
};

} // namespace velora::platform
