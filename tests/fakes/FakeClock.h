// A manual clock: tests set and advance the tick count; sleeping advances it and is logged.
#pragma once

#include <cstdint>
#include <functional>

#include "fakes/EventLog.h"
#include "platform/Clock.h"

namespace velora::test {

class FakeClock final : public platform::Clock
{
public:
    explicit FakeClock(EventLog* log = nullptr) : m_log(log) {}

    std::uint32_t tickCount() override { return m_now; }
    void sleep(std::uint32_t milliseconds) override
    {
        m_now += milliseconds;
        if (m_log != nullptr) {
            m_log->add("sleep " + std::to_string(milliseconds));
        }
    }

    // Sleeps on the fake time unless the interrupt is raised before the call or by
    // duringSleep, which stands for whatever another thread does while this one waits.
    bool interruptibleSleep(std::uint32_t milliseconds, platform::Interrupt& interrupt) override
    {
        if (duringSleep) {
            duringSleep();
        }
        if (interrupt.raised()) {
            if (m_log != nullptr) {
                m_log->add("sleep interrupted");
            }
            return false;
        }
        sleep(milliseconds);
        return true;
    }

    std::function<void()> duringSleep;

    void set(std::uint32_t now) { m_now = now; }
    void advance(std::uint32_t milliseconds) { m_now += milliseconds; }

private:
    EventLog* m_log;
    std::uint32_t m_now = 0;
};

} // namespace velora::test
