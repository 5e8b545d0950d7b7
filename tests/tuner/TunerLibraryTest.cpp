#include <gtest/gtest.h>

#include <cmath>

#include "fakes/FakeClock.h"
#include "fakes/FakeDriver.h"
#include "fakes/MemoryFileSystem.h"
#include "fakes/MemoryProfile.h"
#include "fakes/RecordingDebugOutput.h"
#include "hw/BtRegisters.h"
#include "tuner/TunerLibrary.h"

namespace velora {
namespace {

using test::EventLog;

constexpr const char* kIni = "/viewer/velora.ini";
constexpr const char* kTemicTuner = "I2CAddress=0xc0\nVHFLow=0x8ea0\nVHFHigh=0x8e90\nUHF=0x8e30\n"
                                    "Threshold1=16825\nThreshold2=44725\n";
constexpr const char* kMux2Card = "VideoTuner=0x0\nVideoSource1=0x20\nVideoSource2=0x60\nVideoMask=0x60\n"
                                  "AudioTuner=0x100\nAudioSource1=0x200\nAudioSource2=0x300\nAudioMute=0x400\n"
                                  "AudioMask=0xf00\n";

struct LibraryRig
{
    EventLog log;
    test::FakeDriver driver{log};
    test::FakeLibraryLoader loader{log};
    test::FakeClock clock{&log};
    test::RecordingDebugOutput debug;
    test::MemoryProfile profile;
    test::MemoryFileSystem files;
    TunerLibrary library{TunerServices{loader, clock, debug, profile, files}};

    // Init, then a log that holds only the register writes to come.
    void initLoggingWrites()
    {
        library.Init();
        driver.logReads = false;
        log.clear();
    }
};

TEST(TunerLibrary, InitKeepsTheCardFoundOrNotAndSaysWhich)
{
    LibraryRig rig;
    rig.library.Init();
    ASSERT_NE(rig.library.card(), nullptr);
    EXPECT_TRUE(rig.library.card()->IsFound());

    LibraryRig missing;
    missing.driver.presentDevice.reset();
    missing.library.Init();
    ASSERT_NE(missing.library.card(), nullptr);
    EXPECT_FALSE(missing.library.card()->IsFound());

    EXPECT_EQ(rig.debug.texts, std::vector<std::string>{"BT8x8 found!\n"});
    EXPECT_EQ(missing.debug.texts, std::vector<std::string>{"BT8x8 not found!\n"});
}

TEST(TunerLibrary, SecondInitReleasesTheFirstCardAndCloseReleasesTheLast)
{
    LibraryRig rig;
    rig.library.Init();
    rig.library.Init();
    EXPECT_EQ(rig.loader.loaded, 1);
    rig.library.Close();
    EXPECT_EQ(rig.loader.loaded, 0);
    EXPECT_EQ(rig.library.card(), nullptr);
    // The tuner library never unmaps: the driver keeps its mapping to itself.
    EXPECT_EQ(rig.log.joined().find("unmap"), std::string::npos);
    rig.library.Close();
    EXPECT_EQ(rig.loader.loaded, 0);
}

TEST(TunerLibrary, CallsWithoutACardAreHarmless)
{
    LibraryRig rig;
    auto check = [&rig] {
        EXPECT_FALSE(rig.library.Configure(kIni));
        EXPECT_FALSE(rig.library.SetFrequency(5525));
        EXPECT_EQ(rig.library.SetBrightness(0.5f), 127);
        EXPECT_EQ(rig.library.SetContrast(2.0f), 511);
        EXPECT_EQ(rig.library.SetSaturation(-1.0f), 0);
        EXPECT_EQ(rig.library.GetBrightness(), 0.0f);
        EXPECT_EQ(rig.library.GetContrast(), 0.0f);
        EXPECT_EQ(rig.library.GetSaturation(), 0.0f);
        EXPECT_EQ(rig.library.GotSync(), 0);
        rig.library.Close();
    };
    check(); // before Init
    rig.library.Init();
    rig.library.Close();
    rig.log.clear();
    check(); // after Close
    EXPECT_EQ(rig.log.joined(), "");
    EXPECT_TRUE(rig.debug.texts.size() == 1); // only Init's text
}

TEST(TunerLibrary, PictureValuesScaleTruncateAndClamp)
{
    LibraryRig rig;
    rig.initLoggingWrites();

    EXPECT_EQ(rig.library.SetBrightness(0.5f), 127);
    EXPECT_EQ(rig.log.joined(), "write 0x28 0xffffffff");
    EXPECT_NEAR(rig.library.GetBrightness(), 127.0f / 255.0f, 1e-6);
    EXPECT_NE(rig.library.GetBrightness(), 0.5f);
    rig.log.clear();
    EXPECT_EQ(rig.library.SetBrightness(1.0f), 255);
    EXPECT_EQ(rig.library.SetBrightness(0.0f), 0);
    EXPECT_EQ(rig.library.SetBrightness(2.0f), 255);
    EXPECT_EQ(rig.library.SetBrightness(-0.25f), 0);
    EXPECT_EQ(rig.library.SetBrightness(std::nanf("")), 0);
    EXPECT_EQ(rig.log.joined(),
              "write 0x28 0x7f write 0x28 0xffffff80 write 0x28 0x7f write 0x28 0xffffff80 write 0x28 0xffffff80");
}

TEST(TunerLibrary, ContrastUsesTheNinthBitInBothControlRegisters)
{
    LibraryRig rig;
    rig.library.Init();
    rig.driver.logReads = false;
    rig.driver.registers[bt::E_CONTROL] = 0x07;
    rig.driver.registers[bt::O_CONTROL] = 0xF0; // replaced by E_CONTROL's content
    rig.log.clear();

    EXPECT_EQ(rig.library.SetContrast(0.5f), 255);
    EXPECT_EQ(rig.log.joined(), "write 0x2c 0x3 write 0xac 0x3 write 0x30 0xff");
    rig.log.clear();
    EXPECT_EQ(rig.library.SetContrast(0.501f), 256);
    EXPECT_EQ(rig.log.joined(), "write 0x2c 0x7 write 0xac 0x7 write 0x30 0x0");
    rig.log.clear();
    EXPECT_EQ(rig.library.SetContrast(1.0f), 511);
    EXPECT_EQ(rig.log.joined(), "write 0x2c 0x7 write 0xac 0x7 write 0x30 0xff");
    EXPECT_NEAR(rig.library.GetContrast(), 1.0f, 1e-6);
}

TEST(TunerLibrary, SaturationWritesUAndVButReadsBackOnlyU)
{
    LibraryRig rig;
    rig.initLoggingWrites();
    EXPECT_EQ(rig.library.SetSaturation(0.75f), 383);
    EXPECT_EQ(rig.log.joined(), "write 0x2c 0x3 write 0xac 0x3 write 0x34 0x7f write 0x38 0x7f");
    EXPECT_NEAR(rig.library.GetSaturation(), 383 * 0.0019569471f, 1e-6);
    // Bit 1 alone decides: V's bit and register are never read.
    rig.driver.registers[bt::E_CONTROL] = 0x01;
    rig.driver.registers[bt::SAT_V_LO] = 0x55;
    EXPECT_NEAR(rig.library.GetSaturation(), 127 * 0.0019569471f, 1e-6);
}

TEST(TunerLibrary, GotSyncReadsDstatus)
{
    LibraryRig rig;
    rig.library.Init();
    rig.driver.registers[bt::DSTATUS] = 0xE5;
    EXPECT_EQ(rig.library.GotSync(), 1);
    rig.driver.registers[bt::DSTATUS] = 0x80;
    EXPECT_EQ(rig.library.GotSync(), 0);
}

TEST(TunerLibrary, ConfigureWithoutProfileUsesDefaultNamesAndLowResolution)
{
    LibraryRig rig;
    rig.files.put("Tuners/Default.tun", kTemicTuner);
    rig.files.put("Cards/Generic.crd", kMux2Card);
    rig.initLoggingWrites();
    EXPECT_TRUE(rig.library.Configure(kIni));
    const TunerCard& card = *rig.library.card();
    EXPECT_EQ(card.I2CAddress, 0xC0u);
    EXPECT_EQ(card.UHF, 0x8E30u);
    EXPECT_EQ(card.Threshold1, 16825);
    EXPECT_EQ(card.Threshold2, 44725);
    EXPECT_EQ(card.VideoTuner, 0x00u);
    EXPECT_EQ(card.AudioMask, 0xF00u);
    // Configure sets up the resolution and touches neither IFORM nor GPIO_DATA.
    EXPECT_EQ(rig.log.joined(),
              "write 0x4c 0x0 write 0xcc 0x0 write 0x40 0x0 write 0xc0 0x0 write 0x10 0x20 write 0x90 0x20");
    EXPECT_EQ(rig.debug.texts.size(), 1u);
}

TEST(TunerLibrary, ConfigureReadsNamesAndQualityFromSectionTV)
{
    struct Case
    {
        const char* quality;
        bool high;
    };
    for (const Case& c : {Case{"Quality=1\n", true}, Case{"Quality=2\n", false}, Case{"Quality=0\n", false},
                          Case{"quality = 1 \n", true}, Case{"", false}}) {
        SCOPED_TRACE(c.quality);
        LibraryRig rig;
        rig.profile.setText(kIni, std::string("[tv]\ntuner=Philips FI1216\nCard = Mux2\n") + c.quality);
        rig.files.put("tuners/philips fi1216.TUN", kTemicTuner);
        rig.files.put("cards/MUX2.crd", kMux2Card);
        rig.initLoggingWrites();
        EXPECT_TRUE(rig.library.Configure(kIni));
        EXPECT_EQ(rig.library.card()->I2CAddress, 0xC0u);
        EXPECT_EQ(rig.library.card()->AudioTuner, 0x100u);
        EXPECT_EQ(rig.log.events().at(0), c.high ? "write 0x4c 0x20" : "write 0x4c 0x0");
        EXPECT_EQ(rig.debug.texts.size(), 1u);
    }
}

TEST(TunerLibrary, MissingDescriptionsAreReportedAndKeepEarlierValues)
{
    LibraryRig rig;
    rig.profile.setText(kIni, "[TV]\nTuner=Temic\nCard=Mux2\n");
    rig.files.put("Tuners/Temic.tun", kTemicTuner);
    rig.files.put("Cards/Mux2.crd", kMux2Card);
    rig.library.Init();
    EXPECT_TRUE(rig.library.Configure(kIni));

    // A second Configure whose card file is gone keeps the card values of the first.
    rig.files.remove("Cards/Mux2.crd");
    rig.files.put("Tuners/Temic.tun", "I2CAddress=0xc6\n");
    EXPECT_TRUE(rig.library.Configure(kIni));
    const TunerCard& card = *rig.library.card();
    EXPECT_EQ(card.I2CAddress, 0xC6u);
    EXPECT_EQ(card.VHFLow, 0x8EA0u);
    EXPECT_EQ(card.AudioMute, 0x400u);
    EXPECT_EQ(rig.debug.texts, (std::vector<std::string>{"BT8x8 found!\n", "Cannot read card information.\n"}));

    rig.files.remove("Tuners/Temic.tun");
    rig.debug.texts.clear();
    EXPECT_TRUE(rig.library.Configure(kIni));
    EXPECT_EQ(rig.debug.texts,
              (std::vector<std::string>{"Cannot read tuner information.\n", "Cannot read card information.\n"}));
}

TEST(TunerLibrary, NamesTooLongForThePathBufferCountAsUnreadable)
{
    // "Tuners/" + name + ".tun" must fit 511 characters: 500 for a tuner, 501 for a card.
    const std::string tuner500(500, 't');
    const std::string card502(502, 'c');
    LibraryRig rig;
    rig.profile.setText(kIni, "[TV]\nTuner=" + tuner500 + "\nCard=" + card502 + "\n");
    rig.files.put("Tuners/" + tuner500 + ".tun", "I2CAddress=0xc6\n");
    rig.files.put("Cards/" + card502 + ".crd", "VideoTuner=0x0\n");
    rig.library.Init();
    EXPECT_TRUE(rig.library.Configure(kIni));
    EXPECT_EQ(rig.library.card()->I2CAddress, 0xC6u);
    EXPECT_EQ(rig.library.card()->VideoTuner, 0x40u);
    EXPECT_EQ(rig.debug.texts.back(), "Cannot read card information.\n");
}

TEST(TunerLibrary, WithoutTheCardConfigureStillReadsDescriptionsButReturnsFalse)
{
    LibraryRig rig;
    rig.driver.presentDevice.reset();
    rig.files.put("Tuners/Default.tun", kTemicTuner);
    rig.library.Init();
    rig.log.clear();
    EXPECT_FALSE(rig.library.Configure(kIni));
    EXPECT_EQ(rig.library.card()->I2CAddress, 0xC0u);
    EXPECT_EQ(rig.log.joined(), "");
}

} // namespace
} // namespace velora
