// KavoRemote as a running program, on the virtual card and a private X server (Xvfb, started
// here) with a notification area:
//   daemon_start_ms           from the start of the process to the receiver armed
//   daemon_idle_cpu_percent   CPU of the process over 60 s with no key, % of one core
//   daemon_rss_mb             its resident memory after that
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <unistd.h>

#include "drivers/virtualcard/CardStateFile.h"
#include "drivers/virtualcard/VirtualChip.h"
#include "hw/BtRegisters.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/SuiteCopy.h"
#include "tests/support/XServer.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// User plus system time of a process, in seconds.
double cpuSeconds(pid_t pid)
{
    return static_cast<double>(velora::test::cpuTicks(pid)) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

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
    const double cpuBefore = cpuSeconds(daemon.pid());
    const auto idleStart = Clock::now();
    std::this_thread::sleep_for(60s);
    const double idleCpu = (cpuSeconds(daemon.pid()) - cpuBefore) /
                           std::chrono::duration<double>(Clock::now() - idleStart).count() * 100.0;
    const double rss = residentMegabytes(daemon.pid());
    daemon.signal(SIGTERM);
    daemon.waitExit(10s);

    std::printf("daemon_start_ms %.1f\n", startMs);
    std::printf("daemon_idle_cpu_percent %.3f\n", idleCpu);
    std::printf("daemon_rss_mb %.1f\n", rss);
    return 0;
}
