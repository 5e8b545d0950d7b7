// KavoRemote as a program of a Wayland session, on a headless sway: without DISPLAY it takes
// the Wayland desktop by itself, and keys of the virtual card reach the window in front as the
// macro file binds them, a WhenClass section matching that window's application id.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <string>
#include <thread>

#include "drivers/virtualcard/CardStateFile.h"
#include "hw/BtRegisters.h"
#include "tests/support/SuiteCopy.h"
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
    auto state = virtualcard::CardStateFile::open(suite.cardState().string());
    ASSERT_NE(state, nullptr);
    test::WaylandTestWindow window(sway, "Velora Wayland", "velora.wayland");
    ASSERT_FALSE(window.waitForLine("mapped").empty());

    test::EnvironmentChanges environment = suite.environment();
    for (const auto& [name, value] : sway.environment()) {
        environment[name] = value;
    }
    environment["XDG_SESSION_TYPE"] = "wayland";
    const std::string errors = (suite.root() / "errors").string();
    test::Process daemon(suite.program("KavoRemote").string(), {}, environment, errors, errors);
    ASSERT_TRUE(daemon.started());
    const auto gpioLow = [&state] { return state->layout().registers[bt::GPIO_DATA / 4] & 0xFFu; };
    ASSERT_TRUE(waitUntil([&] { return gpioLow() == 0xFFu; }, 15s)) << "the receiver was never armed\n"
                                                                    << test::readFile(errors);
    // The seat has a keyboard, and the window the focus, once KavoRemote's virtual one is there.
    ASSERT_TRUE(window.waitFocused()) << ::testing::PrintToString(window.lines()) << test::readFile(errors);
    std::this_thread::sleep_for(300ms); // a key counts 200 ms after arming

    ASSERT_EQ(suite.run("velora-card", {"press", "Down"}, 5s), 0);
    std::this_thread::sleep_for(300ms); // the receiver takes a change 200 ms after the last
    ASSERT_EQ(suite.run("velora-card", {"press", "ChannelUp"}, 5s), 0);
    EXPECT_TRUE(waitUntil([&] { return window.keys().size() >= 2; }, 5s));
    EXPECT_EQ(window.keys(), (std::vector<std::string>{"Down", "F5"}))
        << test::readFile(errors) << test::readFile(suite.suite() / "remote.log");
    const std::string log = test::readFile(suite.suite() / "remote.log");
    EXPECT_NE(log.find("Desktop: wayland"), std::string::npos) << log;

    daemon.signal(SIGTERM);
    EXPECT_EQ(daemon.waitExit(10s), 0);
    EXPECT_EQ(gpioLow(), 0u) << "the receiver was left armed";
}

} // namespace
} // namespace velora
