// The remote engine's timing on the virtual card and a real X server (Xvfb, started here):
//   tick_deviation_p50_ms, _p99_ms, _max_ms  lateness of the 10 ms tick against its schedule
//                                             (start + n x 10 ms), over 12 s
//   key_latency_p50_ms, _p99_ms               from a key code written into GPIO_DATA to the
//                                             key press arriving at an X window, 250 keys
//   engine_idle_cpu_percent                   CPU of the whole process while the engine
//                                             ticks with no key, over 10 s, % of one core
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "drivers/virtualcard/CardStateFile.h"
#include "drivers/virtualcard/VirtualChip.h"
#include "platform/linux/LinuxLogFile.h"
#include "platform/linux/LinuxProgramStarter.h"
#include "platform/linux/LinuxTimerService.h"
#include "platform/x11/X11Desktop.h"
#include "remote/RemoteEngine.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"
#include "tests/support/XServer.h"
#include "tests/support/XTestWindow.h"

namespace {

using Clock = std::chrono::steady_clock;
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

double percentile(std::vector<double> values, double p)
{
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p / 100.0 * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Waits for the next key press at the window; its arrival time.
std::optional<Clock::time_point> nextKeyPress(velora::test::XTestWindow& window, std::chrono::milliseconds timeout)
{
    if (!window.waitFor([](const XEvent& event) { return event.type == KeyPress; }, timeout)) {
        return std::nullopt;
    }
    return Clock::now();
}

} // namespace

int main()
{
    const velora::test::XServer server;
    if (!server.ok()) {
        std::fputs("remote_engine: Xvfb did not start\n", stderr);
        return 1;
    }
    const velora::test::ScopedEnvironment display("DISPLAY", server.display());
    const velora::test::TempDir temp("velora-bench");
    const std::string dir = temp.path().string();
    const velora::test::ScopedEnvironment cardPath("VELORA_CARD", dir + "/card");
    auto state = velora::virtualcard::CardStateFile::open(dir + "/card");
    if (!state) {
        std::fprintf(stderr, "remote_engine: no card state\n");
        return 1;
    }
    velora::virtualcard::VirtualChip chip(state->layout());
    chip.reset();
    std::ofstream(dir + "/bench.mac") << "Default\nDown: [VK_DOWN]\nEnd\n";

    velora::test::XTestWindow window("Velora Bench");
    const auto desktop = velora::platform::openX11Desktop();
    if (!window.ok() || !desktop) {
        std::fprintf(stderr, "remote_engine: no X connection\n");
        return 1;
    }
    velora::platform::LinuxTimerService realTimers;
    TimedTimers timers(realTimers);
    velora::platform::LinuxProgramStarter programs("");
    velora::platform::LinuxLogFile log(dir + "/remote.log");
    velora::CaptureCard card(velora::platform::systemLibraryLoader(), velora::platform::systemClock(),
                             velora::CardRelease::UnmapThenUnload);
    if (!card.IsFound()) {
        std::fprintf(stderr, "remote_engine: the virtual card was not found\n");
        return 1;
    }
    int status = 0;
    {
        velora::remote::RemoteEngine engine(velora::remote::RemoteServices{
            velora::platform::systemClock(), timers, *desktop, programs, log, velora::platform::systemFileSystem()});
        engine.LoadMacroFile(dir + "/bench.mac");
        engine.ArmReceiver(card);
        engine.startTick();
        std::this_thread::sleep_for(100ms);

        // Idle: only the tick runs.
        const double cpuBefore = processCpuSeconds();
        const auto wallBefore = Clock::now();
        std::this_thread::sleep_for(10s);
        const double idleCpu = (processCpuSeconds() - cpuBefore) /
                               std::chrono::duration<double>(Clock::now() - wallBefore).count() * 100.0;

        // Tick schedule while keys are played.
        timers.record(true);
        std::vector<double> latencies;
        for (int i = 0; i < 250; ++i) {
            chip.writeRegister(0x200, 0xFF);
            std::this_thread::sleep_for(std::chrono::microseconds(25'000 + (i * 7919) % 10'000));
            const auto written = Clock::now();
            chip.writeRegister(0x200, 0x98);
            const auto arrived = nextKeyPress(window, 1s);
            if (!arrived) {
                std::fprintf(stderr, "remote_engine: key %d never arrived\n", i);
                status = 1;
                break;
            }
            latencies.push_back(std::chrono::duration<double, std::milli>(*arrived - written).count());
        }
        const auto recordStart = Clock::now();
        while (Clock::now() - recordStart < 3s) {
            std::this_thread::sleep_for(100ms);
        }
        timers.record(false);
        engine.stopTick();
        engine.DisarmReceiver();

        const std::vector<double> deviations = timers.deviations();
        std::printf("tick_deviation_p50_ms %.3f\n", percentile(deviations, 50));
        std::printf("tick_deviation_p99_ms %.3f\n", percentile(deviations, 99));
        std::printf("tick_deviation_max_ms %.3f\n", percentile(deviations, 100));
        std::printf("key_latency_p50_ms %.3f\n", percentile(latencies, 50));
        std::printf("key_latency_p99_ms %.3f\n", percentile(latencies, 99));
        std::printf("engine_idle_cpu_percent %.3f\n", idleCpu);
        std::fflush(stdout);
        std::fprintf(stderr, "remote_engine: %zu ticks, %zu keys\n", deviations.size(), latencies.size());
    }
    return status;
}
