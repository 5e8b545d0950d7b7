// config_start_ms: the time from starting VeloraConfig in the suite folder to its dialog
// appearing on the screen. The dialog fills every list (data folders, capture devices,
// fontconfig's faces, the screen's modes) before it is shown, so the figure includes all of
// that. Median of several starts on a private Xvfb; each start is ended once measured, so
// nothing is written.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string_view>
#include <vector>

#include <X11/Xlib.h>
#include <poll.h>

#include "XvfbServer.h"
#include "tests/support/Process.h"
#include "tests/support/XDisplay.h"

namespace {

constexpr int kRuns = 7;
constexpr const char* kTitle = "Velora Configuration";

bool isDialog(Display* display, Window window)
{
    char* name = nullptr;
    if (XFetchName(display, window, &name) == 0 || name == nullptr) {
        return false;
    }
    const bool match = std::string_view(name) == kTitle;
    XFree(name);
    return match;
}

// Waits for a top-level window titled kTitle to be mapped; false after 20 seconds.
bool waitForDialog(Display* display)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    pollfd connection{ConnectionNumber(display), POLLIN, 0};
    while (std::chrono::steady_clock::now() < deadline) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && isDialog(display, event.xmap.window)) {
                return true;
            }
        }
        poll(&connection, 1, 5);
    }
    return false;
}

} // namespace

int main()
{
    XvfbServer xvfb;
    if (!xvfb.ok()) {
        return 1;
    }
    const velora::test::DisplayPtr connection = velora::test::openDisplay();
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
        velora::test::Process config(VELORA_CONFIG_PROGRAM, {}, {{"QT_QPA_PLATFORM", std::nullopt}});
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
