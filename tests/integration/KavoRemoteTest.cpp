// KavoRemote as a user runs it: the built program started from a copy of the suite folder,
// on the virtual card, on a desktop with a window manager and a notification area. Keys
// pressed with velora-card arrive at a real window as default.mac binds them; a left click on
// the icon switches to mouse mode; SIGTERM lets go of the card.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "XTestWindow.h"
#include "drivers/virtualcard/CardStateFile.h"
#include "drivers/virtualcard/VirtualChip.h"
#include "hw/BtRegisters.h"
#include "tests/support/SuiteCopy.h"
#include "tests/support/WaitUntil.h"
#include "tests/support/XDisplay.h"

namespace velora {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::waitUntil;

// The notification-area icon of a program: a small viewable window of that class.
std::optional<std::pair<int, int>> trayIconCentre(Display* display, const char* className)
{
    const Window icon = test::findWindowByClass(display, className, true);
    if (icon == 0) {
        return std::nullopt;
    }
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, icon, &attributes);
    if (attributes.width >= 64 || attributes.height >= 64) {
        return std::nullopt;
    }
    return test::windowCentre(display, icon);
}

class KavoRemoteTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "needs an X server (run through tests/x11/with-desktop.sh)";
        }
        ASSERT_TRUE(m_suite.valid());
        // Settings and log beside the program, as in an unpacked suite folder.
        m_suite.environment().erase("XDG_CONFIG_HOME");
        m_state = virtualcard::CardStateFile::open(m_suite.cardState().string());
        ASSERT_NE(m_state, nullptr);
        m_chip.emplace(m_state->layout());
        m_chip->reset();
    }

    std::uint32_t gpioLow() const { return m_state->layout().registers[bt::GPIO_DATA / 4] & 0xFFu; }

    bool waitForGpioLow(std::uint32_t value, std::chrono::milliseconds timeout) const
    {
        return waitUntil([&] { return gpioLow() == value; }, timeout);
    }

    // A key on the remote through the card tool, then the pause after which another key counts.
    void press(const char* key)
    {
        ASSERT_EQ(m_suite.run("velora-card", {"press", key}, 5s), 0) << key;
        std::this_thread::sleep_for(250ms);
    }

    test::SuiteCopy m_suite;
    std::unique_ptr<virtualcard::CardStateFile> m_state;
    std::optional<virtualcard::VirtualChip> m_chip;
    test::Process m_daemon;
};

TEST_F(KavoRemoteTest, RemoteKeysIconClickAndTermination)
{
    test::XTestWindow window("Velora Key Target");
    ASSERT_TRUE(window.ok());
    ASSERT_TRUE(test::waitForSelectionOwner(window.display(), "_NET_SYSTEM_TRAY_S0", 10s));
    m_daemon = m_suite.start("KavoRemote");
    ASSERT_TRUE(waitForGpioLow(0xFF, 15s)) << "the receiver was never armed";
    EXPECT_EQ(m_state->liveMappers(), 1u);
    std::this_thread::sleep_for(300ms);

    // A second start ends at once and leaves the first one running.
    EXPECT_EQ(m_suite.run("KavoRemote", {}, 10s), 0);
    EXPECT_TRUE(m_daemon.running());
    EXPECT_EQ(gpioLow(), 0xFFu);

    window.focus();
    window.drain();
    press("Down");
    press("Enter");
    press("ChannelUp");
    press("Cancel");
    EXPECT_EQ(window.keyPresses(500ms), (std::vector<KeySym>{XK_Down, XK_Return, XK_Prior, XK_BackSpace}));

    // A left click on the icon: mouse mode, and the digits move the pointer by the step (4).
    // The icon is docked into the notification area asynchronously: give it a moment.
    std::optional<std::pair<int, int>> icon;
    waitUntil([&] { return (icon = trayIconCentre(window.display(), "KavoRemote")).has_value(); }, 15s, 50ms);
    ASSERT_TRUE(icon.has_value()) << "no notification-area icon";
    XTestFakeMotionEvent(window.display(), -1, icon->first, icon->second, CurrentTime);
    XTestFakeButtonEvent(window.display(), 1, True, CurrentTime);
    XTestFakeButtonEvent(window.display(), 1, False, CurrentTime);
    XSync(window.display(), False);
    std::this_thread::sleep_for(300ms);
    window.warpPointer(600, 500);
    press("6");
    press("8");
    EXPECT_EQ(window.pointer(), std::make_pair(604, 504));

    // A code the remote does not send is logged, in the program's own folder.
    press("0x07");
    std::ifstream log(m_suite.suite() / "remote.log");
    std::string line;
    std::getline(log, line);
    EXPECT_EQ(line, "    RK_MAKE(0x07, RK_UNKNOWN),");

    // SIGTERM: ends as Exit does, without a question; the receiver is disarmed and the card let go.
    m_daemon.signal(SIGTERM);
    EXPECT_EQ(m_daemon.waitExit(10s), 0);
    EXPECT_EQ(gpioLow(), 0u);
    EXPECT_EQ(m_state->liveMappers(), 0u);
}

TEST_F(KavoRemoteTest, SystemWideInstallKeepsSettingsAndLogPerUser)
{
    // A suite folder the user cannot write to: settings and log go to the per-user folder,
    // while the data files (default.mac) are still read from the program's folder.
    const fs::path config = m_suite.configHome();
    m_suite.environment()["XDG_CONFIG_HOME"] = config.string();
    fs::create_directories(config / "velora");
    std::ofstream(config / "velora" / "velora.ini") << "[KavoRemote]\nInitialMode=1\nMouseSpeed=9\n";
    fs::permissions(m_suite.suite(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                         fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);

    test::XTestWindow window("Velora Key Target");
    ASSERT_TRUE(window.ok());
    m_daemon = m_suite.start("KavoRemote");
    ASSERT_TRUE(waitForGpioLow(0xFF, 15s));
    std::this_thread::sleep_for(300ms);
    // Mouse mode with step 9, from the per-user velora.ini.
    window.warpPointer(600, 500);
    press("6");
    EXPECT_EQ(window.pointer(), std::make_pair(609, 500));
    // Back to keyboard mode: default.mac beside the program binds Down.
    press("MouseMode");
    window.focus();
    window.drain();
    press("Down");
    EXPECT_EQ(window.keyPresses(500ms), std::vector<KeySym>{XK_Down});
    press("0x07");
    m_daemon.signal(SIGTERM);
    EXPECT_EQ(m_daemon.waitExit(10s), 0);
    EXPECT_TRUE(fs::exists(config / "velora" / "remote.log"));
    EXPECT_FALSE(fs::exists(m_suite.suite() / "remote.log"));
}

} // namespace
} // namespace velora
