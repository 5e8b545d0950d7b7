// The remote engine's macro file and on-screen feedback, on the virtual card and a real X
// server (Xvfb, started here):
//   macro_reload_ms                  from a new macro file renamed into place to its tables in
//                                    force, through the inotify watch and its settle wait as the
//                                    daemon uses them (median of 10; target under 1000 ms)
//   key_latency_without_feedback_p99_ms  a card key from GPIO_DATA to the key press at an X
//                                    window, feedback off
//   feedback_key_latency_p99_ms      the same with feedback on, measured in the same run in
//                                    alternating blocks: each key's text is made and handed to
//                                    another thread, as the daemon hands it to its window
//                                    (target: at most 0.5 ms above the figure without)
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "CardBench.h"
#include "CardKeys.h"
#include "platform/linux/LinuxFileWatch.h"
#include "platform/linux/LinuxTimerService.h"
#include "platform/x11/X11Desktop.h"
#include "remote/RemoteDaemon.h"
#include "remote/RemoteEngine.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/XServer.h"

namespace {

using bench::Clock;
using namespace std::chrono_literals;

// Takes the feedback texts on a thread of its own, as the daemon's window thread does.
class FeedbackThread
{
public:
    FeedbackThread()
        : m_thread([this] {
              std::unique_lock lock(m_mutex);
              while (!m_stop) {
                  m_wake.wait(lock, [this] { return m_stop || !m_texts.empty(); });
                  while (!m_texts.empty()) {
                      m_shown = std::move(m_texts.front());
                      m_texts.pop_front();
                      ++m_count;
                  }
              }
          })
    {}
    ~FeedbackThread()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }
    void post(const std::string& text)
    {
        {
            std::lock_guard lock(m_mutex);
            m_texts.push_back(text);
        }
        m_wake.notify_one();
    }
    int count()
    {
        std::lock_guard lock(m_mutex);
        return m_count;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::string> m_texts;
    std::string m_shown;
    int m_count = 0;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace

int main()
{
    const velora::test::XServer server;
    if (!server.ok()) {
        std::fputs("macro_feedback: Xvfb did not start\n", stderr);
        return 1;
    }
    const velora::test::ScopedEnvironment display("DISPLAY", server.display());
    bench::CardBench rig("macro_feedback");
    velora::test::XTestWindow window("Velora Bench");
    const auto desktop = velora::platform::openX11Desktop();
    if (!rig.ok() || !window.ok() || !desktop) {
        std::fprintf(stderr, "macro_feedback: no card state or no X connection\n");
        return 1;
    }
    velora::platform::LinuxTimerService timers;
    if (!rig.openCard()) {
        return 1;
    }
    velora::virtualcard::VirtualChip& chip = *rig.chip;
    const std::string& macroPath = rig.macroPath;
    int status = 0;
    velora::remote::RemoteEngine engine(rig.services(*desktop, timers));
    engine.LoadMacroFile(macroPath);

    // Reloads: the watch with the daemon's settle wait, the reload on the watch's thread.
    std::vector<double> reloads;
    {
        velora::platform::LinuxFileWatchService watches;
        const auto watch =
            watches.watchFile(macroPath, velora::remote::RemoteDaemon::kMacroSettleMs,
                              velora::remote::RemoteDaemon::kMacroMaxWaitMs, [&] { engine.LoadMacroFile(macroPath); });
        for (int i = 0; watch && i < 10; ++i) {
            const auto before = engine.macroTables();
            std::ofstream(macroPath + ".new") << "Default\nDown: [VK_DOWN]\nUp: [VK_UP]\n# " << i << "\nEnd\n";
            const auto renamed = Clock::now();
            std::filesystem::rename(macroPath + ".new", macroPath);
            while (engine.macroTables() == before && Clock::now() - renamed < 5s) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            if (engine.macroTables() == before) {
                std::fprintf(stderr, "macro_feedback: reload %d never came\n", i);
                status = 1;
                break;
            }
            reloads.push_back(bench::milliseconds(Clock::now() - renamed));
            std::this_thread::sleep_for(300ms);
        }
        if (!watch) {
            std::fprintf(stderr, "macro_feedback: the folder could not be watched\n");
            status = 1;
        }
    }

    // Key latency in alternating blocks of 50 keys, feedback off and on.
    FeedbackThread feedback;
    engine.setFeedbackListener([&feedback](const std::string& text) { feedback.post(text); });
    engine.ArmReceiver(*rig.card);
    engine.startTick();
    std::this_thread::sleep_for(300ms);
    std::vector<double> without;
    std::vector<double> with;
    for (int block = 0; block < 8 && status == 0; ++block) {
        const bool on = block % 2 == 1;
        engine.setFeedbackOn(on);
        const std::vector<double> latencies = bench::cardKeyLatencies(chip, window, 50);
        if (latencies.empty()) {
            status = 1;
        }
        (on ? with : without).insert((on ? with : without).end(), latencies.begin(), latencies.end());
    }
    engine.shutdown();
    engine.DisarmReceiver();
    if (feedback.count() < static_cast<int>(with.size())) {
        std::fprintf(stderr, "macro_feedback: %d feedback texts for %zu keys\n", feedback.count(), with.size());
        status = 1;
    }

    std::printf("macro_reload_ms %.1f\n", bench::percentile(reloads, 50));
    std::printf("key_latency_without_feedback_p99_ms %.3f\n", bench::percentile(without, 99));
    std::printf("feedback_key_latency_p99_ms %.3f\n", bench::percentile(with, 99));
    std::fflush(stdout);
    std::fprintf(stderr, "macro_feedback: reloads %.1f to %.1f ms, %zu and %zu keys\n", bench::percentile(reloads, 0),
                 bench::percentile(reloads, 100), without.size(), with.size());
    return status;
}
