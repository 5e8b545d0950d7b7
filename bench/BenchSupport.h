// What the remote benchmarks share: percentiles, the arrival of key presses at a test window,
// processes' CPU time, and the cost of the cheapest 10 ms timer a machine has.
// Include it after the X headers' users are settled: it brings in XTestWindow (Xlib).
#pragma once

#include <algorithm>
#include <chrono>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <sched.h>
#include <time.h>
#include <unistd.h>

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

inline double clockSeconds(clockid_t clock)
{
    timespec now{};
    if (clock_gettime(clock, &now) != 0) {
        return 0;
    }
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// CPU time of a process (user and system; 0 for this one), in seconds; 0 when it cannot be
// read.
inline double processCpuSeconds(pid_t pid)
{
    clockid_t clock = 0;
    return clock_getcpuclockid(pid, &clock) == 0 ? clockSeconds(clock) : 0;
}

// The same, for this process without the calling thread: the CPU of what it measures.
inline double otherThreadsCpuSeconds()
{
    return clockSeconds(CLOCK_PROCESS_CPUTIME_ID) - clockSeconds(CLOCK_THREAD_CPUTIME_ID);
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

// A process that does nothing but wake every 10 ms on absolute deadlines from the first one,
// as cheaply as a thread can, at the timer slack and priority the suite's timer threads ask
// for: what a 10 ms sampling tick costs at the least on this machine.
inline velora::test::Process startTimerFloor(Clock::time_point firstDeadline)
{
    // steady_clock is CLOCK_MONOTONIC.
    const auto sinceEpoch = firstDeadline.time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
    timespec next{static_cast<time_t>(seconds.count()),
                  static_cast<long>(std::chrono::nanoseconds(sinceEpoch - seconds).count())};
    return velora::test::Process::forked([next]() mutable {
        velora::platform::raiseThreadPriority(true);
        while (true) {
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
            next.tv_nsec += 10'000'000;
            if (next.tv_nsec >= 1'000'000'000) {
                next.tv_nsec -= 1'000'000'000;
                ++next.tv_sec;
            }
        }
        return 0;
    });
}

// Sets every thread of a process (0: this one) to the CPUs of the mask, and gives back the
// masks they had.
inline std::vector<std::pair<pid_t, cpu_set_t>> pinThreads(pid_t pid, const cpu_set_t& mask)
{
    std::vector<std::pair<pid_t, cpu_set_t>> before;
    const std::string tasks = "/proc/" + std::to_string(pid == 0 ? getpid() : pid) + "/task";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(tasks, error)) {
        const pid_t thread = static_cast<pid_t>(std::stol(entry.path().filename().string()));
        cpu_set_t old;
        if (sched_getaffinity(thread, sizeof old, &old) == 0 && sched_setaffinity(thread, sizeof mask, &mask) == 0) {
            before.emplace_back(thread, old);
        }
    }
    return before;
}

struct BesideFloor
{
    double cpuPercent = 0;   // the process, % of one core
    double floorPercent = 0; // the bare 10 ms timer beside it
    double ratio() const { return floorPercent > 0 ? cpuPercent / floorPercent : 0.0; }
};

// The CPU a process (0: the other threads of this one) spends over the time and, beside it,
// that of the bare 10 ms timer, both on one core. On a virtual machine a wake-up right after
// another one on the same core costs about half of one after 10 ms of idle, so two timers'
// costs depend on which fires first: two identical bare timers measured side by side differ
// by up to 2 times either way with their phase alone, and more again when they sit on
// different cores. The discount falls off within a millisecond, so phases a whole millisecond
// apart hit or miss it by chance and the sums swung by a quarter between runs. So the timer
// runs at forty phases a quarter of a millisecond apart, one short window each, all beside the
// process on the same core, and the sums are compared. The windows visit the phases in strides
// of eleven, so that any few seconds of the time cover the whole period and a slower spell of
// the host weighs on every phase alike.
inline BesideFloor cpuBesideTimerFloor(pid_t pid, Clock::duration duration)
{
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    sched_getaffinity(0, sizeof allowed, &allowed);
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = CPU_SETSIZE - 1; cpu >= 0; --cpu) {
        if (CPU_ISSET(cpu, &allowed)) {
            CPU_SET(cpu, &one);
            break;
        }
    }
    const auto pinned = pinThreads(pid, one);
    const auto cpuOfProcess = [pid] { return pid == 0 ? otherThreadsCpuSeconds() : processCpuSeconds(pid); };

    constexpr int kPhases = 40;
    constexpr int kStride = 11; // shares no factor with kPhases, so every phase comes once
    constexpr auto kPeriod = std::chrono::microseconds(10'000);
    const auto origin = Clock::now();
    BesideFloor result;
    double seconds = 0;
    for (int window = 0; window < kPhases; ++window) {
        const int phase = window * kStride % kPhases;
        const auto offset = kPeriod * (2 * phase + 1) / (2 * kPhases);
        const auto periodsAhead = (Clock::now() - origin) / kPeriod + 2;
        velora::test::Process floor = startTimerFloor(origin + periodsAhead * kPeriod + offset);
        sched_setaffinity(floor.pid(), sizeof one, &one);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const double cpuBefore = cpuOfProcess();
        const double floorBefore = processCpuSeconds(floor.pid());
        const auto wallBefore = Clock::now();
        std::this_thread::sleep_for(duration / kPhases);
        seconds += std::chrono::duration<double>(Clock::now() - wallBefore).count();
        result.cpuPercent += cpuOfProcess() - cpuBefore;
        result.floorPercent += processCpuSeconds(floor.pid()) - floorBefore;
        floor.signal(SIGKILL);
        floor.waitExit(std::chrono::seconds(5));
    }
    for (const auto& [thread, mask] : pinned) {
        sched_setaffinity(thread, sizeof mask, &mask);
    }
    result.cpuPercent *= 100.0 / seconds;
    result.floorPercent *= 100.0 / seconds;
    return result;
}

} // namespace bench
