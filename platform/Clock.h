// Time as the programs see it: a wrapping millisecond tick count and blocking waits.
#pragma once

#include <cstdint>

namespace velora::platform {

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
};

// The clock of the system this build runs on.
Clock& systemClock();

} // namespace velora::platform
