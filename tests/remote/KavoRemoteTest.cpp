// KavoRemote as a user runs it: the built program started from a copy of the suite folder,
// on the virtual card, on a desktop with a window manager and a notification area. Keys
// pressed with velora-card arrive at a real window as default.mac binds them; a left click on
// the icon switches to mouse mode; SIGTERM lets go of the card. And as users end it: signals,
// an X server that goes away, a termination while a message box waits, a long macro playing;
// message boxes under the window manager; a notification area that comes after the program.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "tests/support/KavoRemoteRun.h"
#include "tests/support/WaitUntil.h"
#include "tests/support/XDisplay.h"
#include "tests/support/XServer.h"
#include "tests/support/XTestWindow.h"

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

// KavoRemote's icon, once it has docked into the notification area (which it does
// asynchronously): where it is, or nothing after the time.
std::optional<std::pair<int, int>> waitForTrayIcon(Display* display)
{
    std::optional<std::pair<int, int>> icon;
    waitUntil([&] { return (icon = trayIconCentre(display, "KavoRemote")).has_value(); }, 15s, 50ms);
    return icon;
}

// Keys and clicks as the user's own keyboard and mouse give them.
void tapKey(Display* display, KeySym key, KeySym modifier = NoSymbol)
{
    const KeyCode code = XKeysymToKeycode(display, key);
    const KeyCode held = modifier != NoSymbol ? XKeysymToKeycode(display, modifier) : 0;
    if (held != 0) {
        XTestFakeKeyEvent(display, held, True, CurrentTime);
    }
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    if (held != 0) {
        XTestFakeKeyEvent(display, held, False, CurrentTime);
    }
    XSync(display, False);
    std::this_thread::sleep_for(100ms);
}

void click(Display* display, std::pair<int, int> at, unsigned button)
{
    XTestFakeMotionEvent(display, -1, at.first, at.second, CurrentTime);
    XTestFakeButtonEvent(display, button, True, CurrentTime);
    XTestFakeButtonEvent(display, button, False, CurrentTime);
    XSync(display, False);
}

// Whether the X server has the key down.
bool keyIsDown(Display* display, KeySym key)
{
    std::array<char, 32> keys{};
    XQueryKeymap(display, keys.data());
    const KeyCode code = XKeysymToKeycode(display, key);
    return (static_cast<unsigned char>(keys[code / 8]) & (1u << (code % 8))) != 0;
}

// The viewable windows with this title: KavoRemote's options window and its message boxes
// all bear the program's name.
int viewableWindowsTitled(Display* display, const std::string& title)
{
    return test::countWindowsTitled(display, title, true);
}

class KavoRemoteTest : public test::KavoRemoteOnDesktop
{
protected:
    void SetUp() override { setUpWithCard(); }

    // The program ended by itself within the time, in order: not by a signal, the receiver
    // disarmed (its byte 0, whatever key it showed) and the card let go.
    void expectOrderlyEnd(std::optional<int> status, const std::string& what)
    {
        ASSERT_TRUE(status.has_value()) << what << ": still running";
        EXPECT_LT(*status, 128) << what << ": killed by signal " << *status - 128;
        EXPECT_EQ(m_remote.gpioLow(), 0u) << what << ": the receiver was left armed";
        EXPECT_EQ(m_remote.state().liveMappers(), 0u) << what << ": the card's mapping was not released";
    }

    // The icon's pop-up menu, and the item that many steps down (separators are skipped).
    void chooseFromIconMenu(Display* display, int steps)
    {
        const auto icon = waitForTrayIcon(display);
        ASSERT_TRUE(icon.has_value()) << "no notification-area icon";
        click(display, *icon, 3);
        std::this_thread::sleep_for(500ms);
        for (int i = 0; i < steps; ++i) {
            tapKey(display, XK_Down);
        }
        tapKey(display, XK_Return);
    }
};

TEST_F(KavoRemoteTest, RemoteKeysIconClickAndTermination)
{
    test::XTestWindow window("Velora Key Target");
    ASSERT_TRUE(window.ok());
    ASSERT_TRUE(test::waitForSelectionOwner(window.display(), "_NET_SYSTEM_TRAY_S0", 10s));
    m_remote.start();
    ASSERT_TRUE(m_remote.armed(0ms));
    EXPECT_EQ(m_remote.state().liveMappers(), 1u);
    std::this_thread::sleep_for(300ms);

    // A second start ends at once and leaves the first one running.
    EXPECT_EQ(m_suite.run("KavoRemote", {}, 10s), 0);
    EXPECT_TRUE(m_remote.process.running());
    EXPECT_EQ(m_remote.gpioLow(), 0xFFu);

    window.focus();
    window.drain();
    press("Down");
    press("Enter");
    press("ChannelUp");
    press("Cancel");
    EXPECT_EQ(window.keyPresses(500ms), (std::vector<KeySym>{XK_Down, XK_Return, XK_Prior, XK_BackSpace}));

    // A left click on the icon: mouse mode, and the digits move the pointer by the step (4).
    const auto icon = waitForTrayIcon(window.display());
    ASSERT_TRUE(icon.has_value()) << "no notification-area icon";
    click(window.display(), *icon, 1);
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
    m_remote.endBySigtermDisarmed();
    EXPECT_EQ(m_remote.state().liveMappers(), 0u);
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
    startDaemon();
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
    m_remote.endBySigterm();
    EXPECT_TRUE(fs::exists(config / "velora" / "remote.log"));
    EXPECT_FALSE(fs::exists(m_suite.suite() / "remote.log"));
}

TEST_F(KavoRemoteTest, XServerGoingAwayEndsItInOrder)
{
    // Down plays for seconds: a delayed chord that keeps Alt and T down, then typing between
    // the pauses before window activations.
    std::string macro = "Default\nDown: ![VK_CONTROL VK_MENU T]";
    for (int i = 0; i < 20; ++i) {
        macro += " \"the quick brown fox\" @Velora Nowhere@";
    }
    writeMacros(macro + "\nEnd\n");
    for (int run = 0; run < 10; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        m_remote.chip().reset();
        test::XServer server;
        ASSERT_TRUE(server.ok());
        startDaemon(server.environment());
        // The server goes at a different moment each time: idle, or during the macro.
        if (run > 0) {
            m_remote.chip().pressKey(0x98);
            std::this_thread::sleep_for(std::chrono::milliseconds(run * 67 % 600));
        }
        server.kill();
        const std::optional<int> status = m_remote.process.waitExit(10s);
        expectOrderlyEnd(status, "the X server went away");
        EXPECT_EQ(status.value_or(0), 2) << "an end for want of a display is not a success";
    }
}

TEST_F(KavoRemoteTest, SignalsEndItInOrderOrAreIgnoredOrReload)
{
    writeMacros("Default\nDown: ![VK_CONTROL VK_MENU T]\nEnter: [VK_RETURN]\nEnd\n");
    test::XTestWindow window("Velora Key Target");
    ASSERT_TRUE(window.ok());
    Display* display = window.display();
    for (const int number : {SIGHUP, SIGQUIT}) {
        SCOPED_TRACE("signal " + std::to_string(number));
        m_remote.chip().reset();
        startDaemon();
        // SIGPIPE changes nothing.
        m_remote.process.signal(SIGPIPE);
        std::this_thread::sleep_for(300ms);
        ASSERT_TRUE(m_remote.process.running()) << "SIGPIPE ended the program";
        // SIGUSR1 reloads the macro file, without a message.
        window.focus();
        window.drain();
        press("Enter");
        writeMacros("Default\nDown: ![VK_CONTROL VK_MENU T]\nEnter: [VK_ESCAPE]\nEnd\n");
        m_remote.process.signal(SIGUSR1);
        std::this_thread::sleep_for(300ms);
        press("Enter");
        EXPECT_EQ(window.keyPresses(500ms), (std::vector<KeySym>{XK_Return, XK_Escape}));
        EXPECT_EQ(viewableWindowsTitled(display, "KavoRemote"), 0) << "a window or message box showed";
        writeMacros("Default\nDown: ![VK_CONTROL VK_MENU T]\nEnter: [VK_RETURN]\nEnd\n");
        // A delayed chord lets go of Control after 100 ms and keeps Alt and T down...
        press("Down");
        EXPECT_FALSE(keyIsDown(display, XK_Control_L));
        EXPECT_TRUE(keyIsDown(display, XK_Alt_L));
        EXPECT_TRUE(keyIsDown(display, XK_t));
        // ... until the program ends: a closed terminal (SIGHUP) or SIGQUIT end it as SIGTERM does.
        m_remote.process.signal(number);
        const std::optional<int> status = m_remote.process.waitExit(10s);
        expectOrderlyEnd(status, "after the signal");
        EXPECT_EQ(status.value_or(-1), 0);
        EXPECT_FALSE(keyIsDown(display, XK_Alt_L));
        EXPECT_FALSE(keyIsDown(display, XK_t));
        // Whatever happened, the next round (and test) starts with no key held.
        for (const KeySym key : {XK_Alt_L, XK_t}) {
            XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), False, CurrentTime);
        }
        XSync(display, False);
    }
}

TEST_F(KavoRemoteTest, TerminationWhileAMessageBoxWaits)
{
    test::DisplayPtr display = test::openDisplay();
    ASSERT_NE(display, nullptr);
    ASSERT_TRUE(test::waitForSelectionOwner(display.get(), "_NET_SYSTEM_TRAY_S0", 10s));
    // "Reload drivers..." finds no card and says so; SIGTERM comes while the message waits.
    startDaemon();
    ASSERT_EQ(m_suite.run("velora-card", {"chip", "none"}, 5s), 0);
    chooseFromIconMenu(display.get(), 3);
    EXPECT_TRUE(waitUntil([&] { return viewableWindowsTitled(display.get(), "KavoRemote") == 1; }, 10s))
        << "no message box";
    m_remote.process.signal(SIGTERM);
    std::optional<int> status = m_remote.process.waitExit(10s);
    ASSERT_TRUE(status.has_value()) << "still running";
    EXPECT_EQ(*status, 0);
    EXPECT_EQ(m_remote.state().liveMappers(), 0u);

    // The same while Exit asks whether to quit.
    m_remote.chip().reset();
    startDaemon();
    chooseFromIconMenu(display.get(), 7);
    EXPECT_TRUE(waitUntil([&] { return viewableWindowsTitled(display.get(), "KavoRemote") == 1; }, 10s))
        << "no question";
    m_remote.process.signal(SIGTERM);
    status = m_remote.process.waitExit(10s);
    expectOrderlyEnd(status, "SIGTERM while Exit asked");
    EXPECT_EQ(status.value_or(-1), 0);
}

TEST_F(KavoRemoteTest, MessageBoxesOverTheOptionsWindowUnderTheWindowManager)
{
    test::DisplayPtr display = test::openDisplay();
    ASSERT_NE(display, nullptr);
    ASSERT_TRUE(test::waitForSelectionOwner(display.get(), "_NET_SYSTEM_TRAY_S0", 10s));
    startDaemon();
    chooseFromIconMenu(display.get(), 4); // "&Options"
    ASSERT_TRUE(waitUntil([&] { return viewableWindowsTitled(display.get(), "KavoRemote") == 1; }, 10s))
        << "the options window did not open";
    std::this_thread::sleep_for(500ms);
    // The speed edit is the template's last control, before the key source's four and the
    // feedback's check box: 250 there, then Enter, is the range message.
    for (int control = 0; control < 6; ++control) {
        tapKey(display.get(), XK_Tab, XK_Shift_L);
    }
    for (const KeySym digit : {XK_2, XK_5, XK_0}) {
        tapKey(display.get(), digit);
    }
    tapKey(display.get(), XK_Return);
    ASSERT_TRUE(waitUntil([&] { return viewableWindowsTitled(display.get(), "KavoRemote") == 2; }, 10s))
        << "no range message";
    // The box is shown and the program idles while it waits, rather than spinning.
    std::this_thread::sleep_for(500ms);
    const long before = test::cpuTicks(m_remote.process.pid());
    std::this_thread::sleep_for(2s);
    EXPECT_LT(test::cpuTicks(m_remote.process.pid()) - before, sysconf(_SC_CLK_TCK) / 5)
        << "busy while the message waits";
    // Enter answers it: the options window stays, without the box.
    tapKey(display.get(), XK_Return);
    EXPECT_TRUE(waitUntil([&] { return viewableWindowsTitled(display.get(), "KavoRemote") == 1; }, 10s))
        << "the range message did not go";
    // And it still ends on SIGTERM.
    m_remote.process.signal(SIGTERM);
    const std::optional<int> status = m_remote.process.waitExit(10s);
    expectOrderlyEnd(status, "SIGTERM with the options window open");
    EXPECT_EQ(status.value_or(-1), 0);
}

TEST_F(KavoRemoteTest, ALongMacroDoesNotHoldUpTheEnd)
{
    std::string macro = "Default\nDown: ";
    for (int i = 0; i < 72; ++i) {
        macro += "@Velora Nowhere@";
    }
    writeMacros(macro + "\nEnd\n");
    startDaemon();
    press("Down"); // 14.4 s of activations from here
    std::this_thread::sleep_for(500ms);
    const auto before = std::chrono::steady_clock::now();
    m_remote.process.signal(SIGTERM);
    // The macro stops and the card is let go at once; the process is gone right after (later
    // only under a sanitizer's checks at exit).
    EXPECT_TRUE(waitUntil([&] { return m_remote.state().liveMappers() == 0u; }, 300ms, 5ms))
        << "the card was let go only after " << (std::chrono::steady_clock::now() - before) / 1ms << " ms";
    const std::optional<int> status = m_remote.process.waitExit(5s);
    expectOrderlyEnd(status, "SIGTERM during the macro");
}

TEST_F(KavoRemoteTest, NotificationAreaThatComesAfterTheProgram)
{
    {
        // The panel starts a moment after KavoRemote, as at a login: the icon docks, and the
        // window never shows.
        test::XServer server;
        ASSERT_TRUE(server.ok());
        ASSERT_TRUE(server.startWindowManager());
        test::DisplayPtr display = server.connect();
        startDaemon(server.environment());
        std::this_thread::sleep_for(700ms);
        ASSERT_TRUE(server.startNotificationArea());
        std::optional<std::pair<int, int>> icon;
        bool windowShown = false;
        waitUntil(
            [&] {
                windowShown = windowShown || viewableWindowsTitled(display.get(), "KavoRemote") > 0;
                return (icon = trayIconCentre(display.get(), "KavoRemote")).has_value();
            },
            15s, 50ms);
        EXPECT_TRUE(icon.has_value()) << "the icon did not dock";
        EXPECT_FALSE(windowShown);
        m_remote.process.signal(SIGTERM);
        expectOrderlyEnd(m_remote.process.waitExit(10s), "SIGTERM");
    }
    {
        // No panel for a long while: the window and its notice show; when the panel comes, the
        // icon docks and the window hides again.
        m_remote.chip().reset();
        test::XServer server;
        ASSERT_TRUE(server.ok());
        ASSERT_TRUE(server.startWindowManager());
        test::DisplayPtr display = server.connect();
        startDaemon(server.environment());
        ASSERT_TRUE(waitUntil([&] { return viewableWindowsTitled(display.get(), "KavoRemote") > 0; }, 20s))
            << "without a notification area the window must show";
        ASSERT_TRUE(server.startNotificationArea());
        EXPECT_TRUE(waitForTrayIcon(display.get()).has_value()) << "the icon did not dock";
        EXPECT_TRUE(waitUntil([&] { return viewableWindowsTitled(display.get(), "KavoRemote") == 0; }, 10s))
            << "the window stayed";
        m_remote.process.signal(SIGTERM);
        expectOrderlyEnd(m_remote.process.waitExit(10s), "SIGTERM");
    }
}

} // namespace
} // namespace velora
