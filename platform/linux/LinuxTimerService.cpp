#include "platform/linux/LinuxTimerService.h"

#include "platform/linux/ThreadPriority.h"

#include <atomic>
#include <cstdint>
#include <system_error>
#include <utility>

#include <cerrno>
#include <ctime>

#include <sys/timerfd.h>
#include <unistd.h>

namespace velora::platform {

struct LinuxTimerService::Timer
{
    Timer(bool periodicIn, bool asksDesktopIn, std::function<void()> callbackIn)
        : periodic(periodicIn), asksDesktop(asksDesktopIn), callback(std::move(callbackIn))
    {}

    const bool periodic;
    // Whether the thread asks the desktop's real-time service when it may not raise its own
    // priority (see kSamplingPeriodMs).
    const bool asksDesktop;
    // Used by the timer's own thread only, outside the service's lock.
    std::function<void()> callback;

    // The kernel's timer the thread sleeps on: armed for the deadlines, and set to expire at
    // once to wake the thread early (cancel).
    posix::UniqueFd clock;

    // Set under the service's mutex, and read by the timer's thread without it, so that a
    // period takes no lock.
    std::atomic<bool> cancelled{false};
    // The rest is guarded by the service's mutex.
    bool finished = false; // the thread has left its loop and will only return
    std::thread thread;
};

void LinuxTimerService::wakeTimer(Timer& timer)
{
    // An absolute deadline in the past (the clock's first nanosecond) expires at once.
    const itimerspec now{{0, 0}, {0, 1}};
    ::timerfd_settime(timer.clock.get(), TFD_TIMER_ABSTIME, &now, nullptr);
}

namespace {

// Only a sampling timer, periodic at this period or faster, asks the desktop's real-time
// service: a key waits for its next sample, so its lateness shows, and it runs as long as the
// daemon does. The service logs every grant in the system journal, which a glide started for
// each held key (40 ms) or a one-shot started for each key's release would fill.
constexpr std::uint32_t kSamplingPeriodMs = 10;

// The timer whose thread this is, so that cancel can tell a call from the timer's own
// callback (which must not wait for itself) from a call on any other thread.
thread_local const void* t_currentTimer = nullptr;

timespec toTimespec(std::chrono::steady_clock::duration sinceEpoch)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
    return {static_cast<time_t>(seconds.count()),
            static_cast<long>(std::chrono::nanoseconds(sinceEpoch - seconds).count())};
}

// Arms the timer for the deadline (steady_clock is CLOCK_MONOTONIC) and, when periodic,
// every interval after it; the kernel keeps the deadlines, so a period costs the thread one
// read() and nothing else, as little as a bare clock_nanosleep().
bool arm(int clock, std::chrono::steady_clock::time_point deadline, std::chrono::steady_clock::duration interval)
{
    const itimerspec when{toTimespec(interval), toTimespec(deadline.time_since_epoch())};
    return ::timerfd_settime(clock, TFD_TIMER_ABSTIME, &when, nullptr) == 0;
}

void joinAll(std::vector<std::thread>& threads)
{
    for (std::thread& thread : threads) {
        if (thread.joinable()) {
            thread.join();
        }
    }
}

} // namespace

LinuxTimerService::~LinuxTimerService()
{
    std::vector<std::thread> threads;
    {
        std::unique_lock lock(m_mutex);
        m_stopping = true;
        for (auto& entry : m_timers) {
            entry.second->cancelled = true;
            wakeTimer(*entry.second);
        }
        // A callback running now may still cancel other timers; those calls take and join
        // the threads they cancelled themselves, and this waits for whatever is left.
        m_finishedCv.wait(lock, [this] {
            for (const auto& entry : m_timers) {
                if (!entry.second->finished) {
                    return false;
                }
            }
            return true;
        });
        for (auto& entry : m_timers) {
            threads.push_back(std::move(entry.second->thread));
        }
        m_timers.clear();
    }
    joinAll(threads);
}

TimerId LinuxTimerService::startPeriodic(std::uint32_t periodMs, std::function<void()> callback)
{
    return start(periodMs, true, std::move(callback));
}

TimerId LinuxTimerService::startOneShot(std::uint32_t delayMs, std::function<void()> callback)
{
    return start(delayMs, false, std::move(callback));
}

TimerId LinuxTimerService::start(std::uint32_t intervalMs, bool periodic, std::function<void()> callback)
{
    if (!callback || (periodic && intervalMs == 0)) {
        return 0;
    }
    auto timer = std::make_shared<Timer>(periodic, periodic && intervalMs <= kSamplingPeriodMs, std::move(callback));
    timer->clock.reset(::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC));
    // Deadline n is now + n * interval. A one-shot's deadline may be now: an absolute deadline
    // that has passed expires at once.
    const SteadyClock::duration interval = std::chrono::milliseconds(intervalMs);
    if (!timer->clock.valid() ||
        !arm(timer->clock.get(), SteadyClock::now() + interval, periodic ? interval : SteadyClock::duration::zero())) {
        return 0;
    }
    std::vector<std::thread> finished;
    TimerId id = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping) {
            return 0;
        }
        // Finished one-shots are joined here, so their threads never pile up even when
        // nobody cancels them.
        takeFinished(finished);
        do {
            id = m_nextId++;
        } while (id == 0 || m_timers.count(id) != 0);
        try {
            // The new thread blocks on m_mutex until this call has stored it.
            timer->thread = std::thread([this, timer] { run(timer); });
            m_timers.emplace(id, timer);
        } catch (const std::system_error&) {
            id = 0;
        }
    }
    joinAll(finished);
    return id;
}

void LinuxTimerService::cancel(TimerId id)
{
    std::vector<std::thread> finished;
    {
        std::unique_lock lock(m_mutex);
        const auto found = m_timers.find(id);
        if (found != m_timers.end()) {
            const std::shared_ptr<Timer> timer = found->second;
            timer->cancelled = true;
            wakeTimer(*timer);
            if (timer.get() != t_currentTimer) {
                m_finishedCv.wait(lock, [&timer] { return timer->finished; });
            }
            // From its own callback the timer stops once the callback returns; its thread
            // is joined by a later start, cancel or the destructor.
        }
        takeFinished(finished);
    }
    joinAll(finished);
}

void LinuxTimerService::takeFinished(std::vector<std::thread>& threads)
{
    for (auto it = m_timers.begin(); it != m_timers.end();) {
        if (it->second->finished) {
            threads.push_back(std::move(it->second->thread));
            it = m_timers.erase(it);
        } else {
            ++it;
        }
    }
}

void LinuxTimerService::run(const std::shared_ptr<Timer>& timer)
{
    t_currentTimer = timer.get();
    raiseThreadPriority(timer->asksDesktop);

    while (!timer->cancelled.load()) {
        std::uint64_t expirations = 0;
        const ssize_t got = ::read(timer->clock.get(), &expirations, sizeof expirations);
        if (timer->cancelled.load()) {
            break;
        }
        if (got != static_cast<ssize_t>(sizeof expirations)) {
            continue; // woken early (a signal): sleep on
        }
        // However many deadlines passed since the last read (a callback that overran
        // several), they make one call: the samples between are gone, and a burst of calls
        // would only take the same one again. The period needs no clock reading of its own.
        timer->callback();
        if (!timer->periodic) {
            break;
        }
    }
    // The callback's captures are released before cancel returns, and outside the lock in
    // case their destructors call into this service.
    std::function<void()>().swap(timer->callback);
    std::lock_guard lock(m_mutex);
    timer->finished = true;
    m_finishedCv.notify_all();
}

} // namespace velora::platform
