#include "platform/Clock.h"

#include <chrono>
#include <thread>

#include <time.h>

namespace velora::platform {
namespace {

class LinuxClock final : public Clock
{
public:
    std::uint32_t tickCount() override
    {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const auto ms =
            static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
        return static_cast<std::uint32_t>(ms);
    }

    void sleep(std::uint32_t milliseconds) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }

    bool interruptibleSleep(std::uint32_t milliseconds, Interrupt& interrupt) override
    {
        return interrupt.waitFor(milliseconds);
    }
};

} // namespace

Clock& systemClock()
{
    static LinuxClock clock;
    return clock;
}

} // namespace velora::platform
