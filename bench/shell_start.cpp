// shell_start_ms: the time from starting KavoShell to its first full paint of a folder of
// 1000 files, most of whose kinds come from the desktop's MIME database (.mkv, .webm, .flac,
// .png, .py, ...), on a private 1920 x 1080 Xvfb. The paint is full when the highlighted
// band of the first row and the icon of the last row (the 16th) show. Median of several
// starts; each is ended once measured.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <X11/Xlib.h>

#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tests/support/XDisplay.h"
#include "tests/support/XServer.h"

namespace {

namespace fs = std::filesystem;
constexpr int kRuns = 7;
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
// The layout on 1080 lines: 53-pixel rows from y = 90, bands ending at x = 1779, icons of 45
// pixels at x = 96.
constexpr int kFirstRow = 90;
constexpr int kRowHeight = 53;
constexpr int kBandEnd = 1779;
constexpr int kIconX = 96;
constexpr int kIconSize = 45;

bool fullyPainted(Display* display)
{
    const velora::test::ScreenArea band(display, kBandEnd - 3, kFirstRow + kRowHeight / 2, 1, 1);
    const velora::test::ScreenArea lastIcon(display, kIconX, kFirstRow + 15 * kRowHeight, kIconSize, kIconSize);
    return band.width() == 1 && band.at(0, 0) == 0x0000ff && lastIcon.width() == kIconSize &&
           lastIcon.count(0) < kIconSize * kIconSize;
}

} // namespace

int main()
{
    velora::test::XServer server(std::to_string(kWidth) + "x" + std::to_string(kHeight));
    const velora::test::DisplayPtr connection = server.connect();
    Display* const display = connection.get();
    if (display == nullptr) {
        std::fprintf(stderr, "shell_start: cannot start or reach Xvfb\n");
        return 1;
    }
    const velora::test::TempDir temp("bench-shell-start");
    const char* patterns[] = {"Film %04d.mkv", "talk-%04d.webm", "song %04d.flac", "shot_%04d.png",
                              "tool%04d.py",   "notes%04d.md",   "data%04d.json",  "misc%04d.xyz"};
    fs::create_directories(temp / "folder");
    for (int i = 0; i < 1000; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, patterns[i % 8], i);
        std::ofstream(temp / "folder" / name);
    }
    fs::create_directories(temp / "config/velora");
    std::ofstream(temp / "config/velora/velora.ini") << "[KavoShell]\nLastDir=" << (temp / "folder").string() << "\n";
    fs::create_directories(temp / "runtime");
    fs::permissions(temp / "runtime", fs::perms::owner_all);
    const velora::test::EnvironmentChanges environment = {{"DISPLAY", server.display()},
                                                          {"QT_QPA_PLATFORM", std::nullopt},
                                                          {"XDG_CONFIG_HOME", (temp / "config").string()},
                                                          {"XDG_RUNTIME_DIR", (temp / "runtime").string()}};

    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = std::chrono::steady_clock::now();
        velora::test::Process shell(VELORA_SHELL_PROGRAM, {}, environment);
        if (!shell.started()) {
            std::fprintf(stderr, "shell_start: cannot start %s\n", VELORA_SHELL_PROGRAM);
            return 1;
        }
        bool painted = false;
        while (!painted && std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
            painted = fullyPainted(display);
            if (!painted) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
        shell.signal(SIGTERM);
        shell.waitExit(std::chrono::seconds(10));
        if (!painted) {
            std::fprintf(stderr, "shell_start: the list was not painted\n");
            return 1;
        }
        std::fprintf(stderr, "shell_start: run %d: %.1f ms\n", run + 1, elapsed.count());
        times.push_back(elapsed.count());
        // The next start must not find this one's screen.
        while (fullyPainted(display)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    std::sort(times.begin(), times.end());
    std::printf("shell_start_ms %.0f\n", times[times.size() / 2]);
    return 0;
}
