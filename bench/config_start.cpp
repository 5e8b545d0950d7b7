// config_start_ms: the time from starting VeloraConfig in the suite folder to its dialog
// appearing on the screen. The dialog fills every list (data folders, capture devices,
// fontconfig's faces, the screen's modes) before it is shown, so the figure includes all of
// that. Median of several starts on a private Xvfb; each start is ended once measured, so
// nothing is written.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <X11/Xlib.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>

#include "XvfbServer.h"

extern char** environ;

namespace {

constexpr int kRuns = 7;
constexpr const char* kTitle = "Velora Configuration";

Display* openDisplay()
{
    // Xvfb may reset a connection opened just as another closed: try a few times.
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (Display* display = XOpenDisplay(nullptr)) {
            return display;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return nullptr;
}

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
        std::fprintf(stderr, "config_start: Xvfb did not start\n");
        return 1;
    }
    Display* display = openDisplay();
    if (display == nullptr) {
        std::fprintf(stderr, "config_start: cannot connect to Xvfb\n");
        return 1;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);

    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::string_view(*entry).rfind("QT_QPA_PLATFORM=", 0) != 0) {
            variables.emplace_back(*entry);
        }
    }
    std::vector<char*> envp;
    for (std::string& variable : variables) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);
    const std::string program = VELORA_CONFIG_PROGRAM;
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};

    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = std::chrono::steady_clock::now();
        pid_t pid = -1;
        if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()) != 0) {
            std::fprintf(stderr, "config_start: cannot start %s\n", program.c_str());
            return 1;
        }
        const bool shown = waitForDialog(display);
        const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        if (!shown) {
            std::fprintf(stderr, "config_start: the dialog did not appear\n");
            return 1;
        }
        std::fprintf(stderr, "config_start: run %d: %.1f ms\n", run + 1, elapsed.count());
        times.push_back(elapsed.count());
    }
    XCloseDisplay(display);
    std::sort(times.begin(), times.end());
    std::printf("config_start_ms %.0f\n", times[times.size() / 2]);
    return 0;
}
