// KavoRemote as a program of a Wayland session, on a headless sway: without DISPLAY it takes
// the Wayland desktop by itself, and keys of the virtual card reach the window in front as the
// macro file binds them, a WhenClass section matching that window's application id; when the
// compositor dies it still disarms the receiver.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "tests/support/KavoRemoteRun.h"
#include "tests/support/WaitUntil.h"
#include "tests/support/wayland/SwayServer.h"

namespace velora {
namespace {

using namespace std::chrono_literals;
using test::waitUntil;

TEST(KavoRemoteWayland, TakesTheWaylandDesktopAndDrivesTheWindowInFront)
{
    const test::SwayServer sway;
    ASSERT_TRUE(sway.ok()) << sway.log();
    test::SuiteCopy suite;
    ASSERT_TRUE(suite.valid());
    suite.environment().erase("XDG_CONFIG_HOME"); // settings and log beside the program
    std::ofstream(suite.suite() / "velora.ini") << "[KavoRemote]\nAutoInit=0\nMacroPath=tv.mac\n";
    std::ofstream(suite.suite() / "tv.mac") << "Default\nDown: [VK_DOWN]\nChannelUp: [VK_PRIOR]\nEnd\n"
                                            << "WhenClass \"velora.wayland\"\nChannelUp: [VK_F5]\nEnd\n";
    test::KavoRemoteRun remote(suite);
    ASSERT_TRUE(remote.openCard(false));
    test::WaylandTestWindow window(sway, "Velora Wayland", "velora.wayland");
    ASSERT_FALSE(window.waitForLine("mapped").empty());

    test::EnvironmentChanges environment = sway.environment();
    environment["XDG_SESSION_TYPE"] = "wayland";
    ASSERT_TRUE(remote.start(environment, true).started());
    ASSERT_TRUE(remote.armed(0ms));
    // The seat has a keyboard, and the window the focus, once KavoRemote's virtual one is there.
    ASSERT_TRUE(window.waitFocused()) << ::testing::PrintToString(window.lines()) << remote.errors();
    std::this_thread::sleep_for(300ms); // a key counts 200 ms after arming

    ASSERT_EQ(suite.run("velora-card", {"press", "Down"}, 5s), 0);
    std::this_thread::sleep_for(300ms); // the receiver takes a change 200 ms after the last
    ASSERT_EQ(suite.run("velora-card", {"press", "ChannelUp"}, 5s), 0);
    EXPECT_TRUE(waitUntil([&] { return window.keys().size() >= 2; }, 5s));
    EXPECT_EQ(window.keys(), (std::vector<std::string>{"Down", "F5"})) << remote.errors() << remote.log();
    const std::string log = remote.log();
    EXPECT_NE(log.find("Desktop: wayland"), std::string::npos) << log;

    remote.endBySigtermDisarmed();
}

// Qt ends the program at once when the compositor goes; the daemon still lets go of the card.
TEST(KavoRemoteWayland, EndsInOrderWhenTheCompositorDies)
{
    std::optional<test::SwayServer> sway(std::in_place);
    ASSERT_TRUE(sway->ok()) << sway->log();
    test::SuiteCopy suite;
    ASSERT_TRUE(suite.valid());
    test::KavoRemoteRun remote(suite);
    ASSERT_TRUE(remote.openCard(false));
    test::EnvironmentChanges environment = sway->environment();
    environment["XDG_SESSION_TYPE"] = "wayland";
    ASSERT_TRUE(remote.start(environment, true).started());
    ASSERT_TRUE(remote.armed(0ms));

    sway.reset();
    EXPECT_EQ(remote.process.waitExit(10s), 2) << remote.errors();
    EXPECT_EQ(remote.gpioLow(), 0u) << "the receiver was left armed";
}

} // namespace
} // namespace velora
