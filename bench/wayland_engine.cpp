// The remote engine's key latency on a Wayland desktop: a headless sway (started here), the
// Wayland desktop and a window of the Wayland test client, beside the X11 figures of
// bench_remote_engine in the same run:
//   wayland_key_latency_p50_ms, _p99_ms  from a key code written into GPIO_DATA to the key
//                                        press arriving at the Wayland window (the client
//                                        stamps its arrival), 250 keys
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "CardBench.h"
#include "drivers/virtualcard/VirtualChip.h"
#include "platform/linux/LinuxTimerService.h"
#include "platform/wayland/WaylandDesktop.h"
#include "remote/RemoteEngine.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/WaitUntil.h"
#include "tests/support/wayland/SwayServer.h"

namespace {

using namespace std::chrono_literals;

// The arrival (CLOCK_MONOTONIC, which steady_clock is) of key press number `index` at the
// window, from the client's "key NAME TIME_US" lines.
std::optional<bench::Clock::time_point> keyArrival(const velora::test::WaylandTestWindow& window, std::size_t index,
                                                   std::chrono::milliseconds timeout)
{
    std::optional<bench::Clock::time_point> arrival;
    velora::test::waitUntil(
        [&] {
            std::size_t seen = 0;
            for (const std::string& line : window.lines()) {
                if (line.rfind("key ", 0) != 0) {
                    continue;
                }
                if (seen++ == index) {
                    std::istringstream words(line.substr(4));
                    std::string name;
                    long long microseconds = 0;
                    words >> name >> microseconds;
                    arrival = bench::Clock::time_point(std::chrono::microseconds(microseconds));
                    return true;
                }
            }
            return false;
        },
        timeout, 1ms);
    return arrival;
}

} // namespace

int main()
{
    const velora::test::SwayServer sway;
    if (!sway.ok()) {
        std::fprintf(stderr, "wayland_engine: sway did not start\n%s", sway.log().c_str());
        return 1;
    }
    bench::CardBench rig("wayland_engine");
    velora::test::WaylandTestWindow window(sway, "Velora Bench", "velora.bench");
    const auto desktop = velora::platform::openWaylandDesktop(sway.socket().c_str());
    if (!rig.ok() || !window.waitFocused() || !desktop) {
        std::fprintf(stderr, "wayland_engine: no card state, Wayland window or desktop\n");
        return 1;
    }
    velora::platform::LinuxTimerService timers;
    if (!rig.openCard()) {
        return 1;
    }
    velora::virtualcard::VirtualChip& chip = *rig.chip;
    velora::remote::RemoteEngine engine(rig.services(*desktop, timers));
    rig.start(engine);
    std::this_thread::sleep_for(100ms);

    std::vector<double> latencies;
    constexpr int kKeys = 250;
    for (int i = 0; i < kKeys; ++i) {
        chip.writeRegister(0x200, 0xFF);
        std::this_thread::sleep_for(std::chrono::microseconds(25'000 + (i * 7919) % 10'000));
        const auto written = bench::Clock::now();
        chip.writeRegister(0x200, 0x98);
        const auto arrived = keyArrival(window, static_cast<std::size_t>(i), 1s);
        if (!arrived) {
            std::fprintf(stderr, "wayland_engine: key %d never arrived\n", i);
            return 1;
        }
        latencies.push_back(bench::milliseconds(*arrived - written));
    }
    engine.stopTick();
    engine.DisarmReceiver();
    std::printf("wayland_key_latency_p50_ms %.3f\n", bench::percentile(latencies, 50));
    std::printf("wayland_key_latency_p99_ms %.3f\n", bench::percentile(latencies, 99));
    std::fflush(stdout);
    return 0;
}
