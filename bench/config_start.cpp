// config_start_ms: the time from starting VeloraConfig in the suite folder to its dialog
// appearing on the screen. The dialog fills every list (data folders, capture devices,
// fontconfig's faces, the screen's modes) before it is shown, so the figure includes all of
// that. Median of several starts on a private Xvfb; each start is ended once measured, so
// nothing is written.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <vector>

#include "tests/support/Process.h"
#include "tests/support/XDisplay.h"
#include "tests/support/XServer.h"

namespace {

constexpr int kRuns = 7;
constexpr const char* kTitle = "Velora Configuration";

// Waits for a top-level window titled kTitle to be mapped; false after 20 seconds.
bool waitForDialog(Display* display)
{
    return velora::test::waitForEvent(
               display,
               [display](const XEvent& e) {
                   return e.type == MapNotify && velora::test::hasTitle(display, e.xmap.window, kTitle);
               },
               std::chrono::seconds(20))
        .has_value();
}

} // namespace

int main()
{
    const velora::test::XServer server;
    if (!server.ok()) {
        std::fputs("config_start: Xvfb did not start\n", stderr);
        return 1;
    }
    const velora::test::DisplayPtr connection = server.connect();
    Display* const display = connection.get();
    if (display == nullptr) {
        std::fprintf(stderr, "config_start: cannot connect to Xvfb\n");
        return 1;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);

    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = std::chrono::steady_clock::now();
        velora::test::Process config(VELORA_CONFIG_PROGRAM, {},
                                     {{"QT_QPA_PLATFORM", std::nullopt}, {"DISPLAY", server.display()}});
        if (!config.started()) {
            std::fprintf(stderr, "config_start: cannot start %s\n", VELORA_CONFIG_PROGRAM);
            return 1;
        }
        const bool shown = waitForDialog(display);
        const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
        config.signal(SIGTERM);
        config.waitExit(std::chrono::seconds(10));
        if (!shown) {
            std::fprintf(stderr, "config_start: the dialog did not appear\n");
            return 1;
        }
        std::fprintf(stderr, "config_start: run %d: %.1f ms\n", run + 1, elapsed.count());
        times.push_back(elapsed.count());
    }
    std::sort(times.begin(), times.end());
    std::printf("config_start_ms %.0f\n", times[times.size() / 2]);
    return 0;
}
