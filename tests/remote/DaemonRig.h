// The daemon on fakes: a window that logs what it is asked to show, and a rig holding the
// daemon with the remote's fakes and a settings file in memory.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fakes/MemoryProfile.h"
#include "fakes/RemoteFakes.h"
#include "hw/BtRegisters.h"
#include "remote/RemoteDaemon.h"

namespace velora::remote {

inline constexpr const char* kIni = "/opt/velora/velora.ini";

class FakeWindow final : public DaemonWindow
{
public:
    explicit FakeWindow(test::EventLog& log) : m_log(log) {}
    bool answer = true;
    int timerStarts = 0;
    int icon = -1;
    // What happens while a message waits for its OK (a signal ending the program, say).
    std::function<void()> whileShown;

    void showMessage(std::string_view text) override
    {
        m_log.add("message " + std::string(text));
        if (whileShown) {
            whileShown();
        }
    }
    // A failure is a message box too; the texts are kept apart as well.
    std::vector<std::string> failures;
    void showFailure(std::string_view text) override
    {
        failures.emplace_back(text);
        showMessage(text);
    }
    bool askYesNo(std::string_view text) override
    {
        m_log.add("ask " + std::string(text));
        return answer;
    }
    void updateTrayIcon(int mouseMode) override
    {
        icon = mouseMode;
        m_log.add("icon " + std::to_string(mouseMode));
    }
    void startWindowTimer() override
    {
        ++timerStarts;
        m_log.add("timer on");
    }
    // What happens while the window's timer stops (the middle of a shutdown, say).
    std::function<void()> whileTimerStops;
    void stopWindowTimer() override
    {
        m_log.add("timer off");
        if (whileTimerStops) {
            whileTimerStops();
        }
    }
    // Calls posted for the window thread, run when a test says so.
    std::vector<std::function<void()>> posted;
    void post(std::function<void()> call) override { posted.push_back(std::move(call)); }
    void runPosted()
    {
        for (auto calls = std::exchange(posted, {}); auto& call : calls) {
            call();
        }
    }

private:
    test::EventLog& m_log;
};

struct DaemonRig : test::RemoteFakes
{
    test::MemoryProfile profile;
    FakeWindow window{log};
    std::optional<RemoteDaemon> daemon;
    platform::KeySourceFactory* keySources = nullptr;
    platform::FileWatchService* fileWatches = nullptr;

    DaemonRig(const std::string& ini = "")
    {
        driver.logReads = false;
        if (!ini.empty()) {
            profile.setText(kIni, ini);
        }
        files.put("default.mac", "Default\nDown: [VK_DOWN]\nEnd\n");
    }
    RemoteDaemon& make()
    {
        daemon.emplace(DaemonServices{services(), loader, profile, keySources, fileWatches}, window, kIni);
        return *daemon;
    }
    // A remote key: the receiver's byte changes, and the ticks of the next 300 ms take it
    // (far enough from the previous change for any key to count).
    void pressKey(std::uint32_t code)
    {
        driver.registers[bt::GPIO_DATA] = code;
        timers.fireAllDue(clock.tickCount() + 300);
    }
    // Counts the re-arms (GPIO_DATA writes with the low byte set) over a number of window ticks.
    std::vector<int> rearmTicks(int windowTicks)
    {
        std::vector<int> at;
        for (int tick = 1; tick <= windowTicks; ++tick) {
            daemon->windowTimer();
            if (daemon->engine().receiver().reinitPending()) {
                at.push_back(tick);
                daemon->engine().receiver().PollReceiver(); // the sampling tick takes it
            }
        }
        return at;
    }
};

} // namespace velora::remote
