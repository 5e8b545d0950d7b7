// KavoRemote as a running program, on the virtual card and a private X server (Xvfb, started
// here) with a notification area:
//   daemon_start_ms           from the start of the process to the receiver armed
//   daemon_idle_cpu_percent   CPU of the process over 60 s with no key, % of one core
//   daemon_rss_mb             its resident memory after that
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

#include "XvfbServer.h"
#include "drivers/virtualcard/CardStateFile.h"
#include "drivers/virtualcard/VirtualChip.h"
#include "hw/BtRegisters.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

pid_t spawn(const std::vector<std::string>& command)
{
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const auto& word : command) {
            argv.push_back(const_cast<char*>(word.c_str()));
        }
        argv.push_back(nullptr);
        freopen("/dev/null", "w", stderr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// User plus system time of a process, in seconds.
double cpuSeconds(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14) {
            utime = std::stoull(field);
        } else if (index == 15) {
            stime = std::stoull(field);
            break;
        }
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
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
    XvfbServer server;
    if (!server.ok()) {
        std::fprintf(stderr, "daemon: could not start Xvfb\n");
        return 1;
    }
    char dirName[] = "/tmp/velora-bench-daemon-XXXXXX";
    const fs::path dir = mkdtemp(dirName);
    fs::copy(VELORA_SUITE_DIR, dir / "suite", fs::copy_options::recursive);
    fs::create_directories(dir / "runtime");
    fs::permissions(dir / "runtime", fs::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", (dir / "runtime").c_str(), 1);
    setenv("VELORA_CARD", (dir / "card").c_str(), 1);
    auto state = velora::virtualcard::CardStateFile::open((dir / "card").string());
    if (!state) {
        std::fprintf(stderr, "daemon: no card state\n");
        return 1;
    }
    velora::virtualcard::VirtualChip chip(state->layout());
    chip.reset();
    const pid_t tray = spawn({"trayer", "--edge", "top", "--SetDockType", "true"});
    std::this_thread::sleep_for(1s);

    const auto started = Clock::now();
    const pid_t daemon = spawn({(dir / "suite" / "KavoRemote").string()});
    while ((chip.readRegister(velora::bt::GPIO_DATA) & 0xFFu) != 0xFFu && Clock::now() - started < 30s) {
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    const double startMs = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
    int status = (chip.readRegister(velora::bt::GPIO_DATA) & 0xFFu) == 0xFFu ? 0 : 1;

    std::this_thread::sleep_for(2s);
    const double cpuBefore = cpuSeconds(daemon);
    const auto idleStart = Clock::now();
    std::this_thread::sleep_for(60s);
    const double idleCpu =
        (cpuSeconds(daemon) - cpuBefore) / std::chrono::duration<double>(Clock::now() - idleStart).count() * 100.0;
    const double rss = residentMegabytes(daemon);

    kill(daemon, SIGTERM);
    waitpid(daemon, nullptr, 0);
    kill(tray, SIGTERM);
    waitpid(tray, nullptr, 0);
    std::error_code ignored;
    fs::remove_all(dir, ignored);

    if (status != 0) {
        std::fprintf(stderr, "daemon: the receiver was never armed\n");
        return 1;
    }
    std::printf("daemon_start_ms %.1f\n", startMs);
    std::printf("daemon_idle_cpu_percent %.3f\n", idleCpu);
    std::printf("daemon_rss_mb %.1f\n", rss);
    return 0;
}
