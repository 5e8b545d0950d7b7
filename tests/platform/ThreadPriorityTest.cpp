// Timer threads of a process that may not raise its own priority, as on a desktop without
// CAP_SYS_NICE: a sampling timer's thread (periodic, every 10 ms) gets real-time priority
// from the desktop's policy service (a stand-in for it on a bus of its own), slower periodic
// timers and one-shots do not ask, and on a bus without the service the timers run as before.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <future>
#include <thread>

#include <linux/capability.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "platform/linux/LinuxTimerService.h"
#include "platform/linux/ThreadPriority.h"
#include "tests/support/FakeRealtimeKit.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

namespace velora::platform {
namespace {

using std::chrono::seconds;

// Takes CAP_SYS_NICE out of the calling thread's effective capabilities (they are per thread,
// and threads it starts inherit them); true if the thread had it.
bool dropOwnNiceCapability()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (::syscall(SYS_capget, &header, data) != 0 ||
        (data[CAP_TO_INDEX(CAP_SYS_NICE)].effective & CAP_TO_MASK(CAP_SYS_NICE)) == 0) {
        return false;
    }
    data[CAP_TO_INDEX(CAP_SYS_NICE)].effective &= ~CAP_TO_MASK(CAP_SYS_NICE);
    return ::syscall(SYS_capset, &header, data) == 0;
}

// The scheduling policies that timers' callbacks ran under, without the reset-on-fork flag;
// -1 for a callback that never ran.
struct Policies
{
    bool ownRaiseRefused = false;
    int sampling = -1; // periodic, every 10 ms
    int glide = -1;    // periodic, every 40 ms
    int oneShot = -1;
};

// From a thread without CAP_SYS_NICE: a timer of each kind, and the policies they ran under.
Policies timerPoliciesWithoutPrivilege()
{
    Policies seen;
    std::thread([&] {
        if (!dropOwnNiceCapability()) {
            return;
        }
        seen.ownRaiseRefused = !raiseThreadPriority();
        std::promise<int> policies[3];
        const auto record = [](std::promise<int>& policy) {
            return [&policy, first = true]() mutable {
                if (std::exchange(first, false)) {
                    policy.set_value(::sched_getscheduler(0) & ~SCHED_RESET_ON_FORK);
                }
            };
        };
        LinuxTimerService timers;
        timers.startPeriodic(10, record(policies[0]));
        timers.startPeriodic(40, record(policies[1]));
        timers.startOneShot(10, record(policies[2]));
        int* const results[] = {&seen.sampling, &seen.glide, &seen.oneShot};
        for (int i = 0; i < 3; ++i) {
            auto policy = policies[i].get_future();
            if (policy.wait_for(seconds(10)) == std::future_status::ready) {
                *results[i] = policy.get();
            }
        }
    }).join();
    return seen;
}

TEST(ThreadPriority, SamplingTimersAskTheDesktopServiceWhereTheProcessMayNotRaiseThemselves)
{
    if (!test::FakeRealtimeKit::installed()) {
        GTEST_SKIP() << "needs dbus-daemon";
    }
    // The stand-in grants by setting another thread's policy, which needs CAP_SYS_NICE here.
    sched_param param{};
    param.sched_priority = 1;
    if (::sched_setscheduler(0, SCHED_FIFO, &param) != 0) {
        GTEST_SKIP() << "needs CAP_SYS_NICE";
    }
    param.sched_priority = 0;
    ::sched_setscheduler(0, SCHED_OTHER, &param);
    // With an RLIMIT_RTPRIO above 0 the timers would not need the service.
    rlimit realtime{};
    ASSERT_EQ(::getrlimit(RLIMIT_RTPRIO, &realtime), 0);
    realtime.rlim_cur = 0;
    ASSERT_EQ(::setrlimit(RLIMIT_RTPRIO, &realtime), 0);

    const test::TempDir dir;
    constexpr std::int64_t kServiceLimitUs = 150'000;
    test::FakeRealtimeKit service(dir.path().string(), kServiceLimitUs);
    ASSERT_TRUE(service.ok()) << "the test's bus did not start";
    const test::ScopedEnvironment bus("DBUS_SYSTEM_BUS_ADDRESS", service.address());
    {
        // A bus without the service: the timers run at normal priority, and the process's
        // limit on real-time CPU stays as it was.
        rlimit before{};
        ASSERT_EQ(::getrlimit(RLIMIT_RTTIME, &before), 0);
        const Policies seen = timerPoliciesWithoutPrivilege();
        ASSERT_TRUE(seen.ownRaiseRefused) << "the thread could still raise its own priority";
        EXPECT_EQ(seen.sampling, SCHED_OTHER);
        EXPECT_EQ(seen.glide, SCHED_OTHER);
        EXPECT_EQ(seen.oneShot, SCHED_OTHER);
        rlimit after{};
        ASSERT_EQ(::getrlimit(RLIMIT_RTTIME, &after), 0);
        EXPECT_EQ(after.rlim_max, before.rlim_max);
    }

    ASSERT_TRUE(service.start()) << "the stand-in service did not start";
    const Policies seen = timerPoliciesWithoutPrivilege();
    EXPECT_EQ(seen.sampling, SCHED_RR) << "the service's grant did not reach the sampling timer's thread";
    EXPECT_EQ(seen.glide, SCHED_OTHER);
    EXPECT_EQ(seen.oneShot, SCHED_OTHER);
    EXPECT_EQ(service.requests(), 1) << "only the sampling timer asks";
    // The service serves only processes whose real-time CPU without a sleep is limited to its
    // own limit or less.
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_RTTIME, &limit), 0);
    EXPECT_EQ(limit.rlim_max, static_cast<rlim_t>(kServiceLimitUs));
}

} // namespace
} // namespace velora::platform
