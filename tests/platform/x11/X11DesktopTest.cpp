// The X11 desktop as a whole: opening it, the pointer and the mouse buttons, calls from
// several threads at once, and an X server that goes away while it is used.
#include <gtest/gtest.h>

#include "tests/platform/x11/X11DesktopFixture.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Desktop.h"
#include "tests/support/WaitUntil.h"
#include "tests/support/XServer.h"

namespace velora::platform {
namespace {

using namespace std::chrono_literals;

TEST(X11DesktopOpen, GivesNothingWithoutAServer)
{
    EXPECT_EQ(openX11Desktop(":7193"), nullptr);
}

TEST_F(X11DesktopTest, PointerMovesAndStaysOnTheScreen)
{
    m_desktop->setPointerPosition(100, 200);
    EXPECT_EQ(m_desktop->pointerPosition().x, 100);
    EXPECT_EQ(m_desktop->pointerPosition().y, 200);
    m_desktop->setPointerPosition(-50, 5000);
    EXPECT_EQ(m_desktop->pointerPosition().x, 0);
    EXPECT_EQ(m_desktop->pointerPosition().y, 1023);
    m_desktop->setPointerPosition(99999, -3);
    EXPECT_EQ(m_desktop->pointerPosition().x, 1279);
    EXPECT_EQ(m_desktop->pointerPosition().y, 0);
}

TEST_F(X11DesktopTest, MouseButtonsClickWhereThePointerIs)
{
    const Window window = shownFocusedWindow("Velora mouse");
    int x = 0;
    int y = 0;
    Window child = None;
    XTranslateCoordinates(m_display, window, m_root, 10, 20, &x, &y, &child);
    m_desktop->setPointerPosition(x, y);
    const auto button = [&] {
        auto event = waitForEvent([window](const XEvent& e) {
            return (e.type == ButtonPress || e.type == ButtonRelease) && e.xbutton.window == window;
        });
        if (!event) {
            return std::string("(none)");
        }
        return std::string(event->type == ButtonPress ? "+" : "-") + std::to_string(event->xbutton.button) + "@" +
               std::to_string(event->xbutton.x) + "," + std::to_string(event->xbutton.y);
    };
    m_desktop->mouseButton(MouseButton::Left, true);
    m_desktop->mouseButton(MouseButton::Left, false);
    m_desktop->mouseButton(MouseButton::Right, true);
    m_desktop->mouseButton(MouseButton::Right, false);
    EXPECT_EQ(button(), "+1@10,20");
    EXPECT_EQ(button(), "-1@10,20");
    EXPECT_EQ(button(), "+3@10,20");
    EXPECT_EQ(button(), "-3@10,20");
}

// The hot key is seen through the presses the desktop reports, which still reach the window in
// front; once the watch is stopped, no call comes any more.
TEST_F(X11DesktopTest, KeyPressesAreReportedWithoutBeingTaken)
{
    const Window window = shownFocusedWindow("Velora watch");
    std::atomic<int> presses{0};
    ASSERT_TRUE(m_desktop->watchKeyPresses([&presses] { ++presses; }));
    m_desktop->keyEvent(VK_F12, true);
    m_desktop->keyEvent(VK_F12, false);
    EXPECT_TRUE(test::waitUntil([&presses] { return presses.load() >= 1; }, 3s));
    EXPECT_EQ(nextKey(window), "+F12");
    EXPECT_EQ(nextKey(window), "-F12");
    ASSERT_TRUE(m_desktop->watchKeyPresses({}));
    const int seen = presses.load();
    EXPECT_EQ(tap(VK_F11, window), "+F11 -F11");
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(presses.load(), seen);
}

// The daemon calls from its tick, release-timer and GUI threads. A smoke test: nothing may
// deadlock, crash or lose a key while spares are reassigned under the other calls.
TEST_F(X11DesktopTest, CallsFromSeveralThreadsAtOnceAreSafe)
{
    const Window window = shownFocusedWindow("Velora threads");
    std::vector<std::thread> threads;
    threads.emplace_back([&] {
        for (int i = 0; i < 200; ++i) {
            m_desktop->keyEvent(static_cast<std::uint8_t>(VK_F13 + i % 12), true); // F13..F24: spares
            m_desktop->keyEvent(static_cast<std::uint8_t>(VK_F13 + i % 12), false);
        }
    });
    threads.emplace_back([&] {
        for (int i = 0; i < 200; ++i) {
            m_desktop->setPointerPosition(i, i);
            m_desktop->pointerPosition();
            m_desktop->isKeyDown(VK_CONTROL);
        }
    });
    threads.emplace_back([&] {
        for (int i = 0; i < 100; ++i) {
            m_desktop->foregroundTitle();
            m_desktop->activateWindow("Velora threads");
        }
    });
    for (std::thread& thread : threads) {
        thread.join();
    }
    int keys = 0;
    while (waitForEvent([window](const XEvent& e) { return e.type == KeyRelease && e.xkey.window == window; }, 500ms)) {
        ++keys;
    }
    EXPECT_EQ(keys, 200);
    EXPECT_EQ(tap(VK_RETURN, window), "+Return -Return");
}

// The X server goes away (a logout, a crash) while threads drive the desktop: Xlib would end
// the process from whichever thread noticed. Instead the desktop stops using the connection
// and says so once.
TEST(X11DesktopServer, LosingTheServerEndsNothing)
{
    test::XServer server;
    ASSERT_TRUE(server.ok());
    std::unique_ptr<X11Connection> connection = X11Connection::open(server.display().c_str());
    ASSERT_NE(connection, nullptr);
    const X11Connection& desktopConnection = *connection;
    std::atomic<int> lost{0};
    std::unique_ptr<Desktop> desktop = openX11Desktop(std::move(connection), [&] { ++lost; });
    ASSERT_NE(desktop, nullptr);
    std::atomic<int> presses{0};
    ASSERT_TRUE(desktop->watchKeyPresses([&presses] { ++presses; })); // on a connection of its own

    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    threads.emplace_back([&] {
        for (int i = 0; !stop; ++i) {
            desktop->keyEvent(static_cast<std::uint8_t>('A' + i % 26), true);
            desktop->keyEvent(static_cast<std::uint8_t>('A' + i % 26), false);
        }
    });
    threads.emplace_back([&] {
        while (!stop) {
            desktop->isKeyDown(VK_CONTROL);
            desktop->foregroundTitle();
            desktop->activateWindow("Velora nowhere");
            desktop->setPointerPosition(5, 5);
        }
    });
    std::this_thread::sleep_for(200ms);
    desktop->keyEvent(VK_SHIFT, true); // held when the server goes
    server.kill();
    EXPECT_TRUE(test::waitUntil([&] { return lost.load() > 0; }, 5s));
    std::this_thread::sleep_for(300ms); // the threads go on calling the dead desktop
    stop = true;
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(lost.load(), 1);
    EXPECT_TRUE(desktopConnection.lost());
    EXPECT_GT(presses.load(), 0);
    desktop->keyEvent(VK_SHIFT, false);
    EXPECT_EQ(desktop->foregroundTitle(), "");
    desktop.reset();
}

} // namespace
} // namespace velora::platform
