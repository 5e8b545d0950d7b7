// KavoRemote as a running program, on the virtual card and a private X server (Xvfb, started
// here) with a notification area:
//   daemon_start_ms           from the start of the process to the receiver armed
//   daemon_idle_cpu_percent   CPU of the process over 60 s with no key, % of one core
//   daemon_rss_mb             its resident memory after that
//   timer_floor_beside_daemon_cpu_percent  a bare process that wakes every 10 ms, measured
//                             beside the daemon on the same core over the same 60 s, at forty
//                             phases to its tick
//   daemon_idle_floor_ratio   daemon_idle_cpu_percent over that (target: at most 1.5)
//   event_source_idle_cpu_percent  CPU of the process over 60 s with no key, on LIRC
//                             (KeySource=lirc, a private lircd) and without a card
//   daemon_key_latency_p99_ms, daemon_feedback_key_latency_p99_ms  a card key from GPIO_DATA
//                             to the key press at an X window through the program, with the
//                             on-screen feedback off and on (its default), in alternate runs
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "BenchSupport.h"
#include "CardKeys.h"
#include "drivers/virtualcard/CardStateFile.h"
#include "drivers/virtualcard/VirtualChip.h"
#include "hw/BtRegisters.h"
#include "tests/support/LircDaemon.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/SuiteCopy.h"
#include "tests/support/XServer.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double residentMegabytes(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return 0;
}

} // namespace

int main()
{
    velora::test::XServer server;
    if (!server.ok() || !server.startNotificationArea()) {
        std::fputs("daemon: Xvfb or the notification area did not start\n", stderr);
        return 1;
    }
    const velora::test::ScopedEnvironment display("DISPLAY", server.display());
    const velora::test::SuiteCopy suite;
    auto state = velora::virtualcard::CardStateFile::open(suite.cardState().string());
    if (!suite.valid() || !state) {
        std::fprintf(stderr, "daemon: no suite copy or no card state\n");
        return 1;
    }
    velora::virtualcard::VirtualChip chip(state->layout());
    chip.reset();

    const auto started = Clock::now();
    velora::test::Process daemon = suite.start("KavoRemote");
    while ((chip.readRegister(velora::bt::GPIO_DATA) & 0xFFu) != 0xFFu && Clock::now() - started < 30s) {
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    const double startMs = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
    if ((chip.readRegister(velora::bt::GPIO_DATA) & 0xFFu) != 0xFFu) {
        std::fprintf(stderr, "daemon: the receiver was never armed\n");
        return 1;
    }

    std::this_thread::sleep_for(2s);
    const bench::BesideFloor idle = bench::cpuBesideTimerFloor(daemon.pid(), 60s);
    const double rss = residentMegabytes(daemon.pid());
    daemon.signal(SIGTERM);
    daemon.waitExit(10s);

    // Key latency through the program, feedback on and off in alternate runs of 50 keys.
    velora::test::XTestWindow window("Velora Bench");
    std::vector<double> latency[2]; // [feedback]
    for (int run = 0; run < 4 && window.ok(); ++run) {
        const bool feedback = run % 2 == 0;
        std::ofstream(suite.suite() / "velora.ini") << "[KavoRemote]\nFeedback=" << (feedback ? 1 : 0) << "\n";
        chip.reset();
        velora::test::Process keys = suite.start("KavoRemote");
        const auto armedBy = Clock::now() + 30s;
        while ((chip.readRegister(velora::bt::GPIO_DATA) & 0xFFu) != 0xFFu && Clock::now() < armedBy) {
            std::this_thread::sleep_for(1ms);
        }
        std::this_thread::sleep_for(500ms);
        window.focus();
        const std::vector<double> taken = bench::cardKeyLatencies(chip, window, 50);
        latency[feedback].insert(latency[feedback].end(), taken.begin(), taken.end());
        keys.signal(SIGTERM);
        keys.waitExit(10s);
    }

    // On LIRC, without a card: nothing should wake it at all.
    int status = 0;
    double eventIdleCpu = -1;
    velora::test::LircDaemon lircd;
    if (!velora::test::LircDaemon::installed() || !lircd.start()) {
        std::fprintf(stderr, "daemon: no lircd (Debian package lirc)\n");
        status = 1;
    } else {
        std::ofstream(suite.suite() / "velora.ini")
            << "[KavoRemote]\nKeySource=lirc\nLircSocket=" << lircd.socketPath() << "\n";
        velora::test::Process onLirc = suite.start("KavoRemote");
        std::this_thread::sleep_for(5s);
        const double before = bench::processCpuSeconds(onLirc.pid());
        const auto start = Clock::now();
        std::this_thread::sleep_for(60s);
        if (onLirc.running()) {
            eventIdleCpu = (bench::processCpuSeconds(onLirc.pid()) - before) /
                           std::chrono::duration<double>(Clock::now() - start).count() * 100.0;
        } else {
            std::fprintf(stderr, "daemon: KavoRemote on LIRC ended\n");
            status = 1;
        }
        onLirc.signal(SIGTERM);
        onLirc.waitExit(10s);
    }

    std::printf("daemon_start_ms %.1f\n", startMs);
    std::printf("daemon_idle_cpu_percent %.3f\n", idle.cpuPercent);
    std::printf("daemon_rss_mb %.1f\n", rss);
    std::printf("timer_floor_beside_daemon_cpu_percent %.3f\n", idle.floorPercent);
    std::printf("daemon_idle_floor_ratio %.2f\n", idle.ratio());
    std::printf("event_source_idle_cpu_percent %.3f\n", eventIdleCpu);
    std::printf("daemon_key_latency_p99_ms %.3f\n", bench::percentile(latency[0], 99));
    std::printf("daemon_feedback_key_latency_p99_ms %.3f\n", bench::percentile(latency[1], 99));
    if (latency[0].size() != 100 || latency[1].size() != 100) {
        std::fprintf(stderr, "daemon: keys went missing (%zu and %zu of 100 arrived)\n", latency[0].size(),
                     latency[1].size());
        status = 1;
    }
    return status;
}
