// The engine on an event source with its real threads: an input device (a FIFO) read on the
// source's thread, the pointer's glide on a timer thread, while this thread changes the mode
// and the step and finally ends the engine in the middle of a held key. Run under
// ThreadSanitizer in CI, where any unsynchronised sharing between these threads fails it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <linux/input.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fakes/MemoryFileSystem.h"
#include "fakes/RecordingDesktop.h"
#include "fakes/RecordingLogFile.h"
#include "platform/linux/InputKeySource.h"
#include "platform/linux/LinuxTimerService.h"
#include "platform/linux/UniqueFd.h"
#include "remote/RemoteEngine.h"
#include "tests/support/InputRecords.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitUntil.h"

namespace velora::remote {
namespace {

using namespace std::chrono_literals;

TEST(EventSourceThreads, HeldKeysGlideAndRepeatWhileTheOwnerChangesSettingsAndEndsIt)
{
    test::TempDir dir("velora-events");
    const std::string fifo = dir.file("event3");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    test::EventLog log;
    test::RecordingDesktop desktop(log);
    test::RecordingProgramStarter programs(log);
    test::RecordingLogFile logFile;
    test::MemoryFileSystem files;
    files.put("keys.mac", "Default\nUp: [VK_UP]\nEnd\n");
    platform::LinuxTimerService timers;
    platform::InputKeySource source(fifo, dir.path().string());
    RemoteEngine engine(RemoteServices{platform::systemClock(), timers, desktop, programs, logFile, files});
    ASSERT_TRUE(engine.LoadMacroFile("keys.mac"));
    ASSERT_TRUE(engine.startEvents(source));
    const posix::UniqueFd writer(::open(fifo.c_str(), O_WRONLY | O_CLOEXEC));
    ASSERT_TRUE(writer.valid());
    const auto send = [&](unsigned short code, int value) {
        const std::string record = test::keyRecord(code, value);
        ASSERT_EQ(::write(writer.get(), record.data(), record.size()), static_cast<ssize_t>(record.size()));
    };

    // Keyboard mode: a held Up plays its macro again for each repeat after the first 300 ms.
    send(KEY_UP, 1);
    for (int i = 0; i < 10; ++i) {
        std::this_thread::sleep_for(50ms);
        send(KEY_UP, 2);
    }
    send(KEY_UP, 0);
    ASSERT_TRUE(test::waitUntil([&] { return desktop.events().size() >= 10; }, 5s));
    const std::size_t presses = desktop.events().size() / 2;
    EXPECT_GE(presses, 4u);
    EXPECT_LE(presses, 9u);

    // Mouse mode: a held "6" glides right, faster and faster, while another thread plays with
    // the step; let go, it stops.
    engine.setMouseMode(1);
    engine.setMouseStep(4);
    std::atomic<bool> done{false};
    std::thread owner([&] {
        for (int i = 0; !done.load(); ++i) {
            engine.setMouseStep(4 + i % 3);
            std::this_thread::sleep_for(3ms);
        }
    });
    const int startX = desktop.pointerPosition().x;
    send(KEY_6, 1);
    for (int i = 0; i < 20; ++i) {
        std::this_thread::sleep_for(50ms);
        send(KEY_6, 2);
    }
    send(KEY_6, 0);
    std::this_thread::sleep_for(100ms);
    const int stoppedX = desktop.pointerPosition().x;
    EXPECT_GT(stoppedX - startX, 300) << "a second of holding should glide a long way";
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(desktop.pointerPosition().x, stoppedX) << "the glide goes on after the release";

    // Ended while a key is held and gliding: nothing hangs, nothing moves afterwards.
    send(KEY_4, 1);
    for (int i = 0; i < 8; ++i) {
        std::this_thread::sleep_for(50ms);
        send(KEY_4, 2);
    }
    engine.shutdown();
    done.store(true);
    owner.join();
    const int endedX = desktop.pointerPosition().x;
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(desktop.pointerPosition().x, endedX);
    EXPECT_FALSE(engine.hasEventSource());
}

} // namespace
} // namespace velora::remote
