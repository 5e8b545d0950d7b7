// The real timer threads. Bounds are wide enough for a loaded two-core machine and a
// sanitizer build; the precise timing figures come from the benchmark.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/linux/LinuxTimerService.h"

namespace velora::platform {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

std::size_t threadCount()
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        ++count;
    }
    return count;
}

// Callback times recorded from a timer thread, and a way to wait for enough of them.
class TickLog
{
public:
    void add(Clock::time_point when)
    {
        std::lock_guard lock(m_mutex);
        m_times.push_back(when);
        m_changed.notify_all();
    }
    bool waitFor(std::size_t count, milliseconds timeout = milliseconds(10000))
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_times.size() >= count; });
    }
    std::vector<Clock::time_point> times()
    {
        std::lock_guard lock(m_mutex);
        return m_times;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Clock::time_point> m_times;
};

TEST(LinuxTimerService, PeriodicTimerKeepsAbsoluteDeadlines)
{
    // Each callback takes 3 ms: a timer that slept a period after each callback would need
    // 650 ms for 50 ticks and drift 3 ms per tick against the 10 ms grid.
    LinuxTimerService timers;
    TickLog log;
    std::atomic<int> calls{0};
    const Clock::time_point begin = Clock::now();
    const TimerId id = timers.startPeriodic(10, [&] {
        if (++calls <= 50) {
            log.add(Clock::now());
        }
        std::this_thread::sleep_for(milliseconds(3));
    });
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(log.waitFor(50));
    timers.cancel(id);

    const std::vector<Clock::time_point> times = log.times();
    std::vector<double> lateness;
    for (std::size_t i = 0; i < times.size(); ++i) {
        const double at = msBetween(begin, times[i]);
        // Never early: tick i + 1 is due no sooner than (i + 1) periods after the start.
        EXPECT_GE(at, 10.0 * static_cast<double>(i + 1)) << "tick " << i + 1;
        lateness.push_back(at - 10.0 * std::floor(at / 10.0));
    }
    const double end = msBetween(begin, times.back());
    EXPECT_LT(end, 560.0) << "50 ticks of 10 ms took " << end << " ms";
    std::nth_element(lateness.begin(), lateness.begin() + 25, lateness.end());
    EXPECT_LT(lateness[25], 2.5) << "ticks do not stay on the 10 ms grid";
}

TEST(LinuxTimerService, SlowCallbackSkipsMissedDeadlinesInsteadOfBursting)
{
    LinuxTimerService timers;
    TickLog log;
    std::atomic<int> calls{0};
    const Clock::time_point begin = Clock::now();
    const TimerId id = timers.startPeriodic(10, [&] {
        log.add(Clock::now());
        if (++calls == 2) {
            std::this_thread::sleep_for(milliseconds(95)); // overruns about nine deadlines
        }
    });
    ASSERT_TRUE(log.waitFor(12));
    timers.cancel(id);

    const std::vector<Clock::time_point> times = log.times();
    // A burst would make up the missed deadlines back to back right after the slow call.
    int backToBack = 0;
    for (std::size_t i = 1; i < times.size(); ++i) {
        if (msBetween(times[i - 1], times[i]) < 1.0) {
            ++backToBack;
        }
    }
    EXPECT_LE(backToBack, 2);
    // The slow call ended about 115 ms after the start; the deadlines it overran make one call
    // then, not one each.
    const double afterSlow = msBetween(begin, times[2]);
    EXPECT_GE(afterSlow, 110.0);
    // Ten more ticks after the slow one cover the deadlines from 120 to 210 ms, not fewer.
    EXPECT_GE(msBetween(begin, times.back()), 200.0);
}

TEST(LinuxTimerService, CancelWaitsForTheRunningCallbackAndStopsTheTimer)
{
    LinuxTimerService timers;
    std::promise<void> entered;
    std::atomic<bool> finished{false};
    std::atomic<int> calls{0};
    const TimerId id = timers.startPeriodic(5, [&] {
        if (++calls == 1) {
            entered.set_value();
            std::this_thread::sleep_for(milliseconds(100));
            finished = true;
        }
    });
    ASSERT_NE(id, 0u);
    entered.get_future().wait();
    const Clock::time_point before = Clock::now();
    timers.cancel(id);
    EXPECT_TRUE(finished) << "cancel returned while the callback was still running";
    EXPECT_GE(msBetween(before, Clock::now()), 50.0);
    const int callsAtCancel = calls;
    std::this_thread::sleep_for(milliseconds(50));
    EXPECT_EQ(calls, callsAtCancel);

    // An idle timer is cancelled at once, not at its next deadline.
    const TimerId idle = timers.startPeriodic(5000, [] {});
    const Clock::time_point idleBefore = Clock::now();
    timers.cancel(idle);
    EXPECT_LT(msBetween(idleBefore, Clock::now()), 1000.0);

    // A callback that overruns its period while cancelled: the timer is not set for the next
    // deadline over the cancel, which would keep cancel waiting until then.
    std::promise<void> slowEntered;
    std::atomic<Clock::rep> slowEnd{0};
    const TimerId slow = timers.startPeriodic(300, [&] {
        slowEntered.set_value();
        std::this_thread::sleep_for(milliseconds(400));
        slowEnd = Clock::now().time_since_epoch().count();
    });
    slowEntered.get_future().wait();
    timers.cancel(slow);
    const Clock::time_point returned = Clock::now();
    EXPECT_LT(msBetween(Clock::time_point(Clock::duration(slowEnd.load())), returned), 150.0);
}

TEST(LinuxTimerService, CancelFromTheTimersOwnCallbackStopsItWithoutWaiting)
{
    LinuxTimerService timers;
    std::promise<TimerId> idPromise;
    std::shared_future<TimerId> idFuture = idPromise.get_future().share();
    std::atomic<int> calls{0};
    std::atomic<bool> returned{false};
    const TimerId id = timers.startPeriodic(5, [&] {
        if (++calls == 3) {
            timers.cancel(idFuture.get());
            returned = true;
        }
    });
    idPromise.set_value(id);

    std::promise<void> oneShotDone;
    TimerId oneShot = 0;
    std::promise<TimerId> oneShotId;
    std::shared_future<TimerId> oneShotFuture = oneShotId.get_future().share();
    oneShot = timers.startOneShot(5, [&] {
        timers.cancel(oneShotFuture.get());
        oneShotDone.set_value();
    });
    oneShotId.set_value(oneShot);

    ASSERT_EQ(oneShotDone.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
    const Clock::time_point waitUntil = Clock::now() + std::chrono::seconds(10);
    while (!returned && Clock::now() < waitUntil) {
        std::this_thread::sleep_for(milliseconds(5));
    }
    ASSERT_TRUE(returned);
    std::this_thread::sleep_for(milliseconds(60));
    EXPECT_EQ(calls, 3);
    // Cancelling again from outside is harmless.
    timers.cancel(id);
    timers.cancel(oneShot);
}

TEST(LinuxTimerService, OneShotFiresOnceAtItsDelay)
{
    LinuxTimerService timers;
    TickLog log;
    const Clock::time_point begin = Clock::now();
    const TimerId id = timers.startOneShot(50, [&] { log.add(Clock::now()); });
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(log.waitFor(1));
    std::this_thread::sleep_for(milliseconds(150));
    const std::vector<Clock::time_point> times = log.times();
    ASSERT_EQ(times.size(), 1u);
    EXPECT_GE(msBetween(begin, times[0]), 50.0);
    EXPECT_LT(msBetween(begin, times[0]), 150.0);
    // Finished, unknown and invalid identifiers are ignored.
    timers.cancel(id);
    timers.cancel(id + 1000);
    timers.cancel(0);

    // A one-shot cancelled before its time never fires.
    std::atomic<bool> fired{false};
    const TimerId early = timers.startOneShot(40, [&] { fired = true; });
    timers.cancel(early);
    std::this_thread::sleep_for(milliseconds(80));
    EXPECT_FALSE(fired);

    EXPECT_EQ(timers.startPeriodic(0, [] {}), 0u) << "a period of 0 would never sleep";
    EXPECT_EQ(timers.startPeriodic(10, nullptr), 0u);
    EXPECT_EQ(timers.startOneShot(10, nullptr), 0u);
}

TEST(LinuxTimerService, FinishedOneShotThreadsDoNotPileUp)
{
    const std::size_t before = threadCount();
    LinuxTimerService timers;
    std::atomic<int> fired{0};
    std::vector<TimerId> ids;
    for (int i = 0; i < 200; ++i) {
        const TimerId id = timers.startOneShot(static_cast<std::uint32_t>(1 + i % 20), [&] { ++fired; });
        ASSERT_NE(id, 0u);
        ids.push_back(id);
    }
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(std::unique(ids.begin(), ids.end()), ids.end()) << "identifiers are reused";
    const Clock::time_point limit = Clock::now() + std::chrono::seconds(20);
    while (fired < 200 && Clock::now() < limit) {
        std::this_thread::sleep_for(milliseconds(10));
    }
    ASSERT_EQ(fired, 200);
    // Threads end once their callbacks returned; give the last ones a moment to exit.
    std::size_t after = threadCount();
    while (after > before + 2 && Clock::now() < limit) {
        std::this_thread::sleep_for(milliseconds(10));
        after = threadCount();
    }
    EXPECT_LE(after, before + 2);
    // Starting again joins what has finished and still works.
    std::promise<void> again;
    timers.startOneShot(1, [&] { again.set_value(); });
    EXPECT_EQ(again.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(fired, 200);
}

TEST(LinuxTimerService, CallbacksStartAndCancelOtherTimers)
{
    // The sampling tick restarts the delayed release on every tick: only the release
    // started by the last tick may fire, and only after its full delay.
    LinuxTimerService timers;
    std::mutex mutex;
    TimerId release = 0;
    int ticks = 0;
    std::atomic<int> releases{0};
    std::promise<Clock::time_point> lastTick;
    TickLog releaseLog;
    std::promise<TimerId> tickId;
    std::shared_future<TimerId> tickFuture = tickId.get_future().share();
    const TimerId tick = timers.startPeriodic(10, [&] {
        std::lock_guard lock(mutex);
        if (ticks == 5) {
            return;
        }
        if (release != 0) {
            timers.cancel(release);
        }
        release = timers.startOneShot(150, [&] {
            ++releases;
            releaseLog.add(Clock::now());
        });
        if (++ticks == 5) {
            lastTick.set_value(Clock::now());
            timers.cancel(tickFuture.get());
        }
    });
    ASSERT_NE(tick, 0u);
    tickId.set_value(tick);
    const Clock::time_point last = lastTick.get_future().get();
    ASSERT_TRUE(releaseLog.waitFor(1));
    std::this_thread::sleep_for(milliseconds(200));
    EXPECT_EQ(releases, 1);
    EXPECT_GE(msBetween(last, releaseLog.times().front()), 140.0);
    std::lock_guard lock(mutex);
    EXPECT_EQ(ticks, 5);
}

TEST(LinuxTimerService, StartAndCancelFromManyThreads)
{
    LinuxTimerService timers;
    std::atomic<int> calls{0};
    auto worker = [&] {
        for (int i = 0; i < 100; ++i) {
            const TimerId id = timers.startPeriodic(1, [&] { ++calls; });
            EXPECT_NE(id, 0u);
            if (i % 3 == 0) {
                std::this_thread::sleep_for(milliseconds(2));
            }
            timers.cancel(id);
        }
    };
    std::thread first(worker);
    std::thread second(worker);
    first.join();
    second.join();
    const int settled = calls;
    std::this_thread::sleep_for(milliseconds(30));
    EXPECT_EQ(calls, settled) << "a cancelled timer went on firing";
}

TEST(LinuxTimerService, DestructorStopsAndJoinsRunningTimers)
{
    auto counter = std::make_shared<std::atomic<int>>(0);
    std::atomic<bool> slowFinished{false};
    std::promise<void> slowEntered;
    Clock::time_point before;
    {
        LinuxTimerService timers;
        timers.startPeriodic(1, [counter] { ++*counter; });
        timers.startOneShot(60000, [counter] { *counter += 1000; });
        timers.startOneShot(1, [&] {
            slowEntered.set_value();
            std::this_thread::sleep_for(milliseconds(200));
            // Starting from a callback while the service is going away is refused.
            EXPECT_EQ(timers.startOneShot(1, [] {}), 0u);
            slowFinished = true;
        });
        slowEntered.get_future().wait();
        before = Clock::now();
    }
    EXPECT_TRUE(slowFinished) << "the destructor returned while a callback was running";
    EXPECT_LT(msBetween(before, Clock::now()), 5000.0) << "the destructor waited for a far deadline";
    const int settled = *counter;
    EXPECT_LT(settled, 1000);
    std::this_thread::sleep_for(milliseconds(30));
    EXPECT_EQ(*counter, settled);
}

// The pause before a window activation: another thread cuts it short at once.
TEST(SystemClock, InterruptibleSleepEndsWhenRaisedAndNotOtherwise)
{
    platform::Clock& clock = systemClock();
    Interrupt interrupt;
    auto start = Clock::now();
    EXPECT_TRUE(clock.interruptibleSleep(30, interrupt));
    EXPECT_GE(msBetween(start, Clock::now()), 29.0);

    std::thread raiser([&] {
        std::this_thread::sleep_for(milliseconds(50));
        interrupt.raise();
    });
    start = Clock::now();
    EXPECT_FALSE(clock.interruptibleSleep(10000, interrupt));
    EXPECT_LT(msBetween(start, Clock::now()), 2000.0);
    raiser.join();
    // Raised stays raised: later sleeps return at once, until cleared.
    EXPECT_FALSE(clock.interruptibleSleep(10000, interrupt));
    interrupt.clear();
    EXPECT_TRUE(clock.interruptibleSleep(1, interrupt));
}

} // namespace
} // namespace velora::platform
