// The Wayland desktop on a headless sway, watched through windows of the test client: keys
// and buttons reach the window in front, the pointer goes where it is put, the window in
// front is known by title and application id and can be changed by title, and a lost
// connection ends nothing.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/VirtualKeys.h"
#include "platform/wayland/WaylandDesktop.h"
#include "tests/support/WaitUntil.h"
#include "tests/support/wayland/SwayServer.h"

namespace velora::platform {
namespace {

using namespace std::chrono_literals;

class WaylandDesktopTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_sway->ok()) << m_sway->log();
        m_desktop = openWaylandDesktop(
            m_sway->socket().c_str(),
            [this](const std::string& line) {
                std::lock_guard lock(m_logMutex);
                m_log.push_back(line);
            },
            [this] { ++m_lost; });
        ASSERT_NE(m_desktop, nullptr) << m_sway->log();
    }

    std::vector<std::string> log()
    {
        std::lock_guard lock(m_logMutex);
        return m_log;
    }

    void tap(std::uint8_t virtualKey)
    {
        m_desktop->keyEvent(virtualKey, true);
        m_desktop->keyEvent(virtualKey, false);
    }

    std::unique_ptr<test::SwayServer> m_sway = std::make_unique<test::SwayServer>();
    std::unique_ptr<Desktop> m_desktop;
    std::mutex m_logMutex;
    std::vector<std::string> m_log;
    std::atomic<int> m_lost{0};
};

TEST(WaylandDesktopOpenTest, NoDisplayGivesNoDesktop)
{
    EXPECT_EQ(openWaylandDesktop("/nonexistent/wayland-velora"), nullptr);
}

TEST_F(WaylandDesktopTest, KeysReachTheWindowInFrontAsTheirKeysyms)
{
    test::WaylandTestWindow window(*m_sway, "Velora keys", "velora.keys");
    ASSERT_TRUE(window.waitFocused()) << m_sway->log();
    // Nothing to say on a compositor with every protocol.
    EXPECT_TRUE(log().empty());

    tap('V');
    m_desktop->keyEvent(VK_SHIFT, true);
    tap('Q');
    m_desktop->keyEvent(VK_SHIFT, false);
    tap('q' - 'a' + 'A');
    tap('7');
    tap(VK_RETURN);
    tap(VK_DOWN);
    tap(VK_F13);
    tap(VK_NUMPAD5);
    tap(0xAD); // volume mute
    tap(0xB3); // play/pause
    tap(VK_ESCAPE);
    tap(VK_LBUTTON); // no key: nothing
    ASSERT_FALSE(window.waitForLine("key Escape").empty()) << testing::PrintToString(window.lines());
    EXPECT_EQ(window.keys(), (std::vector<std::string>{"v", "Shift_L", "Q", "q", "7", "Return", "Down", "F13", "KP_5",
                                                       "XF86AudioMute", "XF86AudioPlay", "Escape"}));
    // The real keyboard's state is out of reach on Wayland.
    m_desktop->keyEvent(VK_SHIFT, true);
    EXPECT_FALSE(m_desktop->isKeyDown(VK_SHIFT));
    m_desktop->keyEvent(VK_SHIFT, false);
}

TEST_F(WaylandDesktopTest, TheWindowInFrontIsKnownAndChangedByTitle)
{
    test::WaylandTestWindow first(*m_sway, "Velora first window", "velora.first");
    ASSERT_TRUE(first.waitFocused()) << m_sway->log();
    EXPECT_TRUE(test::waitUntil([&] { return m_desktop->foregroundTitle() == "Velora first window"; }, 5s));
    const WindowClass firstClass = m_desktop->foregroundClass();
    EXPECT_EQ(firstClass.instance, "velora.first");
    EXPECT_EQ(firstClass.name, "velora.first");

    std::optional<test::WaylandTestWindow> second;
    second.emplace(*m_sway, "Velora second window", "velora.second");
    ASSERT_TRUE(second->waitFocused()) << m_sway->log();
    EXPECT_TRUE(test::waitUntil([&] { return m_desktop->foregroundTitle() == "Velora second window"; }, 5s));
    EXPECT_EQ(m_desktop->foregroundClass().instance, "velora.second");

    EXPECT_FALSE(m_desktop->activateWindow("Velora first"));        // titles match whole
    EXPECT_FALSE(m_desktop->activateWindow("velora first window")); // and by case
    ASSERT_TRUE(m_desktop->activateWindow("Velora first window"));
    EXPECT_TRUE(first.waitFocused());
    EXPECT_TRUE(test::waitUntil([&] { return m_desktop->foregroundTitle() == "Velora first window"; }, 5s));
    tap('X');
    EXPECT_FALSE(first.waitForLine("key x").empty());
    EXPECT_EQ(first.keys(), std::vector<std::string>{"x"});
    EXPECT_TRUE(second->keys().empty());

    // A closed window is no longer found.
    second.reset();
    EXPECT_TRUE(test::waitUntil([&] { return !m_desktop->activateWindow("Velora second window"); }, 5s));
    EXPECT_TRUE(m_desktop->activateWindow("Velora first window"));
}

TEST_F(WaylandDesktopTest, ThePointerGoesWhereItIsPutAndPressesButtons)
{
    test::WaylandTestWindow window(*m_sway, "Velora pointer", "velora.pointer");
    ASSERT_TRUE(window.waitFocused()) << m_sway->log();
    // Before any move, the pointer is taken to be in the middle of the screen.
    EXPECT_EQ(m_desktop->pointerPosition().x, 640);
    EXPECT_EQ(m_desktop->pointerPosition().y, 512);

    m_desktop->setPointerPosition(100, 120);
    EXPECT_FALSE(window.waitForLine("pointer enter 100 120").empty()) << testing::PrintToString(window.lines());
    EXPECT_EQ(m_desktop->pointerPosition().x, 100);
    EXPECT_EQ(m_desktop->pointerPosition().y, 120);
    m_desktop->setPointerPosition(104, 120);
    EXPECT_FALSE(window.waitForLine("pointer motion 104 120").empty()) << testing::PrintToString(window.lines());

    // The screen's edges hold it.
    m_desktop->setPointerPosition(5000, -30);
    EXPECT_EQ(m_desktop->pointerPosition().x, 1279);
    EXPECT_EQ(m_desktop->pointerPosition().y, 0);
    EXPECT_FALSE(window.waitForLine("pointer motion 1279 0").empty()) << testing::PrintToString(window.lines());

    m_desktop->mouseButton(MouseButton::Left, true);
    m_desktop->mouseButton(MouseButton::Left, false);
    m_desktop->mouseButton(MouseButton::Right, true);
    m_desktop->mouseButton(MouseButton::Right, false);
    EXPECT_FALSE(window.waitForLine("button 273 released").empty());
    std::vector<std::string> buttons;
    for (const std::string& line : window.lines()) {
        if (line.rfind("button ", 0) == 0) {
            buttons.push_back(line);
        }
    }
    EXPECT_EQ(buttons, (std::vector<std::string>{"button 272 pressed", "button 272 released", "button 273 pressed",
                                                 "button 273 released"}));
}

TEST_F(WaylandDesktopTest, ALostConnectionIsToldOnceAndEndsNothing)
{
    test::WaylandTestWindow window(*m_sway, "Velora lost", "velora.lost");
    ASSERT_TRUE(window.waitFocused()) << m_sway->log();
    m_sway.reset();
    EXPECT_TRUE(test::waitUntil([&] { return m_lost.load() == 1; }, 5s));
    // Every call does nothing now, from any thread.
    tap('A');
    m_desktop->setPointerPosition(10, 10);
    m_desktop->mouseButton(MouseButton::Left, true);
    EXPECT_EQ(m_desktop->foregroundTitle(), "");
    EXPECT_FALSE(m_desktop->activateWindow("Velora lost"));
    EXPECT_EQ(m_lost.load(), 1);
    EXPECT_FALSE(log().empty());
    m_desktop.reset();
}

} // namespace
} // namespace velora::platform
