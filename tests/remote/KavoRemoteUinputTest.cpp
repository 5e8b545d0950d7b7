// KavoRemote where there is no X server: with Qt's offscreen platform, DISPLAY and
// WAYLAND_DISPLAY unset, it takes the kernel's uinput device, here a plain file in its place
// (VELORA_UINPUT_DEVICE), and a key on the virtual card ends up there as input records.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <linux/input.h>

#include "tests/support/InputRecords.h"
#include "tests/support/KavoRemoteRun.h"
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
    test::KavoRemoteRun remote(suite);
    ASSERT_TRUE(remote.openCard(false));

    ASSERT_TRUE(remote
                    .start({{"DISPLAY", std::nullopt},
                            {"WAYLAND_DISPLAY", std::nullopt},
                            {"XDG_SESSION_TYPE", "tty"},
                            {"QT_QPA_PLATFORM", "offscreen"},
                            {"VELORA_UINPUT_DEVICE", device}},
                           true)
                    .started());
    ASSERT_TRUE(remote.armed());

    ASSERT_EQ(suite.run("velora-card", {"press", "Down"}, 5s), 0);
    const Texts expected{"EV_KEY 108 1", "EV_SYN 0 0", "EV_KEY 108 0", "EV_SYN 0 0"};
    EXPECT_TRUE(waitUntil([&] { return test::inputRecordTexts(test::readFile(device)) == expected; }, 5s))
        << "got " << ::testing::PrintToString(test::inputRecordTexts(test::readFile(device)));

    // The log says which desktop serves and that window scopes cannot match; no failure is
    // reported, as it is where no desktop can be had at all.
    const std::string log = remote.log();
    EXPECT_NE(log.find("Desktop: uinput"), std::string::npos) << log;
    EXPECT_NE(log.find("the Default section serves"), std::string::npos) << log;
    EXPECT_EQ(remote.errors().find("cannot send keys"), std::string::npos) << remote.errors();

    remote.endBySigtermDisarmed();
}

} // namespace
} // namespace velora
