// The inotify file watch: a change is told once it has settled, whether the file is written in
// place, replaced by a rename or still open for writing, and never for other files.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/linux/LinuxFileWatch.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitUntil.h"

namespace velora::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(LinuxFileWatch, ChangesAreToldOnceSettledAndWritersAreWaitedFor)
{
    const test::TempDir temp("velora-watch");
    const fs::path file = temp.path() / "default.mac";
    std::ofstream(file) << "Default\nEnd\n";
    LinuxFileWatchService service;
    EXPECT_EQ(service.watchFile((temp.path() / "gone" / "x.mac").string(), 100, 1000, [] {}), nullptr);

    std::atomic<int> calls{0};
    std::atomic<Clock::rep> lastCall{0};
    auto watch = service.watchFile(file.string(), 100, 1500, [&] {
        lastCall.store(Clock::now().time_since_epoch().count());
        ++calls;
    });
    ASSERT_NE(watch, nullptr);

    // Other files of the folder count for nothing.
    std::ofstream(temp.path() / "other.mac") << "x";
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(calls.load(), 0);

    // Written in place: one call, after the settle time.
    const auto written = Clock::now();
    std::ofstream(file) << "Default\nDown: [VK_DOWN]\nEnd\n";
    ASSERT_TRUE(test::waitUntil([&] { return calls.load() == 1; }, 2s));
    EXPECT_GE(Clock::time_point(Clock::duration(lastCall.load())) - written, 100ms);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(calls.load(), 1);

    // An editor's save: a new file renamed over the old one.
    std::ofstream(temp.path() / ".default.mac.tmp") << "Default\nEnd\n";
    fs::rename(temp.path() / ".default.mac.tmp", file);
    ASSERT_TRUE(test::waitUntil([&] { return calls.load() == 2; }, 2s));

    // A writer that keeps the file open and pauses longer than the settle time: told after
    // its close, not in between.
    {
        FILE* slow = std::fopen(file.c_str(), "w");
        ASSERT_NE(slow, nullptr);
        std::fputs("Default\n", slow);
        std::fflush(slow);
        std::this_thread::sleep_for(400ms);
        EXPECT_EQ(calls.load(), 2) << "told while the writer still had it open";
        std::fputs("End\n", slow);
        std::fclose(slow);
    }
    ASSERT_TRUE(test::waitUntil([&] { return calls.load() == 3; }, 2s));

    // Ended: no more calls.
    watch.reset();
    std::ofstream(file) << "x";
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(calls.load(), 3);
}

} // namespace
} // namespace velora::platform
