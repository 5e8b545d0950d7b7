// The remote engine on real things: the virtual card's shared state, the real timer threads
// and a real X server. A code put into the card's GPIO_DATA must arrive at a real X window as
// the key presses that the macro file binds for that window's title, and in mouse mode must
// move the real pointer and press real buttons.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/x11/X11Desktop.h"
#include "tests/remote/CardEngineRig.h"
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
        ASSERT_TRUE(m_rig.open(remote::kTestWindowMacros));
        m_desktop = platform::openX11Desktop();
        ASSERT_NE(m_desktop, nullptr);
    }

    void startEngine() { m_rig.startEngine(*m_desktop); }
    // A key on the remote, then the pause after which the next different key is accepted.
    void press(std::uint8_t code) { m_rig.press(code); }

    std::unique_ptr<platform::Desktop> m_desktop;
    remote::CardEngineRig m_rig;
};

TEST_F(RemoteDesktopTest, RemoteKeysArriveAtTheWindowInFrontAsItsMacros)
{
    test::XTestWindow window(kTitle);
    ASSERT_TRUE(window.ok());
    startEngine();
    EXPECT_EQ(m_rig.gpioLow(), 0xFFu); // armed

    press(0x98); // Down: bound for this window's title
    EXPECT_EQ(window.keyPresses(400ms), std::vector<KeySym>{XK_Down});
    press(0x48); // ChannelUp: Shift+A
    EXPECT_EQ(window.keyPresses(400ms), (std::vector<KeySym>{XK_Shift_L, XK_A}));
    press(0x08); // Enter: the Default binding types "ok"
    EXPECT_EQ(window.keyPresses(400ms), (std::vector<KeySym>{XK_o, XK_k}));
    press(0x58); // Esc: bound nowhere
    EXPECT_TRUE(window.keyPresses(300ms).empty());

    m_rig.engine->stopTick();
    m_rig.engine->DisarmReceiver();
    EXPECT_EQ(m_rig.gpioLow(), 0u);
}

TEST_F(RemoteDesktopTest, MouseModeMovesTheRealPointerAndClicks)
{
    test::XTestWindow window(kTitle);
    ASSERT_TRUE(window.ok());
    window.warpPointer(100, 100);
    startEngine();
    m_rig.engine->setMouseStep(7);

    press(0x80); // MouseMode
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(m_rig.engine->mouseMode(), 1);
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
