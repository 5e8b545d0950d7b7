// The remote engine on a Wayland desktop: the virtual card's shared state, the real timer
// threads, the Wayland desktop and a headless sway with windows of the test client. A code put
// into the card's GPIO_DATA must arrive at the Wayland window in front as the key presses
// the macro file binds for its title, "@title@" must bring another window to the front, and
// mouse mode must move the pointer over the window and click there.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/wayland/WaylandDesktop.h"
#include "tests/remote/CardEngineRig.h"
#include "tests/support/WaitUntil.h"
#include "tests/support/wayland/SwayServer.h"

namespace velora {
namespace {

using namespace std::chrono_literals;

constexpr const char* kTitle = "Velora Remote Test Window";
constexpr const char* kOtherTitle = "Velora Other Window";

class RemoteWaylandTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_sway.ok()) << m_sway.log();
        ASSERT_TRUE(m_rig.open(std::string(remote::kTestWindowMacros) + "WhenActive \"Other Window\"\n"
                                                                        "Esc: @Velora Remote Test Window@\n"
                                                                        "Down: \"b\"\n"
                                                                        "End\n"));
        m_desktop = platform::openWaylandDesktop(m_sway.socket().c_str());
        ASSERT_NE(m_desktop, nullptr);
    }

    void startEngine() { m_rig.startEngine(*m_desktop); }

    // A key on the remote, after the pause that the receiver needs between different keys:
    // one within 200 ms of the previous change counts as noise.
    void press(std::uint8_t code)
    {
        std::this_thread::sleep_for(250ms);
        m_rig.press(code);
    }

    // The keys a window got after the first `after`, once `count` of them are there.
    static std::vector<std::string> keysAfter(const test::WaylandTestWindow& window, std::size_t after,
                                              std::size_t count)
    {
        std::vector<std::string> keys;
        test::waitUntil(
            [&] {
                keys = window.keys();
                return keys.size() >= after + count;
            },
            2s);
        return after < keys.size() ? std::vector<std::string>(keys.begin() + static_cast<long>(after), keys.end())
                                   : std::vector<std::string>{};
    }

    // Whether the pointer came to this place in the window (entering it or moving in it).
    static bool pointerAt(const test::WaylandTestWindow& window, int x, int y)
    {
        const std::string place = std::to_string(x) + " " + std::to_string(y);
        return test::waitUntil(
            [&] {
                for (const std::string& line : window.lines()) {
                    if (line == "pointer enter " + place || line == "pointer motion " + place) {
                        return true;
                    }
                }
                return false;
            },
            2s);
    }

    test::SwayServer m_sway;
    std::unique_ptr<platform::Desktop> m_desktop;
    remote::CardEngineRig m_rig;
};

TEST_F(RemoteWaylandTest, RemoteKeysArriveAtTheWaylandWindowInFrontAsItsMacros)
{
    test::WaylandTestWindow window(m_sway, kTitle, "velora.remote-test");
    ASSERT_TRUE(window.waitFocused()) << m_sway.log();
    ASSERT_TRUE(test::waitUntil([&] { return m_desktop->foregroundTitle() == kTitle; }, 5s));
    startEngine();

    press(0x98); // Down: bound for this window's title
    EXPECT_EQ(keysAfter(window, 0, 1), std::vector<std::string>{"Down"});
    press(0x48); // ChannelUp: Shift+A
    EXPECT_EQ(keysAfter(window, 1, 2), (std::vector<std::string>{"Shift_L", "A"}));
    press(0x08); // Enter: the Default binding types "ok"
    EXPECT_EQ(keysAfter(window, 3, 2), (std::vector<std::string>{"o", "k"}));
    press(0x58); // Esc: bound nowhere for this window
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(window.keys().size(), 5u) << testing::PrintToString(window.lines());

    // Another window in front: its own section, and "@title@" brings the first one back.
    test::WaylandTestWindow other(m_sway, kOtherTitle, "velora.other");
    ASSERT_TRUE(other.waitFocused()) << m_sway.log();
    ASSERT_TRUE(test::waitUntil([&] { return m_desktop->foregroundTitle() == kOtherTitle; }, 5s));
    press(0x98); // Down: "b" in the other window
    EXPECT_EQ(keysAfter(other, 0, 1), std::vector<std::string>{"b"});
    press(0x58); // Esc: activates the first window by its title
    EXPECT_TRUE(window.waitFocused(3s));
    EXPECT_TRUE(test::waitUntil([&] { return m_desktop->foregroundTitle() == kTitle; }, 3s));
    press(0x98);
    EXPECT_EQ(keysAfter(window, 5, 1), std::vector<std::string>{"Down"});
    EXPECT_EQ(other.keys(), std::vector<std::string>{"b"});
}

TEST_F(RemoteWaylandTest, MouseModeMovesThePointerOverTheWindowAndClicks)
{
    test::WaylandTestWindow window(m_sway, kTitle, "velora.remote-test");
    ASSERT_TRUE(window.waitFocused()) << m_sway.log();
    startEngine();
    m_rig.engine->setMouseStep(7);

    press(0x80); // MouseMode
    ASSERT_TRUE(test::waitUntil([&] { return m_rig.engine->mouseMode() == 1; }, 1s));
    // Wayland tells no one where the pointer is: the desktop starts it in the middle.
    press(0x90); // "6": right
    EXPECT_TRUE(pointerAt(window, 647, 512)) << testing::PrintToString(window.lines());
    press(0xC0); // "1": up and left
    EXPECT_TRUE(pointerAt(window, 640, 505)) << testing::PrintToString(window.lines());
    press(0x10); // "5": left click at the pointer, over the window
    EXPECT_FALSE(window.waitForLine("button 272 pressed").empty());
    EXPECT_FALSE(window.waitForLine("button 272 released").empty());
    // Keys have no macros in mouse mode.
    press(0x98);
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(window.keys().empty());
}

} // namespace
} // namespace velora
