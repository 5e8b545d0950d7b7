// The built VeloraConfig on a real X server with a window manager: started from a copy of the
// suite folder without velora.ini, worked with real key events (XTest), and the velora.ini it
// writes then used by the tuner library on the virtual card, as a viewer would.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "config/DataNames.h"
#include "config/linux/XrandrDisplayModes.h"
#include "drivers/virtualcard/CardStateFile.h"
#include "hw/BtRegisters.h"
#include "platform/ProfileFormat.h"
#include "platform/x11/X11Desktop.h"
#include "tests/support/SuiteCopy.h"
#include "tests/support/WaitUntil.h"

namespace velora::config {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using platform::VK_DOWN;
using platform::VK_RETURN;
using platform::VK_SPACE;
using platform::VK_TAB;
using platform::VK_UP;

class ConfigDesktop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_suite.valid());
        // Xvfb sometimes resets a connection opened just as another one closed.
        test::waitUntil([&] { return (m_desktop = platform::openX11Desktop()) != nullptr; }, 1s, 200ms);
        ASSERT_TRUE(m_desktop) << "no X server with XTEST";
    }

    // Starts the program from the copied suite folder, on the X server, in the language lang
    // names, and waits until its dialog, captioned title, is the window in front.
    void start(const char* lang = "C", const std::string& title = "Velora Configuration")
    {
        m_program = m_suite.start("VeloraConfig", {},
                                  {{"QT_QPA_PLATFORM", std::nullopt},
                                   {"LANG", lang},
                                   {"LC_ALL", std::nullopt},
                                   {"LC_MESSAGES", std::nullopt},
                                   {"LANGUAGE", std::nullopt}});
        ASSERT_TRUE(m_program.started());
        ASSERT_TRUE(waitForFront(title));
    }

    bool waitForFront(const std::string& title)
    {
        if (!test::waitUntil([&] { return m_desktop->foregroundTitle() == title; }, 20s)) {
            ADD_FAILURE() << "\"" << title << "\" never came to the front; in front: " << m_desktop->foregroundTitle();
            return false;
        }
        // Let the program take the focus it was given before keys arrive.
        std::this_thread::sleep_for(300ms);
        return true;
    }

    void press(std::initializer_list<std::uint8_t> keys)
    {
        for (const std::uint8_t key : keys) {
            m_desktop->keyEvent(key, true);
            m_desktop->keyEvent(key, false);
            std::this_thread::sleep_for(60ms);
        }
    }

    // Waits for the program to end by itself: its exit status, -1 when it did not end.
    int waitForExit() { return m_program.waitExit(10s).value_or(-1); }

    std::string value(const char* section, const char* key) const
    {
        const std::string ini = test::readFile(m_suite.suite() / "velora.ini");
        return platform::findProfileValue(ini, section, key).value_or("(missing)");
    }

    static bool anyVideoDevice()
    {
        for (int index = 0; index < 10; ++index) {
            if (fs::exists("/dev/video" + std::to_string(index))) {
                return true;
            }
        }
        return false;
    }

    test::SuiteCopy m_suite;
    std::unique_ptr<platform::Desktop> m_desktop;
    test::Process m_program;
};

TEST_F(ConfigDesktop, ReturnOnTheNewDialogWritesEveryKey)
{
    start();
    press({VK_RETURN});
    ASSERT_EQ(0, waitForExit());

    EXPECT_EQ("Generic", value("TV", "Card"));
    EXPECT_EQ("TEMIC_PAL_BG", value("TV", "Tuner"));
    EXPECT_EQ("Default", value("TV", "ChannelTable"));
    EXPECT_EQ("English", value("Global", "Language"));
    EXPECT_EQ("Arial", value("TV", "Font"));
    EXPECT_EQ("0", value("TV", "TwoDigits"));
    if (!anyVideoDevice()) {
        EXPECT_EQ("-1", value("TV", "CaptureDriverIndex"));
    }
    EXPECT_EQ("0", value("TV", "Quality"));
    EXPECT_EQ("1", value("TV", "AdjustMasterVolume"));
    EXPECT_EQ("0", value("TV", "CustomResolution"));
    for (const char* key : {"CustomResolutionX", "CustomResolutionY", "CustomResolutionBPP"}) {
        EXPECT_EQ("(missing)", value("TV", key)) << key;
    }
}

TEST_F(ConfigDesktop, AGermanDesktopGetsTheGermanDialogFromTheSuiteFolder)
{
    start("de_DE.UTF-8", "Velora-Konfiguration");
    press({platform::VK_ESCAPE});
    ASSERT_EQ(0, waitForExit());
    EXPECT_EQ("(missing)", value("TV", "Card"));
}

TEST_F(ConfigDesktop, ChoicesMadeWithKeysReachTheTunerLibrary)
{
    // The screen's modes as the dialog lists them: Xvfb's 1280 x 1024 at 24 bits is one.
    std::vector<DisplayMode> offered;
    for (const DisplayMode& mode : XrandrDisplayModes().modes()) {
        if (isOfferedMode(mode)) {
            offered.push_back(mode);
        }
    }
    ASSERT_FALSE(offered.empty());
    bool screenMode = false;
    for (const DisplayMode& mode : offered) {
        screenMode = screenMode || modeLine(mode) == "1280 x 1024 x 24";
    }
    EXPECT_TRUE(screenMode);

    start();
    // Focus starts on OK. Card: the line after Generic; tuner: the line before TEMIC_PAL_BG;
    // tick two-digit numbers; resolution: the first mode, which brings up the warning.
    press({VK_TAB, VK_TAB, VK_TAB, VK_DOWN, VK_TAB, VK_UP, VK_TAB, VK_SPACE, VK_TAB, VK_TAB, VK_DOWN});
    ASSERT_TRUE(waitForFront("VeloraConfig"));
    press({VK_RETURN});
    ASSERT_TRUE(waitForFront("Velora Configuration"));
    press({VK_RETURN});
    ASSERT_EQ(0, waitForExit());

    EXPECT_EQ("Tuner_MUX0_Sound_GPIO8-11", value("TV", "Card"));
    EXPECT_EQ("PHILIPS_FM1216ME_MK3", value("TV", "Tuner"));
    EXPECT_EQ("1", value("TV", "TwoDigits"));
    EXPECT_EQ("1", value("TV", "CustomResolution"));
    EXPECT_EQ(std::to_string(offered[0].width), value("TV", "CustomResolutionX"));
    EXPECT_EQ(std::to_string(offered[0].height), value("TV", "CustomResolutionY"));
    EXPECT_EQ(std::to_string(offered[0].bitsPerPixel), value("TV", "CustomResolutionBPP"));

    // A viewer's session on the virtual card with this file: the tuner at 0xC0 gets the
    // FM1216ME's low band, the card's wiring selects MUX0 and sound on GPIO 8 to 11.
    ASSERT_EQ(0, m_suite.run("velora-tune", {"--dir", m_suite.suite().string(), "--ini", "./velora.ini", "--mhz",
                                             "55.25", "--quiet"}));
    auto state = virtualcard::CardStateFile::open(m_suite.cardState().string());
    ASSERT_TRUE(state);
    const virtualcard::CardStateLayout& chip = state->layout();
    EXPECT_EQ(0xC0u, chip.tunerAddress);
    EXPECT_EQ(0x8Eu, chip.tunerControl);
    EXPECT_EQ(0x01u, chip.tunerBand);
    EXPECT_EQ(bt::IFORM_MUX0, chip.registers[bt::IFORM / 4] & bt::IFORM_MUXSEL);
    EXPECT_EQ(0x100u, chip.registers[bt::GPIO_DATA / 4] & 0xF00u);
}

} // namespace
} // namespace velora::config
