// The virtual remote on a real X server, with or without a window manager: a window of the
// test's own holds the focus and lies above the remote while a key of the remote is clicked
// where it shows on the screen. The desktop is driven through the suite's own X11 backend,
// as the remote daemon drives it. Focus, active window and stacking must not change, and
// keys typed afterwards must still reach the test's window.
// GoogleTest and Qt come before Xlib, whose macros (None, Bool, KeyPress) would break them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include "drivers/virtualcard/CardStateFile.h"
#include "drivers/virtualcard/VirtualChip.h"
#include "hw/BtRegisters.h"
#include "platform/x11/X11Desktop.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/SuiteCopy.h"
#include "tests/support/TempDir.h"
#include "tools/virtual-remote/RemoteCard.h"
#include "tools/virtual-remote/ui/RemoteWindow.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "tests/support/XDisplay.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

namespace velora::vremote::ui {
namespace {

using namespace std::chrono_literals;

// Waits while Qt handles its events, so that the remote's window keeps working meanwhile.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 5s)
{
    for (const auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;) {
        if (condition()) {
            return true;
        }
        QTest::qWait(20);
    }
    return condition();
}

// A list of windows from a root property (_NET_...), empty without a window manager.
std::vector<Window> rootProperty(Display* display, const char* name)
{
    return test::windowsInProperty(display, DefaultRootWindow(display), name);
}

// The root's children, bottom first.
std::vector<Window> rootStacking(Display* display)
{
    return test::childrenOf(display, DefaultRootWindow(display));
}

bool above(const std::vector<Window>& stacking, Window upper, Window lower)
{
    const auto u = std::find(stacking.begin(), stacking.end(), upper);
    const auto l = std::find(stacking.begin(), stacking.end(), lower);
    return u != stacking.end() && l != stacking.end() && u > l;
}

constexpr int kKeeperX = 940;
constexpr int kKeeperY = 780;

// The test's window: a dialog that asks to float above others at the bottom right, where no
// window manager puts the remote.
Window createKeeper(Display* display)
{
    const Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), kKeeperX, kKeeperY, 300, 200, 0, 0, 0xffffff);
    XStoreName(display, window, "focus keeper");
    XSizeHints size{};
    size.flags = USPosition | USSize;
    size.x = kKeeperX;
    size.y = kKeeperY;
    size.width = 300;
    size.height = 200;
    XSetWMNormalHints(display, window, &size);
    const Atom dialog = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&dialog), 1);
    const Atom stateAbove = XInternAtom(display, "_NET_WM_STATE_ABOVE", False);
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&stateAbove), 1);
    XSelectInput(display, window, KeyPressMask | StructureNotifyMask);
    XMapWindow(display, window);
    XEvent event;
    do {
        XWindowEvent(display, window, StructureNotifyMask, &event);
    } while (event.type != MapNotify);
    return window;
}

TEST(VirtualRemoteDesktop, ClickingAKeyLeavesTheFocusedWindowInFrontWithTheFocus)
{
    test::TempDir dir;
    ASSERT_TRUE(dir.valid());
    const test::ScopedEnvironment cardPath("VELORA_CARD", dir.file("card"));
    const test::DisplayPtr connection = test::openDisplay();
    Display* const display = connection.get();
    ASSERT_NE(display, nullptr);
    const std::unique_ptr<platform::Desktop> desktop = platform::openX11Desktop();
    ASSERT_NE(desktop, nullptr);
    const bool windowManager = !rootProperty(display, "_NET_SUPPORTING_WM_CHECK").empty();
    const std::vector<Window> noActiveWindow;

    const Window keeper = createKeeper(display);
    ASSERT_TRUE(desktop->activateWindow("focus keeper"));
    ASSERT_TRUE(waitFor([&] { return test::inputFocus(display) == keeper; })) << "the test's window got no focus";

    RemoteCard card(virtualcard::CardStateFile::defaultPath());
    RemoteWindow window(card);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const Window remote = static_cast<Window>(window.winId());
    ASSERT_TRUE(waitFor([&] {
        const std::vector<Window> clients = rootProperty(display, "_NET_CLIENT_LIST_STACKING");
        return !windowManager || std::find(clients.begin(), clients.end(), remote) != clients.end();
    })) << "the window manager did not take the remote";
    QTest::qWait(300); // the window manager's placing, and any activation it would do

    // The remote floats at its own size, and appearing took neither focus nor activation.
    XWindowAttributes attributes{};
    ASSERT_NE(XGetWindowAttributes(display, remote, &attributes), 0);
    EXPECT_LT(attributes.width, DisplayWidth(display, DefaultScreen(display)) / 2) << "it was given the screen";
    EXPECT_EQ(test::inputFocus(display), keeper);
    EXPECT_EQ(rootProperty(display, "_NET_ACTIVE_WINDOW"), windowManager ? std::vector{keeper} : noActiveWindow);

    // The user works in the test's window, which comes above the remote.
    ASSERT_TRUE(desktop->activateWindow("focus keeper"));
    const Window keeperFrame = test::frameOf(display, keeper);
    const Window remoteFrame = test::frameOf(display, remote);
    ASSERT_TRUE(waitFor([&] { return above(rootStacking(display), keeperFrame, remoteFrame); }))
        << "the test's window did not come above the remote";

    // Where the Down key shows on the screen, clear of the test's window.
    QPushButton* down = window.findChild<QPushButton*>(QStringLiteral("Down"));
    ASSERT_NE(down, nullptr);
    const QPoint inWindow = down->mapTo(&window, down->rect().center());
    int x = 0;
    int y = 0;
    Window child = 0;
    ASSERT_TRUE(
        XTranslateCoordinates(display, remote, DefaultRootWindow(display), inWindow.x(), inWindow.y(), &x, &y, &child));
    ASSERT_FALSE(x >= kKeeperX - 10 && y >= kKeeperY - 30) << "the test's window covers the key at " << x << "," << y;

    const auto file = virtualcard::CardStateFile::open(virtualcard::CardStateFile::defaultPath());
    ASSERT_NE(file, nullptr);
    const virtualcard::VirtualChip chip(file->layout());
    const std::vector<Window> stackingBefore = rootStacking(display);
    const std::vector<Window> clientsBefore = rootProperty(display, "_NET_CLIENT_LIST_STACKING");

    desktop->setPointerPosition(x, y);
    desktop->mouseButton(platform::MouseButton::Left, true);
    desktop->mouseButton(platform::MouseButton::Left, false);
    ASSERT_TRUE(waitFor([&] { return (chip.readRegister(bt::GPIO_DATA) & 0xFF) == 0x98; }))
        << "the click did not press Down on the card";
    QTest::qWait(300); // a raise or a focus change would land by now

    EXPECT_EQ(test::inputFocus(display), keeper);
    EXPECT_EQ(rootProperty(display, "_NET_ACTIVE_WINDOW"), windowManager ? std::vector{keeper} : noActiveWindow);
    EXPECT_EQ(desktop->foregroundTitle(), "focus keeper");
    EXPECT_EQ(rootStacking(display), stackingBefore);
    EXPECT_EQ(rootProperty(display, "_NET_CLIENT_LIST_STACKING"), clientsBefore);

    // Keys typed now still reach the test's window.
    desktop->keyEvent('A', true);
    desktop->keyEvent('A', false);
    XEvent event;
    EXPECT_TRUE(waitFor([&] { return XCheckTypedWindowEvent(display, keeper, KeyPress, &event) == True; }, 2s));
}

// Clicks a key of the remote where it shows on the screen.
void clickKey(Display* display, platform::Desktop& desktop, RemoteWindow& window, const char* name)
{
    QPushButton* key = window.findChild<QPushButton*>(QString::fromLatin1(name));
    ASSERT_NE(key, nullptr) << name;
    const QPoint inWindow = key->mapTo(&window, key->rect().center());
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(display, static_cast<Window>(window.winId()), DefaultRootWindow(display), inWindow.x(),
                          inWindow.y(), &x, &y, &child);
    desktop.setPointerPosition(x, y);
    desktop.mouseButton(platform::MouseButton::Left, true);
    desktop.mouseButton(platform::MouseButton::Left, false);
}

// The tour of `make run` worked with the mouse alone: FullScreen on the remote makes KavoRemote
// start KavoShell over the whole screen; the remote comes back above it, and its Down moves
// the shell's highlight while the shell keeps the focus; Esc closes the shell.
TEST(VirtualRemoteDesktop, StaysAboveTheFullScreenShellItDrives)
{
    test::SuiteCopy suite;
    ASSERT_TRUE(suite.valid());
    ASSERT_EQ(suite.run("velora-card", {"reset"}), 0);
    setenv("VELORA_CARD", suite.cardState().c_str(), 1);
    test::TempDir folder;
    for (const char* file : {"a.txt", "b.txt", "c.txt"}) {
        folder.write(file, "x");
    }
    std::filesystem::create_directories(suite.configHome() / "velora");
    std::ofstream(suite.configHome() / "velora/velora.ini")
        << "[KavoShell]\nLastDir=" << folder.path().string() << "\n";

    const test::DisplayPtr connection = test::openDisplay();
    Display* const display = connection.get();
    ASSERT_NE(display, nullptr);
    const std::unique_ptr<platform::Desktop> desktop = platform::openX11Desktop();
    ASSERT_NE(desktop, nullptr);
    const int width = DisplayWidth(display, DefaultScreen(display));
    const int height = DisplayHeight(display, DefaultScreen(display));
    // The shell's rows on this screen: 38 pixels from y = 64 on 768 lines, in proportion above.
    const auto scaled = [&](int length) {
        return height > 768 ? static_cast<int>(std::lround(length * (height / 768.0))) : length;
    };
    const auto highlighted = [&](int row) {
        return test::ScreenArea(display, width - scaled(100) - 4, scaled(64) + scaled(38) * row + scaled(19), 1, 1)
                   .at(0, 0) == 0x0000ff;
    };

    test::Process daemon = suite.start("KavoRemote");
    ASSERT_TRUE(daemon.started());
    const auto file = virtualcard::CardStateFile::open(suite.cardState().string());
    ASSERT_NE(file, nullptr);
    const virtualcard::VirtualChip chip(file->layout());
    ASSERT_TRUE(waitFor([&] { return (chip.readRegister(bt::GPIO_DATA) & 0xFF) == 0xFF; }, 15s))
        << "KavoRemote did not arm the receiver";

    RemoteCard card(suite.cardState().string());
    RemoteWindow window(card);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(300);

    clickKey(display, *desktop, window, "FullScreen");
    Window shell = 0;
    ASSERT_TRUE(waitFor(
        [&] { return (shell = test::findWindowByClass(display, "KAVOSHELL", true)) != 0 && highlighted(0); }, 15s))
        << "KavoRemote did not start KavoShell";
    const Window shellFrame = test::frameOf(display, shell);
    const Window remoteFrame = test::frameOf(display, static_cast<Window>(window.winId()));
    ASSERT_TRUE(waitFor([&] { return above(rootStacking(display), remoteFrame, shellFrame); }))
        << "the remote stayed under the full-screen shell";
    ASSERT_TRUE(waitFor([&] { return test::inputFocus(display) == shell; })) << "the shell has no focus";

    clickKey(display, *desktop, window, "Down");
    EXPECT_TRUE(waitFor([&] { return highlighted(1) && !highlighted(0); })) << "the highlight did not move";
    QTest::qWait(300); // a focus change or a restack would land by now
    EXPECT_EQ(test::inputFocus(display), shell);
    EXPECT_TRUE(above(rootStacking(display), remoteFrame, shellFrame));
    clickKey(display, *desktop, window, "Down");
    EXPECT_TRUE(waitFor([&] { return highlighted(2); }));

    QTest::qWait(400); // KavoRemote takes a key only 200 ms after the last change, against glitches
    clickKey(display, *desktop, window, "Esc");
    EXPECT_TRUE(waitFor([&] { return test::findWindowByClass(display, "KAVOSHELL", true) == 0; }))
        << "Esc did not close the shell";
}

} // namespace
} // namespace velora::vremote::ui

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
