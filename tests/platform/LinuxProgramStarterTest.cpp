// Starts small shell scripts that leave marker files behind; each test runs in a process of
// its own under CTest, so changing PATH and the current folder here touches no other test.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/linux/LinuxProgramStarter.h"
#include "tests/support/CurrentFolder.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitUntil.h"

namespace velora::platform {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using SignalAction = struct sigaction;
using namespace std::chrono_literals;

// A temporary folder for a test that may change into it and set PATH; the current folder
// and PATH come back afterwards.
struct Folder : test::TempDir
{
    const test::CurrentFolder here{fs::current_path()};
    const test::ScopedEnvironment pathVariable{"PATH", std::getenv("PATH")};
};

void writeScript(const fs::path& path, const std::string& body, bool executable = true)
{
    std::ofstream(path) << "#!/bin/sh\n" << body;
    fs::permissions(path, executable ? fs::perms(0755) : fs::perms(0644));
}

using test::readFile;

// Waits for a marker file to hold a complete text (scripts write a trailing "end" line).
std::string waitForMarker(const fs::path& path)
{
    std::string text;
    const bool complete = test::waitUntil(
        [&] {
            text = readFile(path);
            return text.size() >= 4 && text.compare(text.size() - 4, 4, "end\n") == 0;
        },
        10s, 10ms);
    return complete ? text : "(no marker)";
}

// The processes whose parent is this one, with their state letters ("Z" for a zombie).
std::vector<std::pair<pid_t, char>> children()
{
    std::vector<std::pair<pid_t, char>> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const std::string stat = readFile(entry.path() / "stat");
        const std::size_t close = stat.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        std::istringstream rest(stat.substr(close + 1));
        char state = '?';
        pid_t parent = 0;
        rest >> state >> parent;
        if (parent == getpid()) {
            found.emplace_back(static_cast<pid_t>(std::stoi(name)), state);
        }
    }
    return found;
}

bool waitForNoChildren()
{
    return test::waitUntil([] { return children().empty(); }, 10s, 10ms);
}

TEST(LinuxProgramStarter, LooksInTheProgramFolderThenTheCurrentFolderThenPath)
{
    Folder folder;
    const fs::path own = folder.makeFolder("own");
    const fs::path current = folder.makeFolder("current");
    const fs::path onPath = folder.makeFolder("path");
    const fs::path marker = folder / "marker";
    for (const fs::path& place : {own, current, onPath}) {
        writeScript(place / "velora-probe", "echo " + place.filename().string() + " > \"$1\"\necho end >> \"$1\"\n");
    }
    fs::current_path(current);
    setenv("PATH", ("/nonexistent::" + onPath.string() + ":/usr/bin:/bin").c_str(), 1);
    LinuxProgramStarter starter(own.string());
    const std::string command = "velora-probe " + marker.string();

    ASSERT_TRUE(starter.start(command));
    EXPECT_EQ(waitForMarker(marker), "own\nend\n");

    // A file that is not executable does not count.
    fs::remove(marker);
    writeScript(own / "velora-probe", "echo wrong > \"$1\"\n", false);
    ASSERT_TRUE(starter.start(command));
    EXPECT_EQ(waitForMarker(marker), "current\nend\n");

    fs::remove(marker);
    fs::remove(current / "velora-probe");
    ASSERT_TRUE(starter.start(command));
    EXPECT_EQ(waitForMarker(marker), "path\nend\n");

    // Without a program folder the search starts at the current folder.
    fs::remove(marker);
    writeScript(current / "velora-probe", "echo current > \"$1\"\necho end >> \"$1\"\n");
    LinuxProgramStarter noFolder("");
    ASSERT_TRUE(noFolder.start(command));
    EXPECT_EQ(waitForMarker(marker), "current\nend\n");

    fs::remove(current / "velora-probe");
    fs::remove(onPath / "velora-probe");
    fs::remove(marker);
    EXPECT_FALSE(starter.start(command));
    // A folder of the program's name is no program either.
    fs::create_directories(onPath / "velora-probe");
    EXPECT_FALSE(starter.start(command));
    EXPECT_TRUE(waitForNoChildren());
    EXPECT_FALSE(fs::exists(marker));
}

TEST(LinuxProgramStarter, NamesWithASlashAreUsedAsGiven)
{
    Folder folder;
    const fs::path bin = folder.makeFolder("bin");
    const fs::path marker = folder / "marker";
    writeScript(bin / "probe", "echo \"$#|$1|$2\" > \"$3\"\necho end >> \"$3\"\n");
    LinuxProgramStarter starter((folder / "elsewhere").string());

    ASSERT_TRUE(starter.start(bin.string() + "/probe \"two words\" \"\" " + marker.string()));
    EXPECT_EQ(waitForMarker(marker), "3|two words|\nend\n");

    fs::remove(marker);
    fs::current_path(folder.path());
    ASSERT_TRUE(starter.start("bin/probe one\ttwo \"" + marker.string() + "\""));
    EXPECT_EQ(waitForMarker(marker), "3|one|two\nend\n");

    // A name with a slash is never searched for elsewhere.
    fs::current_path(bin);
    EXPECT_FALSE(starter.start("./missing/probe a b " + marker.string()));
    EXPECT_FALSE(starter.start(bin.string() + "/missing"));
    EXPECT_FALSE(starter.start(""));
    EXPECT_FALSE(starter.start("   "));
    EXPECT_FALSE(starter.start("\"\" a"));
}

TEST(LinuxProgramStarter, ChildGetsItsOwnSessionAndACleanStart)
{
    Folder folder;
    const fs::path marker = folder / "marker";
    const int leaked = open("/dev/null", O_RDONLY); // deliberately without O_CLOEXEC
    ASSERT_GE(leaked, 0);
    // What a Qt program may leave behind in the daemon: a blocked and an ignored signal.
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR1);
    sigset_t previousMask;
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &blocked, &previousMask), 0);
    SignalAction ignore{};
    ignore.sa_handler = SIG_IGN;
    SignalAction previousAction{};
    ASSERT_EQ(sigaction(SIGPIPE, &ignore, &previousAction), 0);
    setenv("VELORA_PROBE", "inherited", 1);

    const std::string probe = "exec > \"$1\"\n"
                              "set -- $(cat /proc/$$/stat)\n"
                              "[ \"$6\" = \"$$\" ] && echo own-session || echo shared-session\n"
                              "readlink /proc/$$/fd/0\n"
                              "[ -e /proc/$$/fd/" +
                              std::to_string(leaked) + " ] && echo fd-leaked || echo fd-closed\n" +
                              "grep -E '^Sig(Blk|Ign)' /proc/$$/status | tr -d '\\t'\n"
                              "echo \"$VELORA_PROBE\"\n"
                              "echo end\n";
    writeScript(folder / "probe", probe);
    LinuxProgramStarter starter(folder.path().string());
    ASSERT_TRUE(starter.start("probe " + marker.string()));
    const std::string report = waitForMarker(marker);

    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    sigaction(SIGPIPE, &previousAction, nullptr);
    close(leaked);

    EXPECT_NE(report.find("own-session\n"), std::string::npos) << report;
    EXPECT_NE(report.find("/dev/null\n"), std::string::npos) << report;
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    EXPECT_NE(report.find("fd-closed\n"), std::string::npos) << report;
#endif
    EXPECT_NE(report.find("SigBlk:0000000000000000\n"), std::string::npos) << report;
    // Only the standard signals 1 to 31 count: the C library's posix_spawn leaves its own two
    // internal signals (32 and 33) ignored, and a C library child installs them anew.
    const std::size_t ignored = report.find("SigIgn:");
    ASSERT_NE(ignored, std::string::npos) << report;
    EXPECT_EQ(std::stoull(report.substr(ignored + 7, 16), nullptr, 16) & 0x7fffffffULL, 0u) << report;
    EXPECT_NE(report.find("inherited\n"), std::string::npos) << report;
    EXPECT_TRUE(waitForNoChildren());
}

TEST(LinuxProgramStarter, ReturnsAtOnceAndLeavesNoZombie)
{
    Folder folder;
    const fs::path marker = folder / "marker";
    // The long runner keeps none of the test's output pipes open.
    writeScript(folder / "long", "echo end > \"$1\"\nexec sleep 5 >/dev/null 2>&1\n");
    LinuxProgramStarter starter(folder.path().string());

    const Clock::time_point before = Clock::now();
    ASSERT_TRUE(starter.start("long " + marker.string()));
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - before).count(), 1.0);
    EXPECT_EQ(waitForMarker(marker), "end\n");
    std::vector<std::pair<pid_t, char>> running = children();
    ASSERT_EQ(running.size(), 1u);
    EXPECT_NE(running[0].second, 'Z');
    kill(running[0].first, SIGTERM);
    EXPECT_TRUE(waitForNoChildren()) << "the ended program stayed behind as a zombie";

    // A short program is reaped as well once it has ended.
    fs::remove(marker);
    writeScript(folder / "short", "echo end > \"$1\"\n");
    ASSERT_TRUE(starter.start("short " + marker.string()));
    EXPECT_EQ(waitForMarker(marker), "end\n");
    EXPECT_TRUE(waitForNoChildren()) << "the ended program stayed behind as a zombie";
}

} // namespace
} // namespace velora::platform
