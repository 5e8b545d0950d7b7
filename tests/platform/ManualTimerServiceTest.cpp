// The fake timer service that the daemon's tests drive: it must replay time faithfully,
// or those tests would prove nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/FakeClock.h"
#include "fakes/ManualTimerService.h"

namespace velora::test {
namespace {

TEST(ManualTimerService, ReplaysDeadlinesInTimeOrderOnTheClock)
{
    FakeClock clock;
    clock.set(1000);
    ManualTimerService timers(&clock);
    std::string trace;
    const platform::TimerId tick =
        timers.startPeriodic(10, [&] { trace += "t" + std::to_string(clock.tickCount()) + " "; });
    const platform::TimerId release =
        timers.startOneShot(25, [&] { trace += "R" + std::to_string(clock.tickCount()) + " "; });
    EXPECT_TRUE(timers.isPeriodic(tick));
    EXPECT_EQ(timers.intervalOf(release), 25u);
    EXPECT_EQ(timers.dueAt(release), 1025u);

    EXPECT_EQ(timers.fireAllDue(1009), 0);
    EXPECT_EQ(clock.tickCount(), 1009u);
    EXPECT_EQ(timers.fireAllDue(1033), 4);
    EXPECT_EQ(trace, "t1010 t1020 R1025 t1030 ");
    EXPECT_EQ(clock.tickCount(), 1033u);
    EXPECT_FALSE(timers.isActive(release));
    EXPECT_TRUE(timers.isActive(tick));
    timers.cancel(tick);

    // Each tick restarts the release, as the sampling tick does: only the last one fires,
    // its delay counted from the tick that started it.
    trace.clear();
    platform::TimerId pending = 0;
    const platform::TimerId restarting = timers.startPeriodic(10, [&] {
        if (pending != 0) {
            timers.cancel(pending);
        }
        pending = timers.startOneShot(15, [&] { trace += "r" + std::to_string(clock.tickCount()); });
    });
    timers.fireAllDue(1063);
    timers.cancel(restarting);
    EXPECT_EQ(trace, "");
    timers.fireAllDue(1100);
    EXPECT_EQ(trace, "r1078");
    EXPECT_EQ(timers.activeCount(), 0u);
    EXPECT_EQ(timers.cancelled().size(), 4u);
}

TEST(ManualTimerService, CallbackThatSleepsSkipsDeadlinesAndMayCancelItself)
{
    FakeClock clock;
    ManualTimerService timers(&clock);
    std::vector<std::uint32_t> ticks;
    platform::TimerId self = 0;
    self = timers.startPeriodic(10, [&] {
        ticks.push_back(clock.tickCount());
        if (ticks.size() == 2) {
            clock.sleep(200); // an "@" command holds the tick for 200 ms
        } else if (ticks.size() == 5) {
            timers.cancel(self);
        }
    });
    EXPECT_EQ(timers.fireAllDue(1000), 5);
    EXPECT_EQ(ticks, (std::vector<std::uint32_t>{10, 20, 230, 240, 250}));
    EXPECT_FALSE(timers.fire(self));
    EXPECT_EQ(timers.startPeriodic(0, [] {}), 0u);
}

} // namespace
} // namespace velora::test
