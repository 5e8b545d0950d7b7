#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "fakes/FakeKeyEventSource.h"
#include "fakes/RemoteFakes.h"
#include "remote/KernelKeys.h"
#include "remote/RemoteEngine.h"

namespace velora::remote {
namespace {

using platform::KeyAction;

struct EventRig : test::RemoteFakes
{
    test::FakeKeyEventSource source; // outlives the engine, which stops it
    RemoteEngine engine{services()};

    EventRig()
    {
        clock.set(50'000);
        files.put("default.mac", "Default\n"
                                 "Down: [VK_DOWN]\n"
                                 "Enter: [VK_RETURN]\n"
                                 "ChannelUp: [VK_PRIOR]\n"
                                 "Up: !\"u\"\n"
                                 "Recall: &calc&\n"
                                 "FullScreen: [VK_F] %1\n"
                                 "MouseMode: \"m\"\n"
                                 "End\n");
        engine.setLogSuppressed(false);
        EXPECT_TRUE(engine.LoadMacroFile("default.mac"));
        EXPECT_TRUE(engine.startEvents(source));
        log.clear();
        logFile.clear(); // the loader's note on "VK_F", which presses V
    }

    // Time passes (timers fire), then the event comes.
    std::string after(std::uint32_t ms, const std::string& name, KeyAction action)
    {
        timers.fireAllDue(clock.tickCount() + ms);
        log.clear();
        source.deliver(name, action);
        return log.joined();
    }
};

TEST(KeySources, EventKeysAreMappedByNameOrNumberAndNeedNoTick)
{
    EventRig rig;
    EXPECT_TRUE(rig.source.running);
    EXPECT_EQ(rig.timers.activeCount(), 0u) << "an event source needs no periodic tick";
    rig.source.deliver("KEY_DOWN");
    rig.source.deliver("ChannelUp"); // the remote's own name in a lircd.conf
    rig.source.deliver("KEY_OK");    // lands on Enter
    rig.source.deliver(108);         // KEY_DOWN from an input device
    rig.source.deliver(28, KeyAction::Release);
    EXPECT_EQ(rig.log.joined(), "+DOWN -DOWN +PRIOR -PRIOR +RETURN -RETURN +DOWN -DOWN");

    // Unknown keys are logged by the source's name for them, once per press.
    rig.source.deliver("KEY_TEEN");
    rig.source.deliver("KEY_TEEN", KeyAction::Repeat);
    rig.source.deliver(0x2ff);
    rig.source.deliver("key_down");
    EXPECT_EQ(rig.logFile.lines(),
              (std::vector<std::string>{"    RK_MAKE(KEY_TEEN, RK_UNKNOWN),\n", "    RK_MAKE(0x2ff, RK_UNKNOWN),\n",
                                        "    RK_MAKE(key_down, RK_UNKNOWN),\n"}));
    rig.source.notice("lircd at /run/lirc/lircd is not there: waiting for it");
    EXPECT_EQ(rig.logFile.lines().back(), "lircd at /run/lirc/lircd is not there: waiting for it\n");

    // A second source cannot start beside it; stopping lets go of it.
    test::FakeKeyEventSource other;
    EXPECT_FALSE(rig.engine.startEvents(other));
    rig.engine.reconnectEvents();
    EXPECT_EQ(rig.source.reconnects, 1);
    rig.engine.stopEvents();
    EXPECT_FALSE(rig.source.running);
    EXPECT_FALSE(rig.engine.hasEventSource());
}

TEST(KeySources, HeldKeysRepeatOnlyMacrosThatPressKeys)
{
    EventRig rig;
    EXPECT_EQ(rig.after(0, "KEY_DOWN", KeyAction::Press), "+DOWN -DOWN");
    // A quick press often brings a repeat or two: they count only from 300 ms on.
    EXPECT_EQ(rig.after(110, "KEY_DOWN", KeyAction::Repeat), "");
    EXPECT_EQ(rig.after(110, "KEY_DOWN", KeyAction::Repeat), "");
    EXPECT_EQ(rig.after(110, "KEY_DOWN", KeyAction::Repeat), "+DOWN -DOWN");
    EXPECT_EQ(rig.after(110, "KEY_DOWN", KeyAction::Repeat), "+DOWN -DOWN");
    // Typed text repeats too.
    rig.after(0, "KEY_UP", KeyAction::Press);
    EXPECT_EQ(rig.after(400, "KEY_UP", KeyAction::Repeat), "+U -U");
    // Never for a program start, a window command, or the mode switch (bound or not).
    for (const char* name : {"KEY_LAST", "KEY_ZOOM", "KEY_MODE"}) {
        rig.after(0, name, KeyAction::Press);
        EXPECT_EQ(rig.after(400, name, KeyAction::Repeat), "") << name;
        EXPECT_EQ(rig.after(110, name, KeyAction::Repeat), "") << name;
    }
    // A repeat of a key whose press was never seen counts as its press.
    EXPECT_EQ(rig.after(400, "KEY_DOWN", KeyAction::Repeat), "+DOWN -DOWN");
    // RepeatKeys 0: presses only.
    rig.engine.setRepeatKeys(false);
    EXPECT_EQ(rig.after(400, "KEY_DOWN", KeyAction::Repeat), "");
    EXPECT_EQ(rig.after(400, "KEY_DOWN", KeyAction::Press), "+DOWN -DOWN");
    EXPECT_EQ(rig.after(400, "KEY_DOWN", KeyAction::Repeat), "");
}

TEST(KeySources, HeldDirectionGlidesFasterUpToSixteenStepsAndStopsWithTheKey)
{
    EventRig rig;
    rig.engine.setMouseMode(1);
    rig.engine.setMouseStep(4);
    const int startX = rig.desktop.pointer.x;
    rig.source.deliver(7); // KEY_6: one step right
    EXPECT_EQ(rig.desktop.pointer.x, startX + 4);
    // Held as LIRC reports a NEC remote: a repeat every 110 ms.
    std::uint32_t crossedAfter = 0;
    int largestMove = 0;
    std::uint32_t held = 0;
    int lastX = rig.desktop.pointer.x;
    for (; held < 3000 && crossedAfter == 0; held += 10) {
        rig.timers.fireAllDue(rig.clock.tickCount() + 10);
        if (held % 110 == 100) {
            rig.source.deliver(7, KeyAction::Repeat);
        }
        largestMove = std::max(largestMove, rig.desktop.pointer.x - lastX);
        lastX = rig.desktop.pointer.x;
        if (rig.desktop.pointer.x - startX >= 1920) {
            crossedAfter = held;
        }
    }
    EXPECT_GE(crossedAfter, 1500u);
    EXPECT_LE(crossedAfter, 2300u) << "a 1920-pixel screen should take about two seconds";
    EXPECT_EQ(largestMove, 16 * 4);
    EXPECT_EQ(rig.desktop.pointer.y, 100);
    // The repeats stop: the pointer stops within the repeat interval, and the glide ends.
    const int atLastRepeat = rig.desktop.pointer.x;
    rig.timers.fireAllDue(rig.clock.tickCount() + 1000);
    EXPECT_LE(rig.desktop.pointer.x - atLastRepeat, 3 * 16 * 4);
    EXPECT_EQ(rig.timers.activeCount(), 0u);

    // An input device says when the key goes up: the glide stops at once.
    rig.source.deliver(3); // KEY_2: up
    rig.timers.fireAllDue(rig.clock.tickCount() + 500);
    rig.source.deliver(3, KeyAction::Repeat);
    rig.timers.fireAllDue(rig.clock.tickCount() + 45);
    const int y = rig.desktop.pointer.y;
    EXPECT_LT(y, 100 - 4);
    rig.source.deliver(3, KeyAction::Release);
    rig.timers.fireAllDue(rig.clock.tickCount() + 500);
    EXPECT_EQ(rig.desktop.pointer.y, y);
    EXPECT_EQ(rig.timers.activeCount(), 0u);

    // Clicks and toggles happen once per press, held or not.
    rig.log.clear();
    rig.source.deliver(6); // KEY_5: left click
    rig.timers.fireAllDue(rig.clock.tickCount() + 400);
    rig.source.deliver(6, KeyAction::Repeat);
    EXPECT_EQ(rig.log.joined(), "+LMB -LMB");
}

TEST(KeySources, KernelKeyTableReachesEveryKeyWithOneNamePerCode)
{
    std::set<RemoteKey> reached;
    std::map<int, std::string> names;
    std::set<std::string> spelled;
    for (int i = 0; i < kKernelKeyCount; ++i) {
        const KernelKey& row = KernelKeyTable[i];
        const std::string name = row.name;
        EXPECT_EQ(name.rfind("KEY_", 0), 0u) << name;
        EXPECT_TRUE(names.emplace(row.code, name).second) << name << " and " << names[row.code] << " share a code";
        EXPECT_TRUE(spelled.insert(name).second) << name << " twice";
        ASSERT_GE(row.key, 0) << name;
        ASSERT_LT(row.key, kKeyCount) << name;
        reached.insert(row.key);
        // Both ways of looking it up agree.
        EXPECT_EQ(findKernelKeyCode(row.code), row.key) << name;
        EXPECT_EQ(findButtonName(name), row.key) << name;
    }
    for (RemoteKey key = 0; key < kKeyCount; ++key) {
        EXPECT_EQ(reached.count(key), 1u) << keyName(key) << " is reached by no kernel key";
        // The remote's own names serve LIRC as well, and no kernel name hides one.
        EXPECT_EQ(findButtonName(keyName(key)), key) << keyName(key);
        EXPECT_EQ(findKeyName(keyName(key)), key) << keyName(key);
    }
    EXPECT_EQ(keyName(kKeyCount), nullptr);
    EXPECT_EQ(keyName(-1), nullptr);
}

TEST(KeySources, OnlyMacrosOfKeysAndTextCountAsPressingKeys)
{
    for (const char* text : {" [VK_DOWN]", "\"a&b@c%1\"", "![VK_RIGHT]", "[& @ %0]", "%2[VK_UP]", ""}) {
        EXPECT_TRUE(MacroPlayer::onlyPressesKeys(text)) << text;
    }
    for (const char* text : {"&calc&", "[VK_F] %1", "%0", "@Title@", "\"x\" &kavoshell", "[VK_UP] @"}) {
        EXPECT_FALSE(MacroPlayer::onlyPressesKeys(text)) << text;
    }
}

} // namespace
} // namespace velora::remote
