#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <set>
#include <thread>

#include "hw/BtRegisters.h"
#include "platform/VirtualKeys.h"
#include "tests/remote/DaemonRig.h"

namespace velora::remote {
namespace {

using platform::VK_CONTROL;
using platform::VK_F10;
using platform::VK_F11;
using platform::VK_F12;

TEST(RemoteDaemon, DefaultsWithoutSettingsFile)
{
    DaemonRig rig;
    RemoteDaemon& daemon = rig.make();
    EXPECT_EQ(daemon.engine().mouseMode(), 0);
    EXPECT_EQ(daemon.AutoInit, 1);
    EXPECT_EQ(daemon.AutoInitTimeout, 60);
    EXPECT_EQ(daemon.MacroPath, "default.mac");
    EXPECT_EQ(daemon.ReinitHotKey, 3);
    EXPECT_EQ(daemon.MouseSpeed, 4);
    EXPECT_EQ(daemon.engine().mouseStep(), 4);
    EXPECT_FALSE(daemon.engine().log().suppressed());
    EXPECT_EQ(daemon.reinitCountdown, 600);
    ASSERT_TRUE(daemon.engine().macroTables()->scopes[0].macros[keys::Down]);
}

TEST(RemoteDaemon, SettingsAreReadFromTheirSection)
{
    DaemonRig rig("[KavoRemote]\nInitialMode=1\nAutoInit=0\nAutoInitTimeout=5\nMacroPath=tv.mac\n"
                  "ReinitHotKey=1\nMouseSpeed=12\nDebug=1\n");
    rig.files.put("tv.mac", "Default\nMute: [VK_F1]\nEnd\n");
    RemoteDaemon& daemon = rig.make();
    EXPECT_EQ(daemon.engine().mouseMode(), 1);
    EXPECT_EQ(daemon.reinitCountdown, 0);
    EXPECT_EQ(daemon.engine().mouseStep(), 12);
    EXPECT_TRUE(daemon.engine().log().suppressed());
    EXPECT_TRUE(daemon.engine().macroTables()->scopes[0].macros[30]);
}

TEST(RemoteDaemon, StartArmsAndTicksAndShutdownUndoesItInOrder)
{
    DaemonRig rig;
    RemoteDaemon& daemon = rig.make();
    rig.log.clear();
    ASSERT_TRUE(daemon.start());
    EXPECT_EQ(rig.log.joined(),
              "timer on load libvelorahwio.so pci 109e:350 pci 109e:351 pci 109e:36e map 1 8 write 0x200 0xff");
    EXPECT_TRUE(daemon.engine().isTicking());
    rig.log.clear();
    daemon.shutdown();
    EXPECT_EQ(rig.log.joined(), "timer off write 0x200 0x0 unmap 1 8 unload");
    EXPECT_FALSE(daemon.engine().isTicking());
    rig.log.clear();
    daemon.shutdown();
    EXPECT_EQ(rig.log.joined(), "");
}

// A caller that ends the process once shutdown() returns (the end on a lost display) must not
// cut short a shutdown that another thread has begun.
TEST(RemoteDaemon, ShutdownFromASecondThreadReturnsOnlyWhenTheFirstHasFinished)
{
    DaemonRig rig;
    RemoteDaemon& daemon = rig.make();
    ASSERT_TRUE(daemon.start());
    std::promise<void> midway;
    std::promise<void> goOn;
    rig.window.whileTimerStops = [&, wait = goOn.get_future().share()] {
        midway.set_value();
        wait.wait();
    };
    std::thread first([&] { daemon.shutdown(); });
    midway.get_future().wait();
    std::atomic<bool> secondReturned{false};
    std::thread second([&] {
        daemon.shutdown();
        secondReturned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(secondReturned) << "the second call returned while the first was under way";
    goOn.set_value();
    second.join();
    first.join();
    EXPECT_NE(rig.log.joined().find("write 0x200 0x0 unmap 1 8 unload"), std::string::npos) << rig.log.joined();
}

TEST(RemoteDaemon, StartWithoutCardSaysSoAndShutsDown)
{
    DaemonRig rig;
    rig.driver.presentDevice.reset();
    RemoteDaemon& daemon = rig.make();
    rig.log.clear();
    EXPECT_FALSE(daemon.start());
    EXPECT_NE(rig.log.joined().find("message BT848 not found! Check DLLs"), std::string::npos);
    EXPECT_FALSE(daemon.engine().isTicking());
    rig.log.clear();
    daemon.shutdown();
    EXPECT_EQ(rig.log.joined(), "timer off unload");
}

TEST(RemoteDaemon, CountdownRearmsEveryTimeoutAndRestartsOnRequest)
{
    DaemonRig rig("[KavoRemote]\nAutoInitTimeout=5\n");
    RemoteDaemon& daemon = rig.make();
    ASSERT_TRUE(daemon.start());
    EXPECT_EQ(rig.rearmTicks(100), (std::vector<int>{50, 100}));
    // "Re-init now!" after 3 s: at once, and the next one 5 s later.
    EXPECT_EQ(rig.rearmTicks(30), std::vector<int>{});
    daemon.RequestReinit();
    EXPECT_TRUE(daemon.engine().receiver().reinitPending());
    daemon.engine().receiver().PollReceiver();
    EXPECT_EQ(rig.rearmTicks(50), std::vector<int>{50});
}

TEST(RemoteDaemon, TimeoutZeroOrAutoInitOffNeverRearmsByItself)
{
    for (const char* ini : {"[KavoRemote]\nAutoInit=1\nAutoInitTimeout=0\n", "[KavoRemote]\nAutoInit=0\n"}) {
        DaemonRig rig(ini);
        RemoteDaemon& daemon = rig.make();
        ASSERT_TRUE(daemon.start());
        EXPECT_TRUE(rig.rearmTicks(1000).empty()) << ini;
        // The hot key still works.
        rig.desktop.keysDown = {VK_CONTROL, VK_F12};
        EXPECT_EQ(rig.rearmTicks(2), (std::vector<int>{1, 2}));
    }
}

TEST(RemoteDaemon, HotKeyFollowsItsIndex)
{
    DaemonRig rig("[KavoRemote]\nAutoInit=0\nReinitHotKey=1\n");
    RemoteDaemon& daemon = rig.make();
    ASSERT_TRUE(daemon.start());
    EXPECT_EQ(daemon.windowTicksDue(), 1); // polled: this desktop cannot report presses
    rig.desktop.keysDown = {VK_F10};
    EXPECT_TRUE(rig.rearmTicks(3).empty()); // F10 without Control
    rig.desktop.keysDown = {VK_CONTROL, VK_F12};
    EXPECT_TRUE(rig.rearmTicks(3).empty()); // the wrong function key
    rig.desktop.keysDown = {VK_CONTROL, VK_F10};
    EXPECT_EQ(rig.rearmTicks(3), (std::vector<int>{1, 2, 3})); // held: every 100 ms
    daemon.ReinitHotKey = 0;
    for (const std::uint8_t key : {VK_F10, VK_F11, VK_F12}) {
        rig.desktop.keysDown = {VK_CONTROL, key};
        EXPECT_TRUE(rig.rearmTicks(3).empty());
    }
}

// Where the desktop reports key presses, the hot key is checked at each press on the window
// thread and window timer 1 runs only while the countdown does.
TEST(RemoteDaemon, WatchedHotKeyAndCountdownRunTheWindowTimerOnlyWhenNeeded)
{
    DaemonRig rig("[KavoRemote]\nAutoInit=0\nReinitHotKey=3\n");
    rig.desktop.canWatchKeys = true;
    RemoteDaemon& daemon = rig.make();
    ASSERT_TRUE(daemon.start());
    EXPECT_EQ(rig.window.timerStarts, 0);
    ASSERT_TRUE(rig.desktop.keyWatcher);
    const auto press = [&](std::set<std::uint8_t> held) {
        rig.desktop.keysDown = std::move(held);
        rig.desktop.keyWatcher();
        const bool beforeWindowThread = daemon.engine().receiver().reinitPending();
        rig.window.runPosted();
        return !beforeWindowThread && daemon.engine().receiver().reinitPending();
    };
    EXPECT_FALSE(press({VK_F12}));
    EXPECT_TRUE(press({VK_CONTROL, VK_F12}));
    daemon.engine().receiver().PollReceiver();

    // The countdown needs the timer; a reinit starts it again, and switching it off stops it.
    OptionsForm form = daemon.options();
    form.autoInit = true;
    form.timeoutText = "1";
    ASSERT_FALSE(daemon.saveOptions(form));
    EXPECT_EQ(rig.window.timerStarts, 1);
    EXPECT_EQ(daemon.windowTicksDue(), 10); // nothing but the countdown until then
    EXPECT_EQ(rig.rearmTicks(3), (std::vector<int>{}));
    EXPECT_EQ(daemon.windowTicksDue(), 7);
    EXPECT_EQ(rig.rearmTicks(17), (std::vector<int>{7, 17}));
    form.autoInit = false;
    form.hotKeyIndex = 0;
    ASSERT_FALSE(daemon.saveOptions(form));
    EXPECT_FALSE(rig.desktop.keyWatcher);
    const std::string events = rig.log.joined();
    EXPECT_NE(events.find("timer on"), std::string::npos);
    EXPECT_EQ(events.rfind("timer off") > events.rfind("timer on") && events.find("unwatch keys") != std::string::npos,
              true);

    // A press posted before the end is not acted on after it.
    form.hotKeyIndex = 3;
    ASSERT_FALSE(daemon.takeOptions(form));
    rig.desktop.keysDown = {VK_CONTROL, VK_F12};
    rig.desktop.keyWatcher();
    daemon.shutdown();
    EXPECT_FALSE(rig.desktop.keyWatcher);
    rig.window.runPosted();
    EXPECT_FALSE(daemon.engine().receiver().reinitPending());
}

TEST(RemoteDaemon, ModeCommandsAndIconClicks)
{
    DaemonRig rig;
    RemoteDaemon& daemon = rig.make();
    daemon.mouseModeCommand();
    EXPECT_EQ(daemon.engine().mouseMode(), 1);
    EXPECT_EQ(rig.window.icon, 1);
    daemon.iconLeftClick();
    EXPECT_EQ(daemon.engine().mouseMode(), 0);
    EXPECT_EQ(rig.window.icon, 0);
    daemon.iconLeftClick();
    EXPECT_EQ(rig.window.icon, 1);
    daemon.keyboardModeCommand();
    EXPECT_EQ(rig.window.icon, 0);
    // A mode changed by a remote key reaches the icon through the engine's listener.
    ASSERT_TRUE(daemon.start());
    rig.timers.fireAllDue(rig.clock.tickCount() + 300);
    rig.driver.registers[bt::GPIO_DATA] = 0x80;
    rig.timers.fireAllDue(rig.clock.tickCount() + 20);
    EXPECT_EQ(rig.window.icon, 1);
}

TEST(RemoteDaemon, SpeedTypedDigitByDigitTakesEffectUncheckedButFailsValidation)
{
    DaemonRig rig;
    RemoteDaemon& daemon = rig.make();
    OptionsForm form = daemon.options();
    for (const char* typed : {"2", "25", "250"}) {
        form.speedText = typed;
        daemon.speedEdited(typed);
        EXPECT_EQ(daemon.engine().mouseStep(), std::atoi(typed));
    }
    const auto error = daemon.takeOptions(form);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->field, OptionsError::Field::Speed);
    EXPECT_EQ(error->message, "Please enter an integer between 1 and 100.");
    EXPECT_EQ(daemon.engine().mouseStep(), 250);
    // Clearing the edit or typing letters changes nothing.
    daemon.speedEdited("");
    daemon.speedEdited("abc");
    EXPECT_EQ(daemon.engine().mouseStep(), 250);
    // The options window shows the step that "Inc" and "Dec" left.
    daemon.engine().setMouseStep(9);
    daemon.prepareOptions();
    EXPECT_EQ(daemon.options().speedText, "9");
}

TEST(RemoteDaemon, ValidationGoesInOrderAndStopsAtTheFirstBadValue)
{
    DaemonRig rig;
    RemoteDaemon& daemon = rig.make();
    OptionsForm form{false, "1000", "other.mac", "500", 2};
    auto error = daemon.takeOptions(form);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->field, OptionsError::Field::Timeout);
    EXPECT_EQ(error->message, "Please enter an integer between 0 and 999.");
    EXPECT_EQ(daemon.AutoInit, 0);              // taken before the bad value
    EXPECT_EQ(daemon.MacroPath, "default.mac"); // not reached
    form.timeoutText = " 30 ";
    EXPECT_EQ(daemon.takeOptions(form)->field, OptionsError::Field::Speed);
    EXPECT_EQ(daemon.MacroPath, "other.mac");
    form.speedText = "0";
    EXPECT_TRUE(daemon.takeOptions(form));
    form.speedText = "12x";
    EXPECT_TRUE(daemon.takeOptions(form));
    form.speedText = "100";
    EXPECT_FALSE(daemon.takeOptions(form));
    EXPECT_EQ(daemon.AutoInitTimeout, 30);
    EXPECT_EQ(daemon.MouseSpeed, 100);
    EXPECT_EQ(daemon.ReinitHotKey, 2);
}

TEST(RemoteDaemon, SaveWritesTheKeysInOrderAndRestartsTheCountdown)
{
    DaemonRig rig("; settings\n[KavoRemote]\nDebug=0\n[TV]\nTuner=Default\n");
    RemoteDaemon& daemon = rig.make();
    daemon.mouseModeCommand();
    daemon.reinitCountdown = 3;
    EXPECT_FALSE(daemon.saveOptions(OptionsForm{true, "5", "/home/me/tv.mac", "7", 1}));
    EXPECT_EQ(daemon.reinitCountdown, 50);
    EXPECT_FALSE(daemon.engine().receiver().reinitPending());
    EXPECT_EQ(rig.profile.text(kIni), "; settings\n[KavoRemote]\nDebug=0\nInitialMode=1\nAutoInit=1\n"
                                      "AutoInitTimeout=5\nReinitHotKey=1\nMouseSpeed=7\nRepeatKeys=1\nFeedback=1\n"
                                      "MacroPath=/home/me/tv.mac\nKeySource=card\nLircSocket=\nInputDevice=\n"
                                      "[TV]\nTuner=Default\n");
    // A bad value saves nothing.
    const int writes = rig.profile.writeCount();
    EXPECT_TRUE(daemon.saveOptions(OptionsForm{true, "5", "x", "700", 1}));
    EXPECT_EQ(rig.profile.writeCount(), writes);
    // The next start is in mouse mode.
    DaemonRig next(*rig.profile.text(kIni));
    EXPECT_EQ(next.make().engine().mouseMode(), 1);
}

TEST(RemoteDaemon, SaveThatCannotWriteSaysSo)
{
    DaemonRig rig;
    RemoteDaemon& daemon = rig.make();
    rig.profile.setFailWrites(true);
    EXPECT_FALSE(daemon.saveOptions(daemon.options()));
    EXPECT_EQ(rig.window.failures,
              std::vector<std::string>{std::string("The options could not be saved to '") + kIni + "'."});
    // A card that is not found is a failure as well.
    rig.window.failures.clear();
    rig.driver.presentDevice.reset();
    daemon.ReloadDrivers();
    EXPECT_EQ(rig.window.failures, std::vector<std::string>{"BT848 not found! Check DLLs"});
}

TEST(RemoteDaemon, ReloadKeyTablesAlwaysSaysWhatItLoaded)
{
    DaemonRig rig;
    RemoteDaemon& daemon = rig.make();
    rig.files.put("/media/tv.mac", "Default\nMute: [VK_F3]\nEnd\n");
    daemon.macroFileChosen("/media/tv.mac");
    EXPECT_EQ(RemoteDaemon::loadQuestion(daemon.MacroPath), "Load '/media/tv.mac' now ?");
    rig.log.clear();
    EXPECT_FALSE(daemon.reloadKeyTables(daemon.options()));
    EXPECT_EQ(rig.log.joined(), "message Loaded key tables from '/media/tv.mac'.");
    EXPECT_TRUE(daemon.engine().macroTables()->scopes[0].macros[30]);
    // A file that cannot be read: the message all the same, the tables stay.
    OptionsForm form = daemon.options();
    form.macroPath = "gone.mac";
    rig.log.clear();
    EXPECT_FALSE(daemon.reloadKeyTables(form));
    EXPECT_EQ(rig.log.joined(), "message Loaded key tables from 'gone.mac'.");
    EXPECT_TRUE(daemon.engine().macroTables()->scopes[0].macros[30]);
}

TEST(RemoteDaemon, ReloadDriversFindsTheCardAgainAndKeepsTheTimersRunning)
{
    DaemonRig rig;
    RemoteDaemon& daemon = rig.make();
    ASSERT_TRUE(daemon.start());
    rig.driver.presentDevice.reset();
    rig.log.clear();
    daemon.ReloadDrivers();
    EXPECT_EQ(rig.log.joined(), "timer off write 0x200 0x0 unmap 1 8 unload load libvelorahwio.so pci 109e:350 "
                                "pci 109e:351 pci 109e:36e pci 109e:36f message BT848 not found! Check DLLs timer on");
    EXPECT_TRUE(daemon.engine().isTicking());
    EXPECT_EQ(rig.window.timerStarts, 2);
    // The card comes back with the next reload.
    rig.driver.presentDevice = 0x350;
    rig.log.clear();
    daemon.ReloadDrivers();
    EXPECT_EQ(rig.log.joined(),
              "timer off unload load libvelorahwio.so pci 109e:350 map 1 8 write 0x200 0xff timer on");
    EXPECT_TRUE(daemon.card()->IsFound());
}

TEST(RemoteDaemon, ShutdownInsideAMessageBoxIsFinal)
{
    DaemonRig rig;
    RemoteDaemon& daemon = rig.make();
    ASSERT_TRUE(daemon.start());
    // "Reload drivers..." finds no card, and the program is told to end while the message
    // waits for its OK: the card just made is destroyed and nothing is armed or restarted.
    rig.driver.presentDevice.reset();
    rig.window.whileShown = [&] { daemon.shutdown(); };
    rig.log.clear();
    daemon.ReloadDrivers();
    EXPECT_EQ(rig.log.joined(), "timer off write 0x200 0x0 unmap 1 8 unload load libvelorahwio.so pci 109e:350 "
                                "pci 109e:351 pci 109e:36e pci 109e:36f message BT848 not found! Check DLLs unload");
    EXPECT_EQ(daemon.card(), nullptr);
    EXPECT_EQ(rig.timers.activeCount(), 0u);
    // Afterwards no command brings the receiver, a timer or a message back.
    rig.driver.presentDevice = 0x350;
    rig.log.clear();
    daemon.ReloadDrivers();
    daemon.RequestReinit();
    daemon.windowTimer();
    daemon.engine().startTick();
    EXPECT_FALSE(daemon.reloadKeyTables(daemon.options()));
    EXPECT_FALSE(daemon.confirmExit());
    EXPECT_EQ(rig.log.joined(), "");
    EXPECT_EQ(rig.timers.activeCount(), 0u);
    EXPECT_FALSE(daemon.engine().receiver().reinitPending());
}

TEST(RemoteDaemon, ShutdownReleasesWhatChordsAndButtonsStillHold)
{
    DaemonRig rig;
    rig.files.put("default.mac", "Default\nDown: ![VK_CONTROL VK_MENU T]\nEnd\n");
    RemoteDaemon& daemon = rig.make();
    ASSERT_TRUE(daemon.start());
    rig.timers.fireAllDue(rig.clock.tickCount() + 300);
    // A delayed chord lets go only of its first key; the others stay down while it runs.
    rig.log.clear();
    rig.pressKey(0x98);
    EXPECT_EQ(rig.log.joined(), "+CONTROL +MENU +T -CONTROL");
    // In mouse mode "Cancel" holds the left button down.
    daemon.mouseModeCommand();
    rig.pressKey(0xF8);
    daemon.keyboardModeCommand();
    // Again, and the program ends before the pending release: everything goes up, the
    // latest pressed first, before the receiver is disarmed.
    rig.pressKey(0x00);
    rig.driver.registers[bt::GPIO_DATA] = 0x98;
    rig.timers.fireAllDue(rig.clock.tickCount() + 20);
    rig.log.clear();
    daemon.shutdown();
    EXPECT_EQ(rig.log.joined(), "-CONTROL -T -MENU -LMB timer off write 0x200 0x0 unmap 1 8 unload");
}

TEST(RemoteDaemon, ShutdownCutsAPlayingMacroShort)
{
    DaemonRig rig;
    rig.files.put("default.mac", "Default\nDown: @One@ @Two@ @Three@ [VK_F1]\nEnd\n");
    rig.desktop.windows = {"One", "Two", "Three"};
    RemoteDaemon& daemon = rig.make();
    ASSERT_TRUE(daemon.start());
    rig.timers.fireAllDue(rig.clock.tickCount() + 300);
    // The first activation plays; the program is told to end during the second pause.
    int pauses = 0;
    rig.clock.duringSleep = [&] {
        if (++pauses == 2) {
            daemon.shutdown();
        }
    };
    rig.log.clear();
    rig.pressKey(0x98);
    EXPECT_EQ(rig.log.joined(), "activate One timer off write 0x200 0x0 unmap 1 8 unload");
    EXPECT_EQ(pauses, 2);
}

TEST(RemoteDaemon, ExitAsksFirst)
{
    DaemonRig rig;
    RemoteDaemon& daemon = rig.make();
    rig.window.answer = false;
    EXPECT_FALSE(daemon.confirmExit());
    EXPECT_EQ(rig.log.events().back(), "ask Are you sure you want to quit ?");
}

} // namespace
} // namespace velora::remote
