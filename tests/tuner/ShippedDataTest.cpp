// The description files and the settings that the suite ships, read as the tuner library reads
// them: their names must say what they hold, the tuner descriptions must suit the tuning rule,
// and the shipped settings must keep tuning off the remote receiver's byte of GPIO_DATA.
#include <gtest/gtest.h>

#include "fakes/FakeCard.h"
#include "hw/BtRegisters.h"
#include "hw/CaptureCard.h"
#include "platform/ProfileFormat.h"
#include "tuner/Descriptions.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace velora {
namespace {

namespace fs = std::filesystem;

const fs::path kData = VELORA_DATA_DIR;

// Set in the last field before a file is read: reading stops at the first line that does not
// match, so the last field keeps this unless every line was read.
constexpr std::uint32_t kUnread = 0xDEADBEEF;

// The low byte of GPIO_DATA, where the remote's receiver shows its codes.
constexpr std::uint32_t kReceiverByte = 0xFF;

std::string readText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

using Card = test::FakeCard;

void readWholeCard(const fs::path& path, CaptureCard& card)
{
    card.AudioMask = kUnread;
    readCardDescription(readText(path), card);
    EXPECT_NE(card.AudioMask, kUnread) << path << " has a line that the reader does not take";
}

std::vector<fs::path> shipped(const std::string& folder, const std::string& extension)
{
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(kData / folder)) {
        if (entry.path().extension() == extension) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(ShippedData, CardNamesSayWhichInputAndWhichPinsTheyUse)
{
    const std::regex muxName("MUX([0-3])");
    const std::regex soundName("Sound_GPIO([0-9]+)-([0-9]+)");
    int namedInputs = 0;
    for (const fs::path& path : shipped("Cards", ".crd")) {
        const std::string name = path.stem().string();
        Card card;
        readWholeCard(path, card.card);
        const CaptureCard& c = card.card;
        EXPECT_EQ(c.VideoMask, bt::IFORM_MUXSEL) << name;

        std::smatch match;
        if (std::regex_search(name, match, muxName)) {
            ++namedInputs;
            EXPECT_EQ(bt::iformMux(c.VideoTuner), std::stoi(match[1]))
                << name << ": VideoTuner=0x" << std::hex << c.VideoTuner;
        }
        if (std::regex_search(name, match, soundName)) {
            std::uint32_t pins = 0;
            for (int pin = std::stoi(match[1]); pin <= std::stoi(match[2]); ++pin) {
                pins |= 1u << pin;
            }
            EXPECT_EQ(c.AudioMask, pins) << name;
        }
    }
    EXPECT_GE(namedInputs, 2);
}

TEST(ShippedData, ShippedSettingsKeepTuningOffTheRemoteReceiversByte)
{
    const std::string settings = readText(kData / "velora.ini");
    const std::optional<std::string> cardName = platform::findProfileValue(settings, "TV", "Card");
    const std::optional<std::string> tunerName = platform::findProfileValue(settings, "TV", "Tuner");
    ASSERT_TRUE(cardName && tunerName);
    ASSERT_TRUE(fs::exists(kData / "Tuners" / (*tunerName + ".tun"))) << *tunerName;
    const fs::path cardFile = kData / "Cards" / (*cardName + ".crd");
    ASSERT_TRUE(fs::exists(cardFile)) << *cardName;

    Card card;
    readWholeCard(cardFile, card.card);
    // Tuning rewrites the AudioMask bits twice; in the receiver's byte KavoRemote would take
    // each rewrite for a key.
    EXPECT_EQ(card.card.AudioMask & kReceiverByte, 0u)
        << *cardName << " switches the sound on GPIO bits that the remote's receiver uses";
    EXPECT_NE(card.card.AudioMask, 0u);
}

TEST(ShippedData, EveryTunerDescriptionSuitsTheTuningRule)
{
    // The divider adds a picture intermediate frequency of 38.9 MHz, so a module built for
    // another one is tuned off by the difference. Each description names its module's.
    const std::map<std::string, int> pictureIfKHz = {
        {"Default", 38900},
        {"TEMIC_PAL_BG", 38900},
        {"PHILIPS_FI1216_PAL_BG", 38900},
        {"PHILIPS_FM1216ME_MK3", 38900},
        {"PHILIPS_FI1246_PAL_I", 39500}, // System I
    };
    const std::vector<fs::path> tuners = shipped("Tuners", ".tun");
    EXPECT_GE(tuners.size(), 3u);
    for (const fs::path& path : tuners) {
        const std::string name = path.stem().string();
        const auto known = pictureIfKHz.find(name);
        ASSERT_NE(known, pictureIfKHz.end()) << name << ": say here which intermediate frequency the module uses";
        EXPECT_EQ(known->second, 38900) << name << " would be tuned " << known->second - 38900 << " kHz off";

        Card card;
        card.card.Threshold2 = -1;
        readTunerDescription(readText(path), card.card);
        EXPECT_NE(card.card.Threshold2, -1) << name << " has a line that the reader does not take";
    }
}

} // namespace
} // namespace velora
