// The media shell: listing a directory of 16384 files (enumerating, classifying, sorting)
// beside `ls -f` and `ls` on the same directory in the same run, and one full repaint of a
// 1920 x 1080 and of a 3840 x 2160 screen. Each figure is the median of several runs, in milliseconds.
#include "platform/Directories.h"
#include "platform/FileSystem.h"
#include "platform/MountTable.h"
#include "platform/Profile.h"
#include "shell/Listing.h"
#include "shell/ui/ShellPainter.h"
#include "tests/support/TempDir.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using velora::shell::EntryList;

double medianMs(int runs, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Runs a command with its output thrown away, as a benchmark of a whole program.
bool runQuietly(std::vector<std::string> args)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    char* envp[] = {const_cast<char*>("LC_ALL=C"), nullptr};
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return rc == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

constinit EntryList g_list;

} // namespace

int main(int argc, char** argv)
{
    const velora::test::TempDir temp("bench-shell");
    const fs::path& dir = temp.path();
    const char* patterns[] = {"clip%05d.mpg", "Photo %05d.JPG",      "song-%05d.mp3",     "NOTES%05d.TXT",
                              "main%05d.cpp", "archive_%05d.tar.gz", "Holiday.%05d.jpeg", "readme%05d"};
    for (int i = 0; i < velora::shell::kEntryCapacity; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, patterns[i % 8], i);
        std::ofstream(dir / name);
    }

    velora::shell::ShellSystem system{velora::platform::systemDirectories(), velora::platform::systemMountTable(),
                                      velora::platform::systemFileSystem(), velora::platform::systemProfile(), ""};
    if (!system.directories.changeDirectory(dir.string())) {
        std::fprintf(stderr, "bench_shell: cannot enter %s\n", dir.c_str());
        return 1;
    }
    bool ok = true;
    const double list = medianMs(21, [&] { ok = ok && velora::shell::ListDirectory(g_list, system); });
    const double lsF = medianMs(21, [&] { ok = ok && runQuietly({"ls", "-f", dir.string()}); });
    const double ls = medianMs(21, [&] { ok = ok && runQuietly({"ls", dir.string()}); });
    system.directories.changeDirectory("/");
    if (!ok || g_list.count != velora::shell::kEntryCapacity) {
        std::fprintf(stderr, "bench_shell: listing failed (%d entries)\n", g_list.count);
        return 1;
    }

    // The window paints into a back buffer of this format, which then goes to the screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const velora::shell::ui::KindIcons icons;
    QImage screen(1920, 1080, QImage::Format_RGB32);
    g_list.selected = 7;
    const double repaint = medianMs(51, [&] {
        QPainter painter(&screen);
        painter.fillRect(screen.rect(), Qt::black);
        velora::shell::ui::PaintShell(painter, screen.size(), g_list, "/srv/media/Films and series/2024", icons);
    });

    QImage screen2160(3840, 2160, QImage::Format_RGB32);
    const double repaint2160 = medianMs(51, [&] {
        QPainter painter(&screen2160);
        painter.fillRect(screen2160.rect(), Qt::black);
        velora::shell::ui::PaintShell(painter, screen2160.size(), g_list, "/srv/media/Films and series/2024", icons);
    });

    std::printf("shell_list_16384_ms %.2f\n", list);
    std::printf("ls_f_16384_ms %.2f\n", lsF);
    std::printf("ls_16384_ms %.2f\n", ls);
    std::printf("shell_repaint_1080p_ms %.2f\n", repaint);
    std::printf("shell_repaint_2160p_ms %.2f\n", repaint2160);
    return 0;
}
