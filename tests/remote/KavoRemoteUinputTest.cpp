// KavoRemote where there is no X server: with Qt's offscreen platform, DISPLAY and
// WAYLAND_DISPLAY unset, it takes the kernel's uinput device, here a plain file in its place
// (VELORA_UINPUT_DEVICE), and a key on the virtual card ends up there as input records.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <linux/input.h>

#include "drivers/virtualcard/CardStateFile.h"
#include "hw/BtRegisters.h"
#include "tests/support/InputRecords.h"
#include "tests/support/SuiteCopy.h"
#include "tests/support/WaitUntil.h"

namespace velora {
namespace {

using namespace std::chrono_literals;
using test::waitUntil;
using Texts = std::vector<std::string>;

TEST(KavoRemoteUinput, WithoutXTheKeysGoThroughTheKernelDevice)
{
    test::SuiteCopy suite;
    ASSERT_TRUE(suite.valid());
    suite.environment().erase("XDG_CONFIG_HOME"); // settings and log beside the program
    const std::string device = (suite.root() / "uinput").string();
    std::ofstream(device).flush();
    std::ofstream(suite.suite() / "velora.ini") << "[KavoRemote]\nAutoInit=0\n";
    auto state = virtualcard::CardStateFile::open(suite.cardState().string());
    ASSERT_NE(state, nullptr);

    test::EnvironmentChanges environment = suite.environment();
    environment["DISPLAY"] = std::nullopt;
    environment["WAYLAND_DISPLAY"] = std::nullopt;
    environment["XDG_SESSION_TYPE"] = "tty";
    environment["QT_QPA_PLATFORM"] = "offscreen";
    environment["VELORA_UINPUT_DEVICE"] = device;
    const std::string errors = (suite.root() / "errors").string();
    test::Process daemon(suite.program("KavoRemote").string(), {}, environment, errors, errors);
    ASSERT_TRUE(daemon.started());
    const auto gpioLow = [&state] { return state->layout().registers[bt::GPIO_DATA / 4] & 0xFFu; };
    ASSERT_TRUE(waitUntil([&] { return gpioLow() == 0xFFu; }, 15s)) << "the receiver was never armed\n"
                                                                    << test::readFile(errors);
    std::this_thread::sleep_for(300ms); // a key counts 200 ms after arming

    ASSERT_EQ(suite.run("velora-card", {"press", "Down"}, 5s), 0);
    const Texts expected{"EV_KEY 108 1", "EV_SYN 0 0", "EV_KEY 108 0", "EV_SYN 0 0"};
    EXPECT_TRUE(waitUntil([&] { return test::inputRecordTexts(test::readFile(device)) == expected; }, 5s))
        << "got " << ::testing::PrintToString(test::inputRecordTexts(test::readFile(device)));

    // The log says which desktop serves and that window scopes cannot match; no failure is
    // reported, as it is where no desktop can be had at all.
    const std::string log = test::readFile(suite.suite() / "remote.log");
    EXPECT_NE(log.find("Desktop: uinput"), std::string::npos) << log;
    EXPECT_NE(log.find("the Default section serves"), std::string::npos) << log;
    EXPECT_EQ(test::readFile(errors).find("cannot send keys"), std::string::npos) << test::readFile(errors);

    daemon.signal(SIGTERM);
    EXPECT_EQ(daemon.waitExit(10s), 0);
    EXPECT_EQ(gpioLow(), 0u) << "the receiver was left armed";
}

} // namespace
} // namespace velora
