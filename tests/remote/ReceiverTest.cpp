#include <gtest/gtest.h>

#include "fakes/FakeCard.h"
#include "fakes/RecordingLogFile.h"
#include "hw/BtRegisters.h"
#include "remote/Receiver.h"

namespace velora::remote {
namespace {

struct ReceiverRig : test::FakeCard
{
    test::RecordingLogFile logFile;
    RemoteLog log{logFile};
    Receiver receiver{clock, log};

    ReceiverRig() : FakeCard(CardRelease::UnmapThenUnload)
    {
        log.setSuppressed(false);
        clock.set(1'000'000);
    }

    // One tick seeing this low byte, after the given time has passed.
    void tick(std::uint32_t lowByte, std::uint32_t afterMs = 10)
    {
        clock.advance(afterMs);
        auto& gpio = driver.registers[bt::GPIO_DATA];
        gpio = (gpio & ~0xFFu) | lowByte;
        receiver.PollReceiver();
    }

    std::vector<RemoteKey> queued()
    {
        std::vector<RemoteKey> keys;
        while (!receiver.queue().isEmpty()) {
            keys.push_back(receiver.queue().take());
        }
        return keys;
    }
};

TEST(Receiver, ArmingSetsTheLowByteAndSkipsTheFirstSample)
{
    ReceiverRig rig;
    rig.driver.registers[bt::GPIO_DATA] = 0x12300;
    rig.receiver.queue().put(5);
    rig.receiver.ArmReceiver(rig.card);
    EXPECT_EQ(rig.driver.registers[bt::GPIO_DATA], 0x123FFu);
    EXPECT_TRUE(rig.receiver.queue().isEmpty());

    // The first tick after arming stores a different byte without decoding it.
    rig.tick(0x28, 1000);
    EXPECT_TRUE(rig.queued().empty());
    rig.tick(0x28);
    EXPECT_TRUE(rig.queued().empty());
    rig.tick(0x98);
    EXPECT_EQ(rig.queued(), std::vector<RemoteKey>{26});

    rig.receiver.DisarmReceiver();
    EXPECT_EQ(rig.driver.registers[bt::GPIO_DATA], 0x12300u);
    rig.driver.registers[bt::GPIO_DATA] = 0x1FF;
    rig.receiver.DisarmReceiver(); // no card remembered any more: nothing happens
    EXPECT_EQ(rig.driver.registers[bt::GPIO_DATA], 0x1FFu);
    rig.tick(0xE8, 1000);
    EXPECT_TRUE(rig.queued().empty());
}

TEST(Receiver, HoldingAKeyGivesOneKeyAndTheSameKeyPassesTheGlitchRule)
{
    ReceiverRig rig;
    rig.receiver.ArmReceiver(rig.card);
    rig.tick(0xFF);
    rig.tick(0x28, 500);
    rig.tick(0x28);
    rig.tick(0x28);
    EXPECT_EQ(rig.queued(), std::vector<RemoteKey>{5});
    // 0x28, 0x00, 0x28 within 200 ms: the zero is silent, the second 0x28 equals the last key.
    rig.tick(0x00, 20);
    rig.tick(0x28, 20);
    EXPECT_EQ(rig.queued(), std::vector<RemoteKey>{5});
    EXPECT_TRUE(rig.logFile.lines().empty());
}

TEST(Receiver, ADifferentKeyWithin200MsOfAChangeIsIgnoredAndMovesTheWindow)
{
    ReceiverRig rig;
    rig.receiver.ArmReceiver(rig.card);
    rig.tick(0xFF);
    rig.tick(0x28, 500);
    rig.tick(0xE8, 150);
    EXPECT_EQ(rig.queued(), std::vector<RemoteKey>{5});
    EXPECT_EQ(rig.logFile.lines(), std::vector<std::string>{"Ignoring: RK_VOLUMEDOWN\n"});
    // The ignored change restarted the window: 200 ms after it is still too soon ...
    rig.tick(0x98, 200);
    EXPECT_TRUE(rig.queued().empty());
    EXPECT_EQ(rig.logFile.lines().back(), "Ignoring: RK_DOWN\n");
    // ... and 201 ms is not.
    rig.tick(0x58, 201);
    EXPECT_EQ(rig.queued(), std::vector<RemoteKey>{27});
}

TEST(Receiver, UnknownAndZeroCodes)
{
    ReceiverRig rig;
    rig.receiver.ArmReceiver(rig.card);
    rig.tick(0xFF);
    rig.tick(0x07, 500);
    rig.tick(0x00, 500);
    rig.tick(0xFF, 500);
    EXPECT_TRUE(rig.queued().empty());
    EXPECT_EQ(rig.logFile.lines(),
              (std::vector<std::string>{"    RK_MAKE(0x07, RK_UNKNOWN),\n", "    RK_MAKE(0xff, RK_UNKNOWN),\n"}));
    // No code of the receiver ever gives key 0, "Power".
    for (std::uint32_t code = 0; code < 256; ++code) {
        rig.tick(code, 500);
    }
    for (const RemoteKey key : rig.queued()) {
        EXPECT_NE(key, 0);
    }
}

TEST(Receiver, ReinitRearmsOnOneTickAndSkipsTheNext)
{
    ReceiverRig rig;
    rig.receiver.ArmReceiver(rig.card);
    rig.tick(0xFF);
    rig.receiver.requestReinit();
    rig.driver.registers[bt::GPIO_DATA] = 0x4500 | 0x28;
    rig.clock.advance(500);
    rig.receiver.PollReceiver();
    EXPECT_EQ(rig.driver.registers[bt::GPIO_DATA], 0x45FFu);
    EXPECT_FALSE(rig.receiver.reinitPending());
    rig.tick(0x28, 500); // stored only
    rig.tick(0x28);
    EXPECT_TRUE(rig.queued().empty());
    rig.tick(0xE8, 500);
    EXPECT_EQ(rig.queued(), std::vector<RemoteKey>{6});
}

TEST(Receiver, SuppressedLogWritesNothing)
{
    ReceiverRig rig;
    rig.log.setSuppressed(true);
    rig.receiver.ArmReceiver(rig.card);
    rig.tick(0xFF);
    rig.tick(0x07, 500);
    rig.tick(0x28, 500);
    rig.tick(0xE8, 10);
    EXPECT_TRUE(rig.logFile.lines().empty());
}

TEST(Receiver, GlitchWindowHoldsAcrossTheTickCountWrap)
{
    ReceiverRig rig;
    rig.receiver.ArmReceiver(rig.card);
    rig.clock.set(0xFFFFFE00u);
    rig.tick(0xFF);
    rig.tick(0x28, 0x1E0); // a change at 0xFFFFFFEA, just before the wrap
    rig.tick(0xE8, 10);    // 10 ms later, still before the wrap: too soon
    rig.tick(0x98, 300);   // after the wrap, 300 ms later: accepted
    rig.tick(0x28, 100);   // 100 ms later: too soon
    EXPECT_EQ(rig.queued(), (std::vector<RemoteKey>{5, 26}));
    EXPECT_EQ(rig.logFile.lines(), (std::vector<std::string>{"Ignoring: RK_VOLUMEDOWN\n", "Ignoring: RK_VOLUMEUP\n"}));
}

TEST(Receiver, WithoutTheCardTicksDoNothing)
{
    test::EventLog log;
    test::FakeLibraryLoader loader{log};
    test::FakeClock clock;
    loader.libraryPresent = false;
    CaptureCard card(loader, clock, CardRelease::UnmapThenUnload);
    test::RecordingLogFile logFile;
    RemoteLog remoteLog(logFile);
    Receiver receiver(clock, remoteLog);
    receiver.queue().put(3);
    receiver.ArmReceiver(card);
    EXPECT_TRUE(receiver.queue().isEmpty());
    receiver.requestReinit();
    receiver.PollReceiver();
    receiver.PollReceiver();
    EXPECT_TRUE(receiver.queue().isEmpty());
    receiver.DisarmReceiver();
}

TEST(KeyQueue, RingKeepsOrderAndTakesZeroWhenEmpty)
{
    KeyQueue queue;
    EXPECT_EQ(queue.take(), 0);
    for (int round = 0; round < 600; ++round) {
        queue.put(round % 32);
        queue.put((round + 1) % 32);
        EXPECT_EQ(queue.take(), round % 32);
        EXPECT_EQ(queue.take(), (round + 1) % 32);
        EXPECT_TRUE(queue.isEmpty());
    }
}

} // namespace
} // namespace velora::remote
