// The driver library as the suite meets it: loaded by dlopen, its six functions resolved by
// name, the card found through the state file named by VELORA_CARD.
#include "hw/BtRegisters.h"
#include "tests/drivers/DriverLibrary.h"
#include "tests/drivers/virtualcard/TestCard.h"
#include "tests/support/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using namespace velora::virtualcard;
namespace bt = velora::bt;

class DriverLibraryTest : public ::testing::Test, protected velora::test::DriverLibrary
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_card.valid());
        m_statePath = m_card.path();
        m_cardVariable.emplace("VELORA_CARD", m_statePath);
        ASSERT_TRUE(open(VELORA_DRIVER_LIBRARY)) << error();
    }

    void TearDown() override
    {
        // Give back every mapping a test left, so the next test starts unmapped.
        for (int i = 0; isOpened && isOpened() && i < 16; ++i) {
            unmap(1, 0x40);
        }
        close();
    }

    // The card's state as another process would see it.
    VirtualChip& card() { return m_card.chip(); }
    CardStateFile& stateFile() { return m_card.file(); }

    std::string m_statePath;
    std::optional<velora::test::ScopedEnvironment> m_cardVariable;

private:
    velora::test::TestCard m_card;
};

TEST_F(DriverLibraryTest, DiscoveryFindsOnlyTheSelectedChip)
{
    for (std::uint32_t selected : {bt::kBt848, bt::kBt849, bt::kBt878, bt::kBt879, 0u}) {
        ASSERT_TRUE(card().setChipId(selected));
        for (std::uint32_t device : bt::kDiscoveryOrder) {
            std::uint32_t r1 = 0xAAAA, r2 = 0xBBBB, r3 = 0xCCCC;
            const std::int32_t result = discover(bt::kPciVendor, device, &r1, &r2, &r3);
            if (device == selected) {
                EXPECT_EQ(result, 0);
                EXPECT_EQ(r1, 1u);
                EXPECT_EQ(r2, 8u << 3);
                EXPECT_EQ(r3, selected);
            } else {
                EXPECT_NE(result, 0) << std::hex << device << " answered with " << selected << " selected";
                EXPECT_EQ(r1, 0xAAAAu);
                EXPECT_EQ(r2, 0xBBBBu);
                EXPECT_EQ(r3, 0xCCCCu);
            }
        }
    }

    ASSERT_TRUE(card().setChipId(bt::kBt878));
    std::uint32_t r1 = 7, r2 = 7, r3 = 7;
    EXPECT_NE(discover(0x8086, bt::kBt878, &r1, &r2, &r3), 0);
    EXPECT_EQ(r1, 7u);
    EXPECT_NE(discover(bt::kPciVendor, bt::kBt878, nullptr, nullptr, nullptr), 0);
    // Discovery alone leaves nothing mapped.
    EXPECT_EQ(isOpened(), 0);
}

TEST_F(DriverLibraryTest, RegistersAreReachedOnlyWhileMapped)
{
    card().writeRegister(bt::GPIO_DATA, 0xFF);
    card().writeRegister(bt::IFORM, 0x00);
    EXPECT_EQ(read(bt::GPIO_DATA), 0u);
    write(bt::IFORM, 0x40);
    EXPECT_EQ(card().readRegister(bt::IFORM), 0u);
    EXPECT_EQ(isOpened(), 0);

    std::uint32_t r1 = 0, r2 = 0, r3 = 0;
    ASSERT_EQ(discover(bt::kPciVendor, bt::kBt878, &r1, &r2, &r3), 0);
    EXPECT_EQ(map(r1, r2), 1);
    EXPECT_EQ(isOpened(), 1);
    EXPECT_EQ(read(bt::GPIO_DATA), 0xFFu);
    write(bt::IFORM, 0x40);
    EXPECT_EQ(card().readRegister(bt::IFORM), 0x40u);

    // Tuning to 55.25 MHz through the driver, as the tuner library does it.
    write(bt::INT_STAT, bt::INT_STAT_I2CDONE);
    write(bt::I2C, 0xC205E287);
    EXPECT_EQ(read(bt::INT_STAT) & bt::INT_STAT_I2CDONE, bt::INT_STAT_I2CDONE);
    write(bt::INT_STAT, bt::INT_STAT_I2CDONE);
    write(bt::I2C, 0xC28E0287);
    EXPECT_EQ(read(bt::DSTATUS) & 0xC0, 0xC0u);
    EXPECT_EQ(*card().tuner().band, 0x02u);

    EXPECT_EQ(read(0x1000), 0u);
    EXPECT_EQ(read(0x202), 0u);
    write(0xFFFFFFF0, 1);

    EXPECT_EQ(unmap(r1, r2), 1);
    EXPECT_EQ(isOpened(), 0);
    EXPECT_EQ(read(bt::GPIO_DATA), 0u);
    write(bt::IFORM, 0x20);
    EXPECT_EQ(card().readRegister(bt::IFORM), 0x40u);
}

TEST_F(DriverLibraryTest, MappingsAreCountedAndStrayUnmapsAreHarmless)
{
    EXPECT_EQ(unmap(1, 0x40), 1);
    EXPECT_EQ(unmap(0, 0), 1);
    EXPECT_EQ(isOpened(), 0);

    // Two card objects in one process: the first one's release must not cut off the second.
    ASSERT_EQ(map(1, 0x40), 1);
    ASSERT_EQ(map(1, 0x40), 1);
    card().writeRegister(bt::GPIO_DATA, 0x12);
    unmap(1, 0x40);
    EXPECT_EQ(isOpened(), 1);
    EXPECT_EQ(read(bt::GPIO_DATA), 0x12u);
    // The shared state counts this process once while it holds the card, for velora-card.
    EXPECT_EQ(stateFile().liveMappers(), 1u);
    unmap(1, 0x40);
    EXPECT_EQ(isOpened(), 0);
    EXPECT_EQ(read(bt::GPIO_DATA), 0u);
    EXPECT_EQ(stateFile().liveMappers(), 0u);
}

TEST_F(DriverLibraryTest, UnusableStateFileMeansNoCard)
{
    const std::string missing = m_statePath + ".d/none/card";
    m_cardVariable->set(missing.c_str());
    for (std::uint32_t device : bt::kDiscoveryOrder) {
        std::uint32_t r1 = 0, r2 = 0, r3 = 0;
        EXPECT_NE(discover(bt::kPciVendor, device, &r1, &r2, &r3), 0);
    }
    EXPECT_EQ(map(1, 0x40), 0);
    EXPECT_EQ(isOpened(), 0);
    EXPECT_EQ(read(bt::GPIO_DATA), 0u);
    EXPECT_EQ(write(bt::GPIO_DATA, 1), 0);
}

} // namespace
