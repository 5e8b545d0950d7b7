#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/linux/LinuxLogFile.h"
#include "tests/support/CurrentFolder.h"
#include "tests/support/TempDir.h"

namespace velora::platform {
namespace {

namespace fs = std::filesystem;
using FileStatus = struct stat;

using test::readFile;

std::size_t openDescriptors()
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

TEST(LinuxLogFile, CreatesAppendsAndKeepsNoDescriptorOpen)
{
    test::TempDir folder;
    const fs::path path = folder / "remote.log";
    const mode_t oldMask = umask(027);
    LinuxLogFile log(path.string());
    const std::size_t descriptors = openDescriptors();
    log.append("Ignoring: RK_VOLUMEDOWN\n");
    log.append("    RK_MAKE(0x07, RK_UNKNOWN),\n");
    log.append("");
    umask(oldMask);
    EXPECT_EQ(readFile(path), "Ignoring: RK_VOLUMEDOWN\n    RK_MAKE(0x07, RK_UNKNOWN),\n");
    FileStatus info{};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(openDescriptors(), descriptors);

    // Deleted or moved away between two texts: the next text starts a new file.
    fs::rename(path, folder / "old.log");
    log.append("after\n");
    EXPECT_EQ(readFile(path), "after\n");

    // A large text arrives whole.
    const std::string big(1 << 20, 'x');
    log.append(big);
    EXPECT_EQ(readFile(path).size(), 6 + big.size());
}

TEST(LinuxLogFile, LinesFromManyThreadsAndWritersStayWhole)
{
    test::TempDir folder;
    const fs::path path = folder / "remote.log";
    // Two objects on one file stand for two processes: only O_APPEND keeps them apart.
    LinuxLogFile first(path.string());
    LinuxLogFile second(path.string());
    constexpr int kThreads = 6;
    constexpr int kLines = 300;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            LinuxLogFile& log = t % 2 == 0 ? first : second;
            const std::string body(200, static_cast<char>('a' + t));
            for (int i = 0; i < kLines; ++i) {
                log.append(std::to_string(t) + ":" + body + "\n");
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::ifstream in(path);
    std::string line;
    std::vector<int> perThread(kThreads, 0);
    int bad = 0;
    while (std::getline(in, line)) {
        const int t = line.empty() ? -1 : line[0] - '0';
        if (t < 0 || t >= kThreads || line != std::to_string(t) + ":" + std::string(200, static_cast<char>('a' + t))) {
            ++bad;
            continue;
        }
        ++perThread[static_cast<std::size_t>(t)];
    }
    EXPECT_EQ(bad, 0);
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(perThread[static_cast<std::size_t>(t)], kLines) << "thread " << t;
    }
}

TEST(LinuxLogFile, RotatesOnceTheFileHasReachedItsSizeKeepingOneOldFile)
{
    test::TempDir folder;
    const fs::path path = folder / "remote.log";
    LinuxLogFile log(path.string(), 20);
    log.append("0123456789\n");
    log.append("abcdefghi\n"); // 21 bytes now: past the size, but the text is never split
    EXPECT_EQ(readFile(path), "0123456789\nabcdefghi\n");
    EXPECT_FALSE(fs::exists(folder / "remote.log.1"));
    log.append("third\n");
    EXPECT_EQ(readFile(folder / "remote.log.1"), "0123456789\nabcdefghi\n");
    EXPECT_EQ(readFile(path), "third\n");
    // The next rotation replaces the old file: only the latest two files are kept.
    log.append(std::string(20, 'x'));
    log.append("fifth\n");
    EXPECT_EQ(readFile(folder / "remote.log.1"), "third\n" + std::string(20, 'x'));
    EXPECT_EQ(readFile(path), "fifth\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 2);

    // Size 0 never rotates.
    LinuxLogFile unlimited((folder / "other.log").string());
    unlimited.append(std::string(100, 'y'));
    unlimited.append("z\n");
    EXPECT_EQ(readFile(folder / "other.log").size(), 102u);
    EXPECT_FALSE(fs::exists(folder / "other.log.1"));
}

TEST(LinuxLogFile, RelativePathFollowsTheCurrentFolder)
{
    test::TempDir folder;
    const fs::path one = folder.makeFolder("one");
    const fs::path two = folder.makeFolder("two");
    LinuxLogFile log("remote.log");
    const test::CurrentFolder here(one);
    log.append("first\n");
    fs::current_path(two);
    log.append("second\n");
    EXPECT_EQ(readFile(folder / "one" / "remote.log"), "first\n");
    EXPECT_EQ(readFile(folder / "two" / "remote.log"), "second\n");
}

TEST(LinuxLogFile, UnopenablePathsDropTheTextQuietly)
{
    test::TempDir folder;
    LinuxLogFile missingFolder((folder / "missing" / "remote.log").string());
    missingFolder.append("lost\n");
    EXPECT_FALSE(fs::exists(folder / "missing"));

    LinuxLogFile directory(folder.path().string());
    directory.append("lost\n");
    EXPECT_TRUE(fs::is_directory(folder.path()));

    LinuxLogFile empty("");
    empty.append("lost\n");

    // A FIFO that nobody reads must not hang the caller.
    const fs::path fifo = folder / "pipe.log";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    LinuxLogFile pipe(fifo.string());
    pipe.append("lost\n");

    const std::string withNul("remote.log\0.txt", 15);
    const test::CurrentFolder here(folder.path());
    LinuxLogFile nul(withNul);
    nul.append("lost\n");
    EXPECT_FALSE(fs::exists(folder / "remote.log"));
}

} // namespace
} // namespace velora::platform
