#include <gtest/gtest.h>

#include "fakes/FakeClock.h"
#include "fakes/FakeDriver.h"
#include "hw/BtRegisters.h"
#include "tuner/TunerCard.h"

namespace velora {
namespace {

using test::EventLog;

struct CardRig
{
    EventLog log;
    test::FakeDriver driver{log};
    test::FakeLibraryLoader loader{log};
    test::FakeClock clock{&log};
    TunerCard card{loader, clock};

    CardRig() { log.clear(); }
};

TEST(TunerCard, TuningSelectsTheTunerMutesSendsDividerAndBandThenSelectsTunerSound)
{
    CardRig rig;
    rig.driver.registers[bt::IFORM] = 0x19;     // other IFORM bits survive
    rig.driver.registers[bt::GPIO_DATA] = 0xFF; // an armed remote receiver shares this register
    EXPECT_TRUE(rig.card.SetFrequency(5525));
    EXPECT_EQ(rig.log.joined(), "read 0x4 write 0x4 0x59 "
                                "read 0x200 write 0x200 0xf8 "
                                "write 0x100 0x100 write 0x110 0xc205e287 sleep 50 "
                                "write 0x100 0x100 write 0x110 0xc28e0287 sleep 50 "
                                "read 0x200 write 0x200 0xf2");
}

TEST(TunerCard, BandLimitsBelongToTheLowerBand)
{
    struct Case
    {
        std::int32_t frequency;
        const char* dividerWord;
        const char* bandWord;
    };
    const Case cases[] = {
        {14025, "0xc20b3287", "0xc28e0287"}, // divider 2866, low VHF
        {14026, "0xc20b3287", "0xc28e0487"}, // same divider, high VHF
        {46325, "0xc21f6287", "0xc28e0487"}, // divider 8034, high VHF
        {46326, "0xc21f6287", "0xc28e0187"}, // same divider, UHF
        {-5000, "0xc2ff4f87", "0xc28e0287"}, // a negative frequency is a frequency: low bits of -177
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frequency);
        CardRig rig;
        rig.driver.logReads = false;
        EXPECT_TRUE(rig.card.SetFrequency(c.frequency));
        EXPECT_EQ(rig.log.events().at(3), std::string("write 0x110 ") + c.dividerWord);
        EXPECT_EQ(rig.log.events().at(6), std::string("write 0x110 ") + c.bandWord);
    }
}

TEST(TunerCard, TuningUsesTheDescription)
{
    CardRig rig;
    rig.driver.logReads = false;
    rig.card.I2CAddress = 0xC0;
    rig.card.UHF = 0x8E30;
    rig.card.Threshold2 = 44725;
    rig.card.VideoMask = 0x60;
    rig.card.VideoTuner = 0x00;
    rig.card.AudioMask = 0x0F00;
    rig.card.AudioMute = 0x0400;
    rig.card.AudioTuner = 0x0100;
    rig.driver.registers[bt::IFORM] = 0x60;
    rig.driver.registers[bt::GPIO_DATA] = 0x0A98;
    EXPECT_TRUE(rig.card.SetFrequency(47125)); // 471.25 MHz: divider (47125 + 3890) * 16 / 100 = 8162
    EXPECT_EQ(rig.log.joined(), "write 0x4 0x0 write 0x200 0x498 "
                                "write 0x100 0x100 write 0x110 0xc01fe287 sleep 50 "
                                "write 0x100 0x100 write 0x110 0xc08e3087 sleep 50 "
                                "write 0x200 0x198");
}

TEST(TunerCard, FrequencyZeroSelectsSourceOneWithoutI2COrMute)
{
    CardRig rig;
    rig.driver.registers[bt::IFORM] = 0x41;
    rig.driver.registers[bt::GPIO_DATA] = 0x1F;
    rig.card.AudioSource1 = 0x04;
    EXPECT_TRUE(rig.card.SetFrequency(0));
    EXPECT_EQ(rig.log.joined(), "read 0x4 write 0x4 0x61 read 0x200 write 0x200 0x14");
    EXPECT_EQ(rig.clock.tickCount(), 0u);
}

TEST(TunerCard, WithoutTheCardNothingIsWrittenButTuningStillTakesItsTime)
{
    EventLog log;
    test::FakeLibraryLoader loader{log};
    test::FakeClock clock{&log};
    loader.libraryPresent = false;
    TunerCard card(loader, clock);
    log.clear();
    EXPECT_FALSE(card.SetFrequency(5525));
    EXPECT_EQ(log.joined(), "sleep 50 sleep 50");
    EXPECT_FALSE(card.SetFrequency(0));
    EXPECT_FALSE(card.SetHighResolution());
    EXPECT_FALSE(card.SetLowResolution());
    EXPECT_EQ(card.SetContrastLevel(600), 511);
    EXPECT_EQ(card.GetContrastLevel(), 0);
    EXPECT_EQ(card.GetBrightnessLevel(), 0);
    EXPECT_FALSE(card.HasSync());
    EXPECT_EQ(log.joined(), "sleep 50 sleep 50");
}

TEST(TunerCard, ResolutionSetUpsWriteWholeRegistersInOrder)
{
    CardRig rig;
    EXPECT_TRUE(rig.card.SetHighResolution());
    EXPECT_EQ(rig.log.joined(),
              "write 0x4c 0x20 write 0xcc 0x20 write 0x40 0xcc write 0xc0 0xcc write 0x10 0x20 write 0x90 0x20");
    rig.log.clear();
    EXPECT_TRUE(rig.card.SetLowResolution());
    EXPECT_EQ(rig.log.joined(),
              "write 0x4c 0x0 write 0xcc 0x0 write 0x40 0x0 write 0xc0 0x0 write 0x10 0x20 write 0x90 0x20");
}

TEST(TunerCard, SyncNeedsPresenceAndLock)
{
    CardRig rig;
    for (const auto& [status, locked] :
         {std::pair{0xC0u, true}, {0xE5u, true}, {0x80u, false}, {0x40u, false}, {0x00u, false}}) {
        rig.driver.registers[bt::DSTATUS] = status;
        EXPECT_EQ(rig.card.HasSync(), locked) << status;
    }
}

} // namespace
} // namespace velora
