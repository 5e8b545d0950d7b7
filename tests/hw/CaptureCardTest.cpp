#include <gtest/gtest.h>

#include "fakes/FakeClock.h"
#include "fakes/FakeDriver.h"
#include "hw/CaptureCard.h"

namespace velora {
namespace {

using test::EventLog;
using test::FakeClock;
using test::FakeDriver;
using test::FakeLibraryLoader;

struct Rig
{
    EventLog log;
    FakeDriver driver{log};
    FakeLibraryLoader loader{log};
    FakeClock clock{&log};
};

TEST(CaptureCard, WithoutDriverLibraryNothingReachesTheChipButI2CStillWaits)
{
    Rig rig;
    rig.loader.libraryPresent = false;
    {
        CaptureCard card(rig.loader, rig.clock, CardRelease::UnmapThenUnload);
        EXPECT_FALSE(card.IsFound());
        std::uint32_t value = 0xDEADBEEF;
        EXPECT_FALSE(card.ReadRegister(0x200, value));
        EXPECT_EQ(value, 0xDEADBEEFu);
        EXPECT_FALSE(card.WriteRegister(0x200, 1));
        EXPECT_TRUE(card.WriteI2C(0xC2, 0x8E02));
    }
    // Nothing to unload or unmap when the load failed.
    EXPECT_EQ(rig.log.joined(), "load libvelorahwio.so sleep 50");
}

TEST(CaptureCard, ResolvesTheSixEntryPointsInOrder)
{
    Rig rig;
    rig.loader.logResolves = true;
    CaptureCard card(rig.loader, rig.clock, CardRelease::UnloadOnly);
    EXPECT_TRUE(card.IsFound());
    EXPECT_EQ(
        rig.log.joined(),
        "load libvelorahwio.so resolve pciGetHardwareResources resolve isDriverOpened resolve memoryUnmap "
        "resolve memoryRead resolve memoryWrite resolve memoryMap pci 109e:350 pci 109e:351 pci 109e:36e map 1 8");
}

TEST(CaptureCard, AnyMissingEntryPointMeansNotFoundAndTheLibraryStaysUntilDestruction)
{
    for (const char* name :
         {"pciGetHardwareResources", "isDriverOpened", "memoryUnmap", "memoryRead", "memoryWrite", "memoryMap"}) {
        SCOPED_TRACE(name);
        Rig rig;
        rig.loader.missing.insert(name);
        {
            CaptureCard card(rig.loader, rig.clock, CardRelease::UnmapThenUnload);
            EXPECT_FALSE(card.IsFound());
            EXPECT_EQ(rig.loader.loaded, 1);
            EXPECT_FALSE(card.WriteRegister(0x28, 0));
        }
        // No discovery, no map, no unmap: only the load and, at destruction, the unload.
        EXPECT_EQ(rig.log.joined(), "load libvelorahwio.so unload");
        EXPECT_EQ(rig.loader.loaded, 0);
    }
}

TEST(CaptureCard, DiscoveryStopsAtTheFirstChipThatAnswers)
{
    struct Case
    {
        std::optional<std::uint32_t> device;
        const char* expected;
    };
    const Case cases[] = {
        {0x350, "pci 109e:350 map 1 8"},
        {0x351, "pci 109e:350 pci 109e:351 map 1 8"},
        {0x36E, "pci 109e:350 pci 109e:351 pci 109e:36e map 1 8"},
        {0x36F, "pci 109e:350 pci 109e:351 pci 109e:36e pci 109e:36f map 1 8"},
        {std::nullopt, "pci 109e:350 pci 109e:351 pci 109e:36e pci 109e:36f"},
        // A chip of the family that the suite does not look for is not found.
        {0x36D, "pci 109e:350 pci 109e:351 pci 109e:36e pci 109e:36f"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        Rig rig;
        rig.driver.presentDevice = c.device;
        CaptureCard card(rig.loader, rig.clock, CardRelease::UnloadOnly);
        EXPECT_EQ(card.IsFound(), std::string(c.expected).find("map") != std::string::npos);
        EXPECT_EQ(rig.log.joined(), std::string("load libvelorahwio.so ") + c.expected);
    }
}

TEST(CaptureCard, MapsWithTheValuesDiscoveryStored)
{
    Rig rig;
    rig.driver.resources[0] = 0x0301;
    rig.driver.resources[1] = 0x48;
    rig.driver.resources[2] = 11;
    rig.driver.presentDevice = 0x351;
    {
        CaptureCard card(rig.loader, rig.clock, CardRelease::UnmapThenUnload);
        EXPECT_EQ(rig.log.joined(), "load libvelorahwio.so pci 109e:350 pci 109e:351 map 769 72");
        rig.log.clear();
    }
    EXPECT_EQ(rig.log.joined(), "unmap 769 72 unload");
}

TEST(CaptureCard, DestructionVariants)
{
    struct Case
    {
        const char* what;
        CardRelease release;
        std::optional<std::uint32_t> device;
        std::uint32_t firstValue;
        const char* expected;
    };
    const Case cases[] = {
        {"unload only", CardRelease::UnloadOnly, 0x36E, 1, "unload"},
        {"unmap, then unload", CardRelease::UnmapThenUnload, 0x36E, 1, "unmap 1 8 unload"},
        // No chip: discovery stored nothing, so the first value is still 0 and nothing is unmapped.
        {"no chip", CardRelease::UnmapThenUnload, std::nullopt, 1, "unload"},
        // A driver that names the device with a first value of 0 is never unmapped either.
        {"first value 0", CardRelease::UnmapThenUnload, 0x36E, 0, "unload"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        rig.driver.presentDevice = c.device;
        rig.driver.resources[0] = c.firstValue;
        {
            CaptureCard card(rig.loader, rig.clock, c.release);
            rig.log.clear();
        }
        EXPECT_EQ(rig.log.joined(), c.expected);
    }
}

TEST(CaptureCard, RegisterAccessGoesStraightToTheDriver)
{
    Rig rig;
    CaptureCard card(rig.loader, rig.clock, CardRelease::UnloadOnly);
    rig.log.clear();
    rig.driver.registers[0x200] = 0x12345678;
    std::uint32_t value = 0;
    EXPECT_TRUE(card.ReadRegister(0x200, value));
    EXPECT_EQ(value, 0x12345678u);
    EXPECT_TRUE(card.WriteRegister(0x004, 0x40));
    EXPECT_TRUE(card.ReadRegister(0x200, value));
    EXPECT_EQ(rig.log.joined(), "read 0x200 write 0x4 0x40 read 0x200");
}

TEST(CaptureCard, I2CWriteSendsAddressAndTwoDataBytesInOneWord)
{
    Rig rig;
    CaptureCard card(rig.loader, rig.clock, CardRelease::UnloadOnly);
    rig.log.clear();
    EXPECT_TRUE(card.WriteI2C(0xC2, 0x8E02));
    EXPECT_EQ(rig.log.joined(), "write 0x100 0x100 write 0x110 0xc28e0287 sleep 50");
    rig.log.clear();
    // Only the low 8 bits of the address and the low 16 bits of the data are sent.
    EXPECT_TRUE(card.WriteI2C(0x3C2, 0xABCD8E02));
    EXPECT_EQ(rig.log.joined(), "write 0x100 0x100 write 0x110 0xc28e0287 sleep 50");
    EXPECT_EQ(rig.clock.tickCount(), 100u);
}

TEST(CaptureCard, BuiltInDescription)
{
    Rig rig;
    rig.loader.libraryPresent = false;
    CaptureCard card(rig.loader, rig.clock, CardRelease::UnloadOnly);
    EXPECT_EQ(card.I2CAddress, 0xC2u);
    EXPECT_EQ(card.VHFLow, 0x8E02u);
    EXPECT_EQ(card.VHFHigh, 0x8E04u);
    EXPECT_EQ(card.UHF, 0x8E01u);
    EXPECT_EQ(card.Threshold1, 14025);
    EXPECT_EQ(card.Threshold2, 46325);
    EXPECT_EQ(card.VideoTuner, 0x40u);
    EXPECT_EQ(card.VideoSource1, 0x60u);
    EXPECT_EQ(card.VideoSource2, 0x20u);
    EXPECT_EQ(card.VideoMask, 0x60u);
    EXPECT_EQ(card.AudioTuner, 0x02u);
    EXPECT_EQ(card.AudioSource1, 0x00u);
    EXPECT_EQ(card.AudioSource2, 0x00u);
    EXPECT_EQ(card.AudioMute, 0x08u);
    EXPECT_EQ(card.AudioMask, 0x0Fu);
}

} // namespace
} // namespace velora
