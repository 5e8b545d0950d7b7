// What the remote benchmarks share: percentiles, the arrival of key presses at a test window,
// processes' CPU time, and the cost of the cheapest 10 ms timer a machine has.
// Include it after the X headers' users are settled: it brings in XTestWindow (Xlib).
#pragma once

#include <algorithm>
#include <chrono>
#include <ctime>
#include <optional>
#include <vector>

#include <time.h>

#include "platform/linux/ThreadPriority.h"
#include "tests/support/Process.h"
#include "tests/support/XTestWindow.h"

namespace bench {

using Clock = std::chrono::steady_clock;

inline double percentile(std::vector<double> values, double p)
{
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p / 100.0 * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

inline double milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

// CPU time of a process (user and system; 0 for this one), in seconds; 0 when it cannot be
// read.
inline double processCpuSeconds(pid_t pid)
{
    clockid_t clock = 0;
    timespec now{};
    if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &now) != 0) {
        return 0;
    }
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Waits for the next key press at the window; its arrival time.
inline std::optional<Clock::time_point> nextKeyPress(velora::test::XTestWindow& window,
                                                     std::chrono::milliseconds timeout)
{
    if (!window.waitFor([](const XEvent& event) { return event.type == KeyPress; }, timeout)) {
        return std::nullopt;
    }
    return Clock::now();
}

// A process that does nothing but wake every 10 ms on absolute deadlines, as cheaply as a
// thread can, at the timer slack and priority the suite's timer threads ask for: what a 10 ms
// sampling tick costs at the least on this machine.
inline velora::test::Process startTimerFloor()
{
    return velora::test::Process::forked([] {
        velora::platform::raiseThreadPriority();
        timespec next{};
        clock_gettime(CLOCK_MONOTONIC, &next);
        while (true) {
            next.tv_nsec += 10'000'000;
            if (next.tv_nsec >= 1'000'000'000) {
                next.tv_nsec -= 1'000'000'000;
                ++next.tv_sec;
            }
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
        }
        return 0;
    });
}

} // namespace bench
