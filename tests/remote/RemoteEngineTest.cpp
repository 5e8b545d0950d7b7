#include <gtest/gtest.h>

#include "fakes/RemoteFakes.h"
#include "hw/BtRegisters.h"
#include "remote/RemoteEngine.h"

namespace velora::remote {
namespace {

constexpr const char* kMacros = "Default\n"
                                "Down: [VK_DOWN]\n"
                                "VolumeUp: [VK_UP]\n"
                                "Mute: [VK_CONTROL M]\n"
                                "End\n"
                                "WhenActive \"Player\"\n"
                                "Down: [VK_NEXT]\n"
                                "MouseMode: \"m\"\n"
                                "Mute\n"
                                "End\n";

struct EngineRig : test::RemoteFakes
{
    CaptureCard card{loader, clock, CardRelease::UnmapThenUnload};
    RemoteEngine engine{services()};
    std::vector<int> modeChanges;

    EngineRig()
    {
        driver.logReads = false;
        clock.set(100'000);
        files.put("default.mac", kMacros);
        engine.setModeListener([this](int mode) { modeChanges.push_back(mode); });
        EXPECT_TRUE(engine.LoadMacroFile("default.mac"));
        engine.ArmReceiver(card);
        engine.startTick();
        log.clear();
    }

    // The remote shows a code; 300 ms of ticks pass, so that the glitch rule never bites.
    std::string press(std::uint32_t code)
    {
        log.clear();
        driver.registers[bt::GPIO_DATA] = code;
        timers.fireAllDue(clock.tickCount() + 300);
        return log.joined();
    }
};

TEST(RemoteEngine, KeysPlayTheMacroBoundForTheWindowInFront)
{
    EngineRig rig;
    EXPECT_TRUE(rig.timers.isPeriodic(rig.timers.lastStarted()));
    EXPECT_EQ(rig.timers.intervalOf(rig.timers.lastStarted()), 10u);
    EXPECT_EQ(rig.press(0xFF), ""); // the first sample after arming is only stored
    EXPECT_EQ(rig.press(0x98), "+DOWN -DOWN");
    rig.desktop.title = "Media Player - song.mp3";
    EXPECT_EQ(rig.press(0x00), "");
    EXPECT_EQ(rig.press(0x98), "+NEXT -NEXT");
    // Unbound in the Player scope: falls through to the Default binding.
    EXPECT_EQ(rig.press(0xD8), "+CONTROL +M -M -CONTROL");
    // Bound nowhere: nothing.
    EXPECT_EQ(rig.press(0x48), "");
}

TEST(RemoteEngine, MouseModeKeyTogglesUnlessAMacroIsBoundToIt)
{
    EngineRig rig;
    rig.press(0xFF);
    EXPECT_EQ(rig.press(0x80), "");
    EXPECT_EQ(rig.engine.mouseMode(), 1);
    EXPECT_EQ(rig.modeChanges, std::vector<int>{1});
    // In mouse mode a bound key does nothing but its mouse action (VolumeUp has none).
    EXPECT_EQ(rig.press(0x28), "");
    EXPECT_EQ(rig.press(0x90), "goto 104,100");
    // A MouseMode macro bound for the window in front plays instead, and the mode stays.
    rig.desktop.title = "Player";
    EXPECT_EQ(rig.press(0x80), "+M -M");
    EXPECT_EQ(rig.engine.mouseMode(), 1);
    rig.desktop.title = "Editor";
    rig.press(0x00);
    EXPECT_EQ(rig.press(0x80), "");
    EXPECT_EQ(rig.engine.mouseMode(), 0);
    EXPECT_EQ(rig.modeChanges, (std::vector<int>{1, 0}));
    // A mode set by the window thread is toggled from there.
    rig.engine.setMouseMode(7);
    rig.press(0x00);
    rig.press(0x80);
    EXPECT_EQ(rig.engine.mouseMode(), 0);
}

TEST(RemoteEngine, ReloadReplacesTheTablesWholeOrNotAtAll)
{
    EngineRig rig;
    rig.press(0xFF);
    rig.files.put("other.mac", "Default\nVolumeUp: [VK_F5]\nEnd\n");
    EXPECT_TRUE(rig.engine.LoadMacroFile("other.mac"));
    // Bindings of the earlier file are gone.
    EXPECT_EQ(rig.press(0x28), "+F5 -F5");
    EXPECT_EQ(rig.press(0x98), "");
    // A file that cannot be read leaves the tables in force.
    EXPECT_FALSE(rig.engine.LoadMacroFile("missing.mac"));
    rig.press(0x00);
    EXPECT_EQ(rig.press(0x28), "+F5 -F5");
    // Data files are found whatever their letter case.
    rig.files.put("Macros/TV.MAC", "Default\nVolumeUp: [VK_F6]\nEnd\n");
    EXPECT_TRUE(rig.engine.LoadMacroFile("macros/tv.mac"));
    rig.press(0x00);
    EXPECT_EQ(rig.press(0x28), "+F6 -F6");
}

TEST(RemoteEngine, TablesBeingPlayedSurviveAReload)
{
    EngineRig rig;
    const std::shared_ptr<const MacroTables> held = rig.engine.macroTables();
    rig.files.put("other.mac", "");
    ASSERT_TRUE(rig.engine.LoadMacroFile("other.mac"));
    EXPECT_NE(rig.engine.macroTables(), held);
    EXPECT_EQ(*held->scopes[0].macros[keys::Down], " [VK_DOWN]");
}

TEST(RemoteEngine, TitleIsOnlyAskedForWhenWindowScopesExist)
{
    EngineRig rig;
    rig.press(0xFF);
    rig.press(0x98);
    EXPECT_GT(rig.desktop.titleReads, 0);
    rig.files.put("plain.mac", "Default\nDown: [VK_DOWN]\nEnd\n");
    rig.engine.LoadMacroFile("plain.mac");
    rig.desktop.titleReads = 0;
    rig.press(0x00);
    EXPECT_EQ(rig.press(0x98), "+DOWN -DOWN");
    EXPECT_EQ(rig.desktop.titleReads, 0);
}

TEST(RemoteEngine, StoppingTheTickCancelsTheTimer)
{
    EngineRig rig;
    const platform::TimerId tick = rig.timers.lastStarted();
    rig.engine.stopTick();
    EXPECT_FALSE(rig.timers.isActive(tick));
    EXPECT_FALSE(rig.engine.isTicking());
    rig.engine.DisarmReceiver();
    EXPECT_EQ(rig.driver.registers[bt::GPIO_DATA] & 0xFFu, 0u);
}

} // namespace
} // namespace velora::remote
