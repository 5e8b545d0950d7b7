// Timers whose callbacks run on threads of their own: the remote daemon's 10 ms sampling
// tick and the one-shot delayed key release.
#pragma once

#include <cstdint>
#include <functional>

namespace velora::platform {

// Identifies a running timer; 0 is never a valid identifier.
using TimerId = std::uint32_t;

class TimerService
{
public:
    virtual ~TimerService() = default;

    // Calls callback every periodMs milliseconds on a thread of the timer's own, from about
    // periodMs after this call, until the timer is cancelled. Deadlines are absolute
    // (start + n * period), so a late callback does not shift the ones after it; a callback
    // that overruns whole periods skips them rather than running in a burst. Returns 0 when
    // the timer cannot be started (no callback, a period of 0, no thread to be had).
    virtual TimerId startPeriodic(std::uint32_t periodMs, std::function<void()> callback) = 0;

    // Calls callback once, delayMs milliseconds from now, on a thread of the timer's own.
    // Returns 0 when the timer cannot be started.
    virtual TimerId startOneShot(std::uint32_t delayMs, std::function<void()> callback) = 0;

    // Stops a timer: its callback is not called again. If the callback is running on another
    // thread, waits until it has returned. Called from the timer's own callback, it stops
    // the timer without waiting. Unknown or finished identifiers are ignored.
    virtual void cancel(TimerId timer) = 0;
};

} // namespace velora::platform
