#include "drivers/virtualcard/VirtualChip.h"
#include "hw/BtRegisters.h"
#include "tests/drivers/virtualcard/TestCard.h"

#include <gtest/gtest.h>

#include <chrono>
#include <utility>
#include <vector>

namespace {

using namespace velora::virtualcard;
namespace bt = velora::bt;
using bt::i2cWriteWord;

class VirtualChipTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_card.open()); }

    // Tunes as the tuner library does: divider first, then control and band bytes.
    void tune(std::uint32_t divider, std::uint32_t bandValue, std::uint32_t address = 0xC2)
    {
        chip().writeRegister(bt::INT_STAT, bt::INT_STAT_I2CDONE);
        chip().writeRegister(bt::I2C, i2cWriteWord(address, divider));
        chip().writeRegister(bt::INT_STAT, bt::INT_STAT_I2CDONE);
        chip().writeRegister(bt::I2C, i2cWriteWord(address, bandValue));
    }

    VirtualChip& chip() { return m_card.chip(); }

private:
    velora::test::TestCard m_card;
};

TEST_F(VirtualChipTest, PlainRegistersStoreAndBadOffsetsAreHarmless)
{
    chip().writeRegister(bt::IFORM, 0x40);
    chip().writeRegister(bt::E_VSCALE_HI, 0x20);
    chip().writeRegister(0xFFC, 0xDEADBEEF);
    EXPECT_EQ(chip().readRegister(bt::IFORM), 0x40u);
    EXPECT_EQ(chip().readRegister(bt::E_VSCALE_HI), 0x20u);
    EXPECT_EQ(chip().readRegister(0xFFC), 0xDEADBEEFu);

    // Past the window or between registers: reads give 0, writes change nothing.
    for (std::uint32_t offset : {0x1000u, 0x1004u, 0xFFFFFFFCu, 0xFFFFFFFFu, 0x005u, 0x006u, 0x007u, 0xFFDu}) {
        chip().writeRegister(offset, 0x12345678);
        EXPECT_EQ(chip().readRegister(offset), 0u) << std::hex << offset;
    }
    EXPECT_EQ(chip().readRegister(bt::IFORM), 0x40u);
    EXPECT_EQ(chip().readRegister(0x008), 0u);
    EXPECT_EQ(chip().readRegister(0xFFC), 0xDEADBEEFu);
}

TEST_F(VirtualChipTest, IntStatIsWriteOneToClearAndTransfersSetI2cDone)
{
    EXPECT_EQ(chip().readRegister(bt::INT_STAT) & bt::INT_STAT_I2CDONE, 0u);
    chip().writeRegister(bt::I2C, i2cWriteWord(0xC2, 0x05E2));
    EXPECT_EQ(chip().readRegister(bt::INT_STAT), bt::INT_STAT_I2CDONE);

    // Writing 0 or other bits leaves the done bit; writing 1 to it clears it.
    chip().writeRegister(bt::INT_STAT, 0);
    chip().writeRegister(bt::INT_STAT, 0x001);
    EXPECT_EQ(chip().readRegister(bt::INT_STAT), bt::INT_STAT_I2CDONE);
    chip().writeRegister(bt::INT_STAT, bt::INT_STAT_I2CDONE);
    EXPECT_EQ(chip().readRegister(bt::INT_STAT), 0u);

    // A value on the I2C register that is not a three-byte write moves nothing on the bus.
    chip().writeRegister(bt::I2C, 0xC2000003);
    EXPECT_EQ(chip().readRegister(bt::INT_STAT), 0u);
    EXPECT_EQ(chip().recentTransfers().size(), 1u);
    EXPECT_EQ(chip().readRegister(bt::I2C), 0xC2000003u);
}

TEST_F(VirtualChipTest, TunerDecodesDividerAndBandAndLocksOnStations)
{
    EXPECT_EQ(chip().readRegister(bt::DSTATUS), 0u);
    EXPECT_FALSE(chip().tuner().divider.has_value());

    // 55.25 MHz as the tuner library sends it: divider 1506, then control 0x8E, band 0x02.
    tune(1506, 0x8E02);
    TunerSnapshot tuner = chip().tuner();
    ASSERT_TRUE(tuner.divider && tuner.frequencyHz && tuner.control && tuner.band);
    EXPECT_EQ(tuner.address, 0xC2u);
    EXPECT_EQ(*tuner.divider, 1506u);
    EXPECT_EQ(*tuner.frequencyHz, 55'225'000);
    EXPECT_EQ(*tuner.control, 0x8Eu);
    EXPECT_EQ(*tuner.band, 0x02u);
    EXPECT_TRUE(tuner.onStation);
    EXPECT_EQ(chip().readRegister(bt::DSTATUS), bt::DSTATUS_PRES | bt::DSTATUS_HLOC);

    // 100.00 MHz is no station: no sync. The band bytes stay as they were.
    chip().writeRegister(bt::I2C, i2cWriteWord(0xC6, ((10000 + 3890) * 16) / 100));
    tuner = chip().tuner();
    EXPECT_EQ(tuner.address, 0xC6u);
    EXPECT_EQ(*tuner.frequencyHz, 99'975'000); // divider 2222
    EXPECT_EQ(*tuner.control, 0x8Eu);
    EXPECT_FALSE(tuner.onStation);
    EXPECT_EQ(chip().readRegister(bt::DSTATUS), 0u);

    // The edge of the lock range: 743.25 MHz +- 0.1 MHz locks, a step beyond does not.
    EXPECT_TRUE(VirtualChip::isStationFrequency(743'350'000));
    EXPECT_TRUE(VirtualChip::isStationFrequency(743'150'000));
    EXPECT_FALSE(VirtualChip::isStationFrequency(743'350'500));
    EXPECT_FALSE(VirtualChip::isStationFrequency(48'149'000));

    // A transfer to an address that is not a tuner's changes no tuner state.
    chip().writeRegister(bt::I2C, i2cWriteWord(0xA0, 1506));
    EXPECT_EQ(chip().tuner().address, 0xC6u);
    EXPECT_EQ(*chip().tuner().divider, ((10000u + 3890u) * 16u) / 100u);
}

TEST_F(VirtualChipTest, ForcedSignalOverridesTheTuner)
{
    chip().setSignalMode(SignalMode::On);
    EXPECT_EQ(chip().readRegister(bt::DSTATUS), 0xC0u);
    tune(1506, 0x8E02);
    chip().setSignalMode(SignalMode::Off);
    EXPECT_EQ(chip().readRegister(bt::DSTATUS), 0u);
    chip().setSignalMode(SignalMode::Auto);
    EXPECT_EQ(chip().readRegister(bt::DSTATUS), 0xC0u);

    // DSTATUS is status: a program's write does not fake a signal.
    chip().setSignalMode(SignalMode::Off);
    chip().writeRegister(bt::DSTATUS, 0xC0);
    EXPECT_EQ(chip().readRegister(bt::DSTATUS), 0u);
}

TEST_F(VirtualChipTest, TransferRingKeepsTheLastEightOldestFirst)
{
    for (std::uint32_t i = 0; i < 11; ++i) {
        chip().writeRegister(bt::I2C, i2cWriteWord(0xC2, i));
    }
    const std::vector<I2cTransfer> transfers = chip().recentTransfers();
    ASSERT_EQ(transfers.size(), kTransferHistory);
    for (std::size_t i = 0; i < transfers.size(); ++i) {
        EXPECT_EQ(transfers[i].word, i2cWriteWord(0xC2, static_cast<std::uint32_t>(i + 3)));
        EXPECT_GT(transfers[i].timeMs, 0u);
    }
    EXPECT_LE(transfers.front().timeMs, transfers.back().timeMs);
}

TEST_F(VirtualChipTest, KeyPressReplacesLowByteAndRepeatsThroughZero)
{
    // Armed receiver with the audio bits above it.
    chip().writeRegister(bt::GPIO_DATA, 0x00001AFF);
    std::vector<std::uint32_t> seenDuringGap;
    std::vector<std::chrono::milliseconds> gaps;
    auto sleeper = [&](std::chrono::milliseconds gap) {
        gaps.push_back(gap);
        seenDuringGap.push_back(chip().readRegister(bt::GPIO_DATA));
    };

    chip().pressKey(0x98, sleeper);
    EXPECT_EQ(chip().readRegister(bt::GPIO_DATA), 0x00001A98u);
    EXPECT_TRUE(gaps.empty());
    ASSERT_TRUE(chip().lastRemoteKey().has_value());
    EXPECT_EQ(*chip().lastRemoteKey(), 0x98);

    // Same key again: the byte must change for a program to see it, so it passes through 0.
    chip().pressKey(0x98, sleeper);
    ASSERT_EQ(gaps.size(), 1u);
    EXPECT_EQ(gaps[0], std::chrono::milliseconds(30));
    EXPECT_EQ(seenDuringGap[0], 0x00001A00u);
    EXPECT_EQ(chip().readRegister(bt::GPIO_DATA), 0x00001A98u);

    // Another key replaces the byte at once.
    chip().pressKey(0x28, sleeper);
    EXPECT_EQ(gaps.size(), 1u);
    EXPECT_EQ(chip().readRegister(bt::GPIO_DATA), 0x00001A28u);
}

TEST_F(VirtualChipTest, ResetRestoresPowerOnState)
{
    chip().writeRegister(bt::GPIO_DATA, 0xFF);
    tune(1506, 0x8E02);
    chip().setSignalMode(SignalMode::Off);
    ASSERT_TRUE(chip().setChipId(0));
    chip().pressKey(0x48);

    EXPECT_FALSE(chip().setChipId(0x36D));
    EXPECT_EQ(chip().chipId(), 0u);

    chip().reset();
    EXPECT_EQ(chip().chipId(), bt::kBt878);
    EXPECT_EQ(chip().signalMode(), SignalMode::Auto);
    EXPECT_EQ(chip().readRegister(bt::GPIO_DATA), 0u);
    EXPECT_EQ(chip().readRegister(bt::INT_STAT), 0u);
    EXPECT_EQ(chip().readRegister(bt::DSTATUS), 0u);
    EXPECT_FALSE(chip().tuner().divider.has_value());
    EXPECT_FALSE(chip().tuner().control.has_value());
    EXPECT_TRUE(chip().recentTransfers().empty());
    EXPECT_FALSE(chip().lastRemoteKey().has_value());
}

TEST_F(VirtualChipTest, ResetGivesTheChipsPowerOnRegisterValues)
{
    for (std::uint32_t offset :
         {bt::IFORM, bt::E_VDELAY_LO, bt::O_VDELAY_LO, bt::BRIGHT, bt::E_CONTROL, bt::CONTRAST_LO, bt::SAT_U_LO,
          bt::SAT_V_LO, bt::E_SCLOOP, bt::E_VSCALE_HI, bt::O_VSCALE_HI}) {
        chip().writeRegister(offset, 0xFFFFFFFF);
    }
    chip().reset();
    const std::pair<std::uint32_t, std::uint32_t> powerOn[] = {
        {bt::IFORM, 0x58},     {bt::E_VDELAY_LO, 0x16}, {bt::O_VDELAY_LO, 0x16}, {bt::BRIGHT, 0x00},
        {bt::E_CONTROL, 0x00}, {bt::CONTRAST_LO, 0xD8}, {bt::SAT_U_LO, 0xFE},    {bt::SAT_V_LO, 0xB4},
        {bt::E_SCLOOP, 0x00},  {bt::E_VSCALE_HI, 0x60}, {bt::O_VSCALE_HI, 0x60},
    };
    for (const auto& [offset, value] : powerOn) {
        EXPECT_EQ(chip().readRegister(offset), value) << std::hex << "register 0x" << offset;
    }
}

} // namespace
