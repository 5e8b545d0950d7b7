// The remote engine's timing on the virtual card and a real X server (Xvfb, started here):
//   tick_deviation_p50_ms, _p99_ms, _max_ms  lateness of the 10 ms tick against its schedule
//                                             (start + n x 10 ms), over 12 s
//   key_latency_p50_ms, _p99_ms               from a key code written into GPIO_DATA to the
//                                             key press arriving at an X window, 250 keys
//   engine_idle_cpu_percent                   CPU of the process (but the measuring thread)
//                                             while the engine ticks with no key, over 60 s,
//                                             % of one core
//   timer_floor_cpu_percent                   beside it on the same core, over the same 60 s at
//                                             forty phases to the tick: a bare process that
//                                             wakes every 10 ms and does nothing else, the least
//                                             a 10 ms tick can cost on this machine
//   engine_idle_floor_ratio                   the one over the other (target: at most 1.2)
//   key_latency_loaded_p99_ms                 key_latency while two processes keep both cores
//                                             busy at normal priority, as a video decoder does,
//                                             with the tick as the daemon runs it (timer slack,
//                                             real-time priority where allowed)
//   key_latency_loaded_normal_priority_p99_ms the same with the tick kept at normal priority,
//                                             to show what real-time priority does
//   key_path_loaded_p99_ms                    of the keys of key_latency_loaded, the part
//                                             from the tick that read the key to its arrival:
//                                             the way through the engine and the X server,
//                                             without the wait for the sample
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <sched.h>

#include "BenchSupport.h"
#include "CardBench.h"
#include "CardKeys.h"
#include "drivers/virtualcard/VirtualChip.h"
#include "platform/linux/LinuxTimerService.h"
#include "platform/x11/X11Desktop.h"
#include "remote/RemoteEngine.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/XServer.h"
#include "tests/support/XTestWindow.h"

namespace {

using bench::cardKeyLatencies;
using bench::Clock;
using bench::percentile;
using namespace std::chrono_literals;

// Passes everything to the real timer service and notes when each periodic callback starts.
class TimedTimers final : public velora::platform::TimerService
{
public:
    explicit TimedTimers(velora::platform::TimerService& inner) : m_inner(inner) {}

    velora::platform::TimerId startPeriodic(std::uint32_t periodMs, std::function<void()> callback) override
    {
        m_period = std::chrono::milliseconds(periodMs);
        m_start = Clock::now();
        return m_inner.startPeriodic(periodMs, [this, callback = std::move(callback)] {
            if (m_recording.load()) {
                std::lock_guard lock(m_mutex);
                m_starts.push_back(Clock::now());
            }
            callback();
        });
    }
    velora::platform::TimerId startOneShot(std::uint32_t delayMs, std::function<void()> callback) override
    {
        return m_inner.startOneShot(delayMs, std::move(callback));
    }
    void cancel(velora::platform::TimerId timer) override { m_inner.cancel(timer); }

    void record(bool on) { m_recording.store(on); }
    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_starts.clear();
    }

    // For each key, from the first recorded callback that started after the key was written
    // (the tick that read it) to the key's arrival, in milliseconds: its way after the wait
    // for the sample.
    std::vector<double> pathsAfterTick(const std::vector<bench::KeyTimes>& keys)
    {
        std::lock_guard lock(m_mutex);
        std::vector<double> result;
        for (const bench::KeyTimes& key : keys) {
            const auto tick = std::lower_bound(m_starts.begin(), m_starts.end(), key.written);
            if (tick != m_starts.end() && *tick <= key.arrived) {
                result.push_back(bench::milliseconds(key.arrived - *tick));
            }
        }
        return result;
    }

    // Lateness of each recorded callback against its deadline, in milliseconds.
    std::vector<double> deviations()
    {
        std::lock_guard lock(m_mutex);
        std::vector<double> result;
        for (const auto start : m_starts) {
            const auto sinceStart = start - m_start;
            const auto periods = sinceStart / m_period; // the deadline at or before this start
            const auto deadline = m_start + periods * m_period;
            result.push_back(std::chrono::duration<double, std::milli>(start - deadline).count());
        }
        return result;
    }

private:
    velora::platform::TimerService& m_inner;
    std::chrono::nanoseconds m_period{10ms};
    Clock::time_point m_start;
    std::atomic<bool> m_recording{false};
    std::mutex m_mutex;
    std::vector<Clock::time_point> m_starts;
};

// Keeps one core busy at normal priority until killed.
velora::test::Process startBusyProcess()
{
    return velora::test::Process::forked([] {
        volatile unsigned long spin = 0;
        while (true) {
            spin = spin + 1;
        }
        return 0;
    });
}

// Sets the calling thread back to normal priority, once per thread, before the callback:
// the tick as it runs where the desktop allows no real-time priority.
class NormalPriorityTimers final : public velora::platform::TimerService
{
public:
    explicit NormalPriorityTimers(velora::platform::TimerService& inner) : m_inner(inner) {}
    velora::platform::TimerId startPeriodic(std::uint32_t periodMs, std::function<void()> callback) override
    {
        return m_inner.startPeriodic(periodMs, [callback = std::move(callback)] {
            thread_local bool lowered = false;
            if (!lowered) {
                sched_param param{};
                sched_setscheduler(0, SCHED_OTHER, &param);
                lowered = true;
            }
            callback();
        });
    }
    velora::platform::TimerId startOneShot(std::uint32_t delayMs, std::function<void()> callback) override
    {
        return m_inner.startOneShot(delayMs, std::move(callback));
    }
    void cancel(velora::platform::TimerId timer) override { m_inner.cancel(timer); }

private:
    velora::platform::TimerService& m_inner;
};

} // namespace

int main()
{
    const velora::test::XServer server;
    if (!server.ok()) {
        std::fputs("remote_engine: Xvfb did not start\n", stderr);
        return 1;
    }
    const velora::test::ScopedEnvironment display("DISPLAY", server.display());
    bench::CardBench rig("remote_engine");
    velora::test::XTestWindow window("Velora Bench");
    const auto desktop = velora::platform::openX11Desktop();
    if (!rig.ok() || !window.ok() || !desktop) {
        std::fprintf(stderr, "remote_engine: no card state or no X connection\n");
        return 1;
    }
    velora::platform::LinuxTimerService realTimers;
    TimedTimers timers(realTimers);
    if (!rig.openCard()) {
        return 1;
    }
    velora::virtualcard::VirtualChip& chip = *rig.chip;
    velora::CaptureCard& card = *rig.card;
    int status = 0;
    // Idle: only the tick runs, on the timer threads as the daemon has them, and beside it the
    // bare 10 ms timer.
    bench::BesideFloor idle;
    {
        velora::remote::RemoteEngine engine(rig.services(*desktop, realTimers));
        rig.start(engine);
        std::this_thread::sleep_for(100ms);
        idle = bench::cpuBesideTimerFloor(0, 60s);
        engine.shutdown();
        engine.DisarmReceiver();
    }
    {
        velora::remote::RemoteEngine engine(rig.services(*desktop, timers));
        rig.start(engine);
        std::this_thread::sleep_for(300ms);

        // Tick schedule while keys are played.
        timers.record(true);
        const std::vector<double> latencies = cardKeyLatencies(chip, window, 250);
        if (latencies.empty()) {
            status = 1;
        }
        const auto recordStart = Clock::now();
        while (Clock::now() - recordStart < 3s) {
            std::this_thread::sleep_for(100ms);
        }
        timers.record(false);
        engine.stopTick();
        engine.DisarmReceiver();
        const std::vector<double> deviations = timers.deviations();

        // Both cores busy at normal priority: the tick as the daemon runs it, then at normal
        // priority.
        std::vector<double> loaded;
        std::vector<double> loadedPaths;
        std::vector<double> loadedNormal;
        {
            velora::test::Process busy[2] = {startBusyProcess(), startBusyProcess()};
            std::this_thread::sleep_for(500ms);
            engine.ArmReceiver(card);
            engine.startTick();
            std::this_thread::sleep_for(300ms);
            std::vector<bench::KeyTimes> loadedTimes;
            timers.clear();
            timers.record(true);
            loaded = cardKeyLatencies(chip, window, 200, &loadedTimes);
            timers.record(false);
            loadedPaths = timers.pathsAfterTick(loadedTimes);
            engine.stopTick();
            engine.DisarmReceiver();
            NormalPriorityTimers normalTimers(realTimers);
            velora::remote::RemoteEngine normal(rig.services(*desktop, normalTimers));
            rig.start(normal);
            std::this_thread::sleep_for(300ms);
            loadedNormal = cardKeyLatencies(chip, window, 200);
            normal.shutdown();
            normal.DisarmReceiver();
            for (velora::test::Process& process : busy) {
                process.signal(SIGKILL);
                process.waitExit(5s);
            }
        }
        if (loaded.empty() || loadedNormal.empty()) {
            status = 1;
        }

        std::printf("tick_deviation_p50_ms %.3f\n", percentile(deviations, 50));
        std::printf("tick_deviation_p99_ms %.3f\n", percentile(deviations, 99));
        std::printf("tick_deviation_max_ms %.3f\n", percentile(deviations, 100));
        std::printf("key_latency_p50_ms %.3f\n", percentile(latencies, 50));
        std::printf("key_latency_p99_ms %.3f\n", percentile(latencies, 99));
        std::printf("engine_idle_cpu_percent %.3f\n", idle.cpuPercent);
        std::printf("timer_floor_cpu_percent %.3f\n", idle.floorPercent);
        std::printf("engine_idle_floor_ratio %.2f\n", idle.ratio());
        std::printf("key_latency_loaded_p99_ms %.3f\n", percentile(loaded, 99));
        std::printf("key_latency_loaded_normal_priority_p99_ms %.3f\n", percentile(loadedNormal, 99));
        std::printf("key_path_loaded_p99_ms %.3f\n", percentile(loadedPaths, 99));
        std::fflush(stdout);
        std::fprintf(stderr, "remote_engine: %zu ticks, %zu keys\n", deviations.size(), latencies.size());
    }
    return status;
}
