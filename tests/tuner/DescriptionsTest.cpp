#include <gtest/gtest.h>

#include "fakes/FakeCard.h"
#include "hw/CaptureCard.h"
#include "tuner/Descriptions.h"

namespace velora {
namespace {

// A card object with the built-in description.
using Card = test::FakeCard;

struct TunerFields
{
    std::uint32_t address, low, high, uhf;
    std::int32_t t1, t2;
    bool operator==(const TunerFields&) const = default;
};

TunerFields tunerFields(const CaptureCard& c)
{
    return {c.I2CAddress, c.VHFLow, c.VHFHigh, c.UHF, c.Threshold1, c.Threshold2};
}

TunerFields readTuner(const char* text)
{
    Card card;
    readTunerDescription(text, card.card);
    return tunerFields(card.card);
}

constexpr TunerFields kBuiltIn{0xC2, 0x8E02, 0x8E04, 0x8E01, 14025, 46325};

TEST(Descriptions, TunerFileFillsItsSixFields)
{
    EXPECT_EQ(readTuner("I2CAddress=0xc0\nVHFLow=0x8ea0\nVHFHigh=0x8e90\nUHF=0x8e30\nThreshold1=16825\n"
                        "Threshold2=44725\nSomethingElse=1\n"),
              (TunerFields{0xC0, 0x8EA0, 0x8E90, 0x8E30, 16825, 44725}));
    // Upper-case digits, indentation, blank lines and Windows line ends read normally.
    EXPECT_EQ(readTuner("I2CAddress=0xC0\r\n\r\n   VHFLow=0x8EA0\r\n\tVHFHigh=0x8E90\nUHF=0x8E30\n\n"
                        "Threshold1=-1\nThreshold2=+44725"),
              (TunerFields{0xC0, 0x8EA0, 0x8E90, 0x8E30, -1, 44725}));
}

TEST(Descriptions, MalformedTunerFilesKeepTheFieldsTheyCannotReach)
{
    // Only the first three lines: the rest keep their values.
    EXPECT_EQ(readTuner("I2CAddress=0xc0\nVHFLow=0x8ea0\nVHFHigh=0x8e90\n"),
              (TunerFields{0xC0, 0x8EA0, 0x8E90, 0x8E01, 14025, 46325}));
    // Without the VHFLow line the second read stops inside "VHFHigh": only the address is read.
    EXPECT_EQ(readTuner("I2CAddress=0xc0\nVHFHigh=0x8e90\nUHF=0x8e30\nThreshold1=1\nThreshold2=2\n"),
              (TunerFields{0xC0, 0x8E02, 0x8E04, 0x8E01, 14025, 46325}));
    // A first line that starts with a space, or a blank first line, yields nothing.
    EXPECT_EQ(readTuner(" I2CAddress=0xc0\nVHFLow=0x8ea0\n"), kBuiltIn);
    EXPECT_EQ(readTuner("\nI2CAddress=0xc0\nVHFLow=0x8ea0\n"), kBuiltIn);
    // A capital X after the zero does not match.
    EXPECT_EQ(readTuner("I2CAddress=0Xc0\nVHFLow=0x8ea0\n"), kBuiltIn);
    // Key names are case-sensitive and take no blanks around "=".
    EXPECT_EQ(readTuner("i2caddress=0xc0\n"), kBuiltIn);
    EXPECT_EQ(readTuner("I2CAddress = 0xc0\n"), kBuiltIn);
    EXPECT_EQ(readTuner(""), kBuiltIn);
}

TEST(Descriptions, CardFileFillsItsNineFields)
{
    Card card;
    readCardDescription("VideoTuner=0x0\nVideoSource1=0x20\nVideoSource2=0x60\nVideoMask=0x60\nAudioTuner=0x100\n"
                        "AudioSource1=0x200\nAudioSource2=0x300\nAudioMute=0x400\nAudioMask=0xf00\n",
                        card.card);
    const CaptureCard& c = card.card;
    EXPECT_EQ(c.VideoTuner, 0x0u);
    EXPECT_EQ(c.VideoSource1, 0x20u);
    EXPECT_EQ(c.VideoSource2, 0x60u);
    EXPECT_EQ(c.VideoMask, 0x60u);
    EXPECT_EQ(c.AudioTuner, 0x100u);
    EXPECT_EQ(c.AudioSource1, 0x200u);
    EXPECT_EQ(c.AudioSource2, 0x300u);
    EXPECT_EQ(c.AudioMute, 0x400u);
    EXPECT_EQ(c.AudioMask, 0xF00u);
    // A tuner line never lands in a card field.
    EXPECT_EQ(c.I2CAddress, 0xC2u);
}

TEST(Descriptions, AMissingCardLineIsSkippedWhenTheNextLineMismatchesAtItsFirstCharacter)
{
    Card card;
    readCardDescription("VideoTuner=0x0\nVideoSource1=0x40\nAudioTuner=0x100\n", card.card);
    EXPECT_EQ(card.card.VideoTuner, 0x0u);
    EXPECT_EQ(card.card.VideoSource1, 0x40u);
    // "VideoSource2" and "VideoMask" both stop at the "A" without consuming it, so the
    // AudioTuner line is still read by its own format.
    EXPECT_EQ(card.card.VideoSource2, 0x20u);
    EXPECT_EQ(card.card.VideoMask, 0x60u);
    EXPECT_EQ(card.card.AudioTuner, 0x100u);
    EXPECT_EQ(card.card.AudioMask, 0x0Fu);
}

} // namespace
} // namespace velora
