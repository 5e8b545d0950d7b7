// KavoRemote's event key sources, on a private X server (Xvfb) and a private lircd:
//   lirc_key_latency_p50_ms, _p99_ms      from lircd's SIMULATE command to the key press at an
//                                          X window, through the engine's LIRC source
//   irxevent_key_latency_p50_ms, _p99_ms  the same path through LIRC's own X event sender,
//                                          irxevent, with a lircrc that binds the same button to
//                                          the same key, in the same run
//   input_key_latency_p50_ms, _p99_ms     from an input event record written into a FIFO
//                                          (the input device) to the key press
//   cpu_wakeup_p50_ms, _p99_ms             from a write into a pipe to the wake-up of a thread
//                                          that sleeps on it on another, idle CPU, between
//                                          the input keys: the floor of a key path that crosses
//                                          CPUs, as each of these may, more than once
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include <fcntl.h>
#include <linux/input.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "BenchSupport.h"
#include "platform/linux/InputKeySource.h"
#include "platform/linux/LinuxLogFile.h"
#include "platform/linux/LinuxProgramStarter.h"
#include "platform/linux/LinuxTimerService.h"
#include "platform/linux/LircKeySource.h"
#include "platform/linux/UniqueFd.h"
#include "platform/x11/X11Desktop.h"
#include "remote/RemoteEngine.h"
#include "tests/support/InputRecords.h"
#include "tests/support/LircDaemon.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"
#include "tests/support/XServer.h"

namespace {

using namespace std::chrono_literals;
using bench::Clock;
using velora::posix::UniqueFd;

constexpr int kKeys = 200;

// A connection to lircd over which SIMULATE commands go, as irsend sends them.
class LircCommands
{
public:
    explicit LircCommands(const std::string& path)
    {
        m_fd.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        if (::connect(m_fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            m_fd.reset();
        }
    }
    bool ok() const { return m_fd.valid(); }
    bool simulate(const char* button)
    {
        drain(); // lircd drops a client that leaves its answers unread

        char line[128];
        const int length = std::snprintf(line, sizeof line, "SIMULATE 0000000000000001 00 %s velora-test\n", button);
        return ::write(m_fd.get(), line, static_cast<std::size_t>(length)) == length;
    }
    // lircd's answers (BEGIN ... END) and its reports of the keys.
    void drain()
    {
        char buffer[4096];
        while (::recv(m_fd.get(), buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
        }
    }

private:
    UniqueFd m_fd;
};

// Measures kKeys presses: send() starts one, the window sees it arrive. between(), if given,
// runs in the middle of each pause.
template <typename Send>
std::vector<double> measure(velora::test::XTestWindow& window, const char* what, Send send,
                            const std::function<void()>& between = nullptr)
{
    std::vector<double> latencies;
    window.drain();
    for (int i = 0; i < kKeys; ++i) {
        const auto pause = std::chrono::microseconds(15'000 + (i * 7919) % 10'000);
        if (between) {
            std::this_thread::sleep_for(pause / 2);
            between();
            std::this_thread::sleep_for(pause / 2);
        } else {
            std::this_thread::sleep_for(pause);
        }
        const auto sent = Clock::now();
        if (!send()) {
            std::fprintf(stderr, "event_sources: %s: could not send key %d\n", what, i);
            return {};
        }
        const auto arrived = bench::nextKeyPress(window, 2s);
        if (!arrived) {
            std::fprintf(stderr, "event_sources: %s: key %d never arrived\n", what, i);
            return {};
        }
        latencies.push_back(bench::milliseconds(*arrived - sent));
    }
    return latencies;
}

// A thread that sleeps on one CPU until a write from another wakes it: how long such a wake-up
// takes is the floor of a key path that crosses CPUs. Does nothing where only one CPU is allowed.
class CrossCpuWakeups
{
public:
    CrossCpuWakeups()
    {
        cpu_set_t allowed;
        int ends[2];
        if (::sched_getaffinity(0, sizeof allowed, &allowed) != 0) {
            return;
        }
        for (int cpu = 0, found = 0; cpu < CPU_SETSIZE && found < 2; ++cpu) {
            if (CPU_ISSET(cpu, &allowed)) {
                m_cpus[found++] = cpu;
            }
        }
        if (m_cpus[1] < 0 || ::pipe2(ends, O_CLOEXEC) != 0) {
            return;
        }
        m_reader.reset(ends[0]);
        m_writer.reset(ends[1]);
        m_sleeper = std::thread([this] {
            pinTo(m_cpus[1]);
            Clock::rep sent = 0;
            while (::read(m_reader.get(), &sent, sizeof sent) == sizeof sent) {
                m_latencies.push_back(bench::milliseconds(Clock::now() - Clock::time_point(Clock::duration(sent))));
            }
        });
    }
    ~CrossCpuWakeups() { stop(); }

    // One wake-up from the first CPU; the calling thread keeps the CPUs it had.
    void wake()
    {
        cpu_set_t before;
        if (!m_writer.valid() || ::sched_getaffinity(0, sizeof before, &before) != 0) {
            return;
        }
        pinTo(m_cpus[0]);
        const Clock::rep sent = Clock::now().time_since_epoch().count();
        (void)!::write(m_writer.get(), &sent, sizeof sent);
        ::sched_setaffinity(0, sizeof before, &before);
    }

    // The wake-ups' latencies, once the thread has stopped.
    const std::vector<double>& stop()
    {
        m_writer.reset();
        if (m_sleeper.joinable()) {
            m_sleeper.join();
        }
        return m_latencies;
    }

private:
    static void pinTo(int cpu)
    {
        cpu_set_t set;
        CPU_ZERO(&set);
        CPU_SET(cpu, &set);
        ::sched_setaffinity(0, sizeof set, &set);
    }

    int m_cpus[2] = {-1, -1};
    UniqueFd m_reader;
    UniqueFd m_writer;
    std::vector<double> m_latencies;
    std::thread m_sleeper;
};

} // namespace

int main()
{
    std::signal(SIGPIPE, SIG_IGN);
    const velora::test::XServer server;
    if (!server.ok()) {
        std::fputs("event_sources: Xvfb did not start\n", stderr);
        return 1;
    }
    const velora::test::ScopedEnvironment display("DISPLAY", server.display());
    if (!velora::test::LircDaemon::installed()) {
        std::fprintf(stderr, "event_sources: needs lircd, irsend and irxevent (Debian packages lirc, lirc-x)\n");
        return 1;
    }
    velora::test::LircDaemon lircd;
    const velora::test::TempDir temp("velora-bench");
    const std::string dir = temp.path().string();
    std::ofstream(dir + "/bench.mac") << "Default\nDown: [VK_DOWN]\nEnd\n";
    velora::test::XTestWindow window("Velora Bench");
    const auto desktop = velora::platform::openX11Desktop();
    if (!lircd.start() || !window.ok() || !desktop) {
        std::fprintf(stderr, "event_sources: no lircd or no X connection\n");
        return 1;
    }
    velora::platform::LinuxTimerService timers;
    velora::platform::LinuxProgramStarter programs("");
    velora::platform::LinuxLogFile log(dir + "/remote.log");
    velora::remote::RemoteEngine engine(velora::remote::RemoteServices{
        velora::platform::systemClock(), timers, *desktop, programs, log, velora::platform::systemFileSystem()});
    engine.setLogSuppressed(false);
    engine.LoadMacroFile(dir + "/bench.mac");
    int status = 0;

    // Ours: lircd -> the engine's LIRC source -> XTest.
    LircCommands commands(lircd.socketPath());
    std::vector<double> lirc;
    {
        velora::platform::LircKeySource source(lircd.socketPath());
        engine.startEvents(source);
        std::this_thread::sleep_for(300ms);
        lirc = measure(window, "lirc", [&] { return commands.simulate("KEY_DOWN"); });
        engine.stopEvents();
    }

    // LIRC's own: lircd -> irxevent -> a synthetic key event sent to the window in front.
    std::ofstream(dir + "/lircrc") << "begin\n    prog = irxevent\n    button = KEY_DOWN\n"
                                      "    config = Key Down CurrentWindow\nend\n";
    std::vector<double> irxevent;
    {
        velora::test::Process sender("irxevent", {dir + "/lircrc"}, {{"LIRC_SOCKET_PATH", lircd.socketPath()}},
                                     dir + "/irxevent.log");
        std::this_thread::sleep_for(1s);
        irxevent = measure(window, "irxevent", [&] { return commands.simulate("KEY_DOWN"); });
    }
    commands.drain();

    // An input device: records written into a FIFO.
    const std::string fifo = dir + "/event0";
    ::mkfifo(fifo.c_str(), 0600);
    std::vector<double> input;
    std::vector<double> wakeups;
    {
        CrossCpuWakeups crossings;
        velora::platform::InputKeySource source(fifo, "/sys");
        engine.startEvents(source);
        const UniqueFd writer(::open(fifo.c_str(), O_WRONLY | O_CLOEXEC));
        const std::string press = velora::test::keyRecord(KEY_DOWN, 1) + velora::test::keyRecord(KEY_DOWN, 0);
        input = measure(
            window, "input",
            [&] { return ::write(writer.get(), press.data(), press.size()) == static_cast<ssize_t>(press.size()); },
            [&] { crossings.wake(); });
        engine.stopEvents();
        wakeups = crossings.stop();
    }
    engine.shutdown();

    if (lirc.empty() || irxevent.empty() || input.empty()) {
        status = 1;
    }
    std::printf("lirc_key_latency_p50_ms %.3f\n", bench::percentile(lirc, 50));
    std::printf("lirc_key_latency_p99_ms %.3f\n", bench::percentile(lirc, 99));
    std::printf("irxevent_key_latency_p50_ms %.3f\n", bench::percentile(irxevent, 50));
    std::printf("irxevent_key_latency_p99_ms %.3f\n", bench::percentile(irxevent, 99));
    std::printf("input_key_latency_p50_ms %.3f\n", bench::percentile(input, 50));
    std::printf("input_key_latency_p99_ms %.3f\n", bench::percentile(input, 99));
    if (!wakeups.empty()) {
        std::printf("cpu_wakeup_p50_ms %.3f\n", bench::percentile(wakeups, 50));
        std::printf("cpu_wakeup_p99_ms %.3f\n", bench::percentile(wakeups, 99));
    }
    return status;
}
