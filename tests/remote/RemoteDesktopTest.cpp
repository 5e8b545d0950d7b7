// The remote engine on real things: the virtual card's shared state, the real timer threads
// and a real X server. A code put into the card's GPIO_DATA must arrive at a real X window as
// the key presses that the macro file binds for that window's title, and in mouse mode must
// move the real pointer and press real buttons.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "hw/BtRegisters.h"
#include "platform/linux/LinuxLogFile.h"
#include "platform/linux/LinuxProgramStarter.h"
#include "platform/linux/LinuxTimerService.h"
#include "platform/x11/X11Desktop.h"
#include "remote/RemoteEngine.h"
#include "tests/drivers/virtualcard/TestCard.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/XTestWindow.h"

#include <X11/keysym.h>

namespace velora {
namespace {

using namespace std::chrono_literals;

constexpr const char* kTitle = "Velora Remote Test Window";

class RemoteDesktopTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "needs an X server (run through tests/support/with-desktop.sh)";
        }
        ASSERT_TRUE(m_virtualCard.open());
        m_virtualCard.chip().reset();
        m_desktop = platform::openX11Desktop();
        ASSERT_NE(m_desktop, nullptr);
        m_virtualCard.folder().write("test.mac", "Default\n"
                                                 "Enter: \"ok\"\n"
                                                 "End\n"
                                                 "WhenActive \"Remote Test\"\n"
                                                 "Down: [VK_DOWN]\n"
                                                 "ChannelUp: [VK_SHIFT a]\n"
                                                 "End\n");
    }
    void TearDown() override
    {
        m_engine.reset();
        m_card.reset();
    }

    void startEngine()
    {
        m_card = std::make_unique<CaptureCard>(platform::systemLibraryLoader(), platform::systemClock(),
                                               CardRelease::UnmapThenUnload);
        ASSERT_TRUE(m_card->IsFound()) << "the virtual card's libvelorahwio.so must be on LD_LIBRARY_PATH";
        m_engine = std::make_unique<remote::RemoteEngine>(remote::RemoteServices{
            platform::systemClock(), m_timers, *m_desktop, m_programs, m_log, platform::systemFileSystem()});
        m_engine->setLogSuppressed(false);
        ASSERT_TRUE(m_engine->LoadMacroFile(m_virtualCard.folder().file("test.mac")));
        m_engine->ArmReceiver(*m_card);
        m_engine->startTick();
        std::this_thread::sleep_for(50ms); // the first sample after arming is only stored
    }

    // A key on the remote, then the pause after which the next different key is accepted.
    void press(std::uint8_t code)
    {
        m_virtualCard.chip().pressKey(code, [](std::chrono::milliseconds ms) { std::this_thread::sleep_for(ms); });
    }

    // The driver library maps the card state named here; so does this test.
    test::TestCard m_virtualCard;
    test::ScopedEnvironment m_cardPath{"VELORA_CARD", m_virtualCard.path()};
    std::unique_ptr<platform::Desktop> m_desktop;
    platform::LinuxTimerService m_timers;
    platform::LinuxProgramStarter m_programs{""};
    platform::LinuxLogFile m_log{m_virtualCard.folder().file("remote.log")};
    std::unique_ptr<CaptureCard> m_card;
    std::unique_ptr<remote::RemoteEngine> m_engine;
};

TEST_F(RemoteDesktopTest, RemoteKeysArriveAtTheWindowInFrontAsItsMacros)
{
    test::XTestWindow window(kTitle);
    ASSERT_TRUE(window.ok());
    startEngine();
    EXPECT_EQ(m_virtualCard.file().layout().registers[bt::GPIO_DATA / 4] & 0xFFu, 0xFFu); // armed

    press(0x98); // Down: bound for this window's title
    EXPECT_EQ(window.keyPresses(400ms), std::vector<KeySym>{XK_Down});
    press(0x48); // ChannelUp: Shift+A
    EXPECT_EQ(window.keyPresses(400ms), (std::vector<KeySym>{XK_Shift_L, XK_A}));
    press(0x08); // Enter: the Default binding types "ok"
    EXPECT_EQ(window.keyPresses(400ms), (std::vector<KeySym>{XK_o, XK_k}));
    press(0x58); // Esc: bound nowhere
    EXPECT_TRUE(window.keyPresses(300ms).empty());

    m_engine->stopTick();
    m_engine->DisarmReceiver();
    EXPECT_EQ(m_virtualCard.file().layout().registers[bt::GPIO_DATA / 4] & 0xFFu, 0u);
}

TEST_F(RemoteDesktopTest, MouseModeMovesTheRealPointerAndClicks)
{
    test::XTestWindow window(kTitle);
    ASSERT_TRUE(window.ok());
    window.warpPointer(100, 100);
    startEngine();
    m_engine->setMouseStep(7);

    press(0x80); // MouseMode
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(m_engine->mouseMode(), 1);
    press(0x90); // "6": right
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(window.pointer(), std::make_pair(107, 100));
    press(0xC0); // "1": up and left
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(window.pointer(), std::make_pair(100, 93));
    window.drain();
    press(0x10); // "5": left click at the pointer, over the window
    const auto click = window.waitFor([](const XEvent& e) { return e.type == ButtonPress; }, 1s);
    ASSERT_TRUE(click.has_value());
    EXPECT_EQ(click->xbutton.button, 1u);
    EXPECT_TRUE(window.waitFor([](const XEvent& e) { return e.type == ButtonRelease; }, 1s).has_value());
    // Keys have no macros in mouse mode.
    press(0x98);
    EXPECT_TRUE(window.keyPresses(300ms).empty());
}

} // namespace
} // namespace velora
