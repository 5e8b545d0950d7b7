// A timer service whose timers fire only when the test says so: fire(id) calls one timer
// at once, fireAllDue(until) plays every deadline up to that time in time order, as if that
// much time had passed. The time is a FakeClock's when one is given (fireAllDue moves it to
// each deadline before its callback, so the callback reads the time it would really see),
// else a time of the fake's own. Single-threaded, like the rest of the fakes.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "fakes/FakeClock.h"
#include "platform/TimerService.h"

namespace velora::test {

class ManualTimerService final : public platform::TimerService
{
public:
    explicit ManualTimerService(FakeClock* clock = nullptr) : m_clock(clock) {}

    platform::TimerId startPeriodic(std::uint32_t periodMs, std::function<void()> callback) override
    {
        return add(periodMs, true, std::move(callback));
    }
    platform::TimerId startOneShot(std::uint32_t delayMs, std::function<void()> callback) override
    {
        return add(delayMs, false, std::move(callback));
    }
    void cancel(platform::TimerId id) override
    {
        m_cancelled.push_back(id);
        m_timers.erase(id);
    }

    // Calls the timer's callback once, now, as its next deadline: a one-shot is over before
    // its callback runs; a periodic timer's next deadline is one period on, or the first one
    // after the time the callback left behind (a callback that sleeps on the FakeClock skips
    // deadlines as with the real service). False for a timer that is not active.
    bool fire(platform::TimerId id)
    {
        const auto found = m_timers.find(id);
        if (found == m_timers.end()) {
            return false;
        }
        const std::function<void()> callback = found->second.callback; // it may cancel itself
        if (!found->second.periodic) {
            m_timers.erase(found);
            callback();
            return true;
        }
        found->second.dueMs += found->second.intervalMs;
        callback();
        const auto still = m_timers.find(id);
        if (still != m_timers.end()) {
            while (!isBefore(now(), still->second.dueMs)) {
                still->second.dueMs += still->second.intervalMs;
            }
        }
        return true;
    }

    // Fires every deadline up to untilMs, earliest first (the older timer first on a tie),
    // then leaves the time at untilMs (or later, if a callback slept past it). Callbacks
    // may start and cancel timers; new deadlines up to untilMs fire in the same call.
    // Returns the number of callbacks made.
    int fireAllDue(std::uint32_t untilMs)
    {
        int fired = 0;
        while (const std::optional<platform::TimerId> next = earliestDue(untilMs)) {
            const std::uint32_t due = m_timers.at(*next).dueMs;
            if (isBefore(now(), due)) {
                setNow(due);
            }
            fire(*next);
            ++fired;
        }
        if (isBefore(now(), untilMs)) {
            setNow(untilMs);
        }
        return fired;
    }

    std::uint32_t now() const { return m_clock != nullptr ? m_clock->tickCount() : m_now; }
    bool isActive(platform::TimerId id) const { return m_timers.count(id) != 0; }
    bool isPeriodic(platform::TimerId id) const { return isActive(id) && m_timers.at(id).periodic; }
    // The period or delay the timer was started with; 0 when it is not active.
    std::uint32_t intervalOf(platform::TimerId id) const { return isActive(id) ? m_timers.at(id).intervalMs : 0; }
    // The time of the timer's next deadline; 0 when it is not active.
    std::uint32_t dueAt(platform::TimerId id) const { return isActive(id) ? m_timers.at(id).dueMs : 0; }
    std::size_t activeCount() const { return m_timers.size(); }
    // Every identifier passed to cancel, in order, known or not.
    const std::vector<platform::TimerId>& cancelled() const { return m_cancelled; }
    // The identifier of the latest timer started, 0 before the first.
    platform::TimerId lastStarted() const { return m_nextId - 1; }

private:
    struct Timer
    {
        std::uint32_t intervalMs;
        bool periodic;
        std::uint32_t dueMs;
        std::function<void()> callback;
    };

    // Compares times by their difference, so that the order holds across the 32-bit wrap.
    static bool isBefore(std::uint32_t a, std::uint32_t b) { return static_cast<std::int32_t>(a - b) < 0; }

    void setNow(std::uint32_t time)
    {
        if (m_clock != nullptr) {
            m_clock->set(time);
        } else {
            m_now = time;
        }
    }

    platform::TimerId add(std::uint32_t intervalMs, bool periodic, std::function<void()> callback)
    {
        // Refused as by the real service; a period of 0 would make fireAllDue loop for ever.
        if (!callback || (periodic && intervalMs == 0)) {
            return 0;
        }
        const platform::TimerId id = m_nextId++;
        m_timers.emplace(id, Timer{intervalMs, periodic, now() + intervalMs, std::move(callback)});
        return id;
    }

    std::optional<platform::TimerId> earliestDue(std::uint32_t untilMs) const
    {
        std::optional<platform::TimerId> best;
        for (const auto& [id, timer] : m_timers) {
            if (!isBefore(untilMs, timer.dueMs) && (!best || isBefore(timer.dueMs, m_timers.at(*best).dueMs))) {
                best = id;
            }
        }
        return best;
    }

    FakeClock* m_clock;
    std::uint32_t m_now = 0;
    platform::TimerId m_nextId = 1;
    std::map<platform::TimerId, Timer> m_timers; // ordered by id, so older timers win ties
    std::vector<platform::TimerId> m_cancelled;
};

} // namespace velora::test
