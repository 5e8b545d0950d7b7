// The engine with its real threads: the 10 ms tick and the release timers run while this
// thread reloads macro files, changes the step and asks for re-arming, as the daemon's
// window thread does. Run under ThreadSanitizer in CI, where any unsynchronised sharing
// between these threads fails the test.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "fakes/RecordingDesktop.h"
#include "tests/remote/CardEngineRig.h"

namespace velora::remote {
namespace {

using namespace std::chrono_literals;

TEST(RemoteEngineThreads, ReloadsAndSettingsFromAnotherThreadWhileKeysArePlayed)
{
    test::EventLog log;
    test::RecordingDesktop desktop(log);
    desktop.title = "Test window";
    {
        CardEngineRig rig;
        ASSERT_TRUE(rig.open("Default\nDown: ![VK_DOWN]\nEnd\n"));
        const test::TempDir& dir = rig.virtualCard.folder();
        dir.write("b.mac", "WhenActive \"Test\"\nDown: [VK_NEXT]\nEnd\n");
        ASSERT_NO_FATAL_FAILURE(rig.startEngine(desktop));
        RemoteEngine& engine = *rig.engine;

        std::atomic<bool> done{false};
        std::thread window([&] {
            for (int i = 0; !done.load(); ++i) {
                engine.LoadMacroFile(dir.file(i % 2 == 0 ? "b.mac" : "test.mac"));
                engine.setMouseStep(i % 20);
                if (i % 250 == 249) {
                    engine.RequestReinit();
                }
                std::this_thread::sleep_for(1ms);
            }
        });
        // The same key again and again: each press passes through 0 first, so every one is new
        // (the first one comes well after arming, as a different key must).
        std::this_thread::sleep_for(250ms);
        for (int press = 0; press < 60; ++press) {
            rig.press(0x98);
            std::this_thread::sleep_for(15ms);
        }
        done.store(true);
        window.join();
        engine.stopTick();
        engine.DisarmReceiver();
    }
    // Every event belongs to one of the two files' macros; plenty of keys got through.
    int presses = 0;
    for (const std::string& event : desktop.events()) {
        EXPECT_TRUE(event == "+DOWN" || event == "-DOWN" || event == "+NEXT" || event == "-NEXT") << event;
        presses += event.front() == '+' ? 1 : 0;
    }
    EXPECT_GT(presses, 20);
}

} // namespace
} // namespace velora::remote
