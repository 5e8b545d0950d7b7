// What the remote benchmarks share: a window on the bench's X server that notes when key
// presses arrive, percentiles, and the cost of the cheapest 10 ms timer a machine has.
#pragma once

#include <algorithm>
#include <chrono>
#include <ctime>
#include <optional>
#include <vector>

#include <X11/Xlib.h>
#include <poll.h>
#include <pthread.h>
#include <time.h>

#include "platform/linux/ThreadPriority.h"
#include "tests/support/Process.h"

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

// CPU time of a process (user and system), in seconds; 0 when it cannot be read.
inline double processCpuSeconds(pid_t pid)
{
    clockid_t clock = 0;
    timespec now{};
    if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &now) != 0) {
        return 0;
    }
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
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

// A window of its own, in front with the focus, that reports when key presses arrive.
struct BenchWindow
{
    Display* display = nullptr;
    ::Window window = 0;

    ~BenchWindow()
    {
        if (display != nullptr) {
            XCloseDisplay(display);
        }
    }

    bool open(const char* title = "Velora Bench")
    {
        display = XOpenDisplay(nullptr);
        if (display == nullptr) {
            return false;
        }
        window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 300, 200, 0, 0, 0);
        XStoreName(display, window, title);
        XSelectInput(display, window, KeyPressMask | StructureNotifyMask);
        XMapRaised(display, window);
        XEvent event;
        do {
            XNextEvent(display, &event);
        } while (event.type != MapNotify);
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        XSync(display, False);
        return true;
    }

    // Drops whatever has come so far.
    void drain()
    {
        XSync(display, False);
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
        }
    }

    // Waits for the next key press; its arrival time.
    std::optional<Clock::time_point> nextKeyPress(std::chrono::milliseconds timeout)
    {
        const auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline) {
            while (XPending(display) > 0) {
                XEvent event;
                XNextEvent(display, &event);
                if (event.type == KeyPress) {
                    return Clock::now();
                }
            }
            pollfd fd{ConnectionNumber(display), POLLIN, 0};
            poll(&fd, 1, 1);
        }
        return std::nullopt;
    }
};

} // namespace bench
