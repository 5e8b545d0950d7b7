// Windows through the X11 desktop: the title in front, minimise and maximise, activation by
// title, and windows that vanish while the desktop looks at them.
#include <gtest/gtest.h>

#include "tests/platform/x11/X11DesktopFixture.h"

#include "platform/x11/X11Connection.h"
#include "tests/support/XDisplay.h"

namespace velora::platform {
namespace {

using namespace std::chrono_literals;

TEST_F(X11DesktopTest, ForegroundTitleIsTheFocusedWindowsName)
{
    shownFocusedWindow("Velora \xe2\x80\x93 Kanal 5");
    EXPECT_EQ(waitUntil([&] { return m_desktop->foregroundTitle() == "Velora \xe2\x80\x93 Kanal 5"; }), true)
        << m_desktop->foregroundTitle();

    // WM_NAME alone, in Latin-1, reads as UTF-8.
    shownFocusedWindow("Caf\xe9 Velora", TitleKind::Latin1WmName);
    EXPECT_TRUE(waitUntil([&] { return m_desktop->foregroundTitle() == "Caf\xc3\xa9 Velora"; }))
        << m_desktop->foregroundTitle();

    // Cut to 255 bytes, without splitting the two-byte character at bytes 254 and 255.
    const std::string longTitle = std::string(254, 'x') + "\xc3\xa9" + std::string(50, 'y');
    shownFocusedWindow(longTitle);
    EXPECT_TRUE(waitUntil([&] { return m_desktop->foregroundTitle() == std::string(254, 'x'); }))
        << m_desktop->foregroundTitle().size();

    // The focus on an unnamed inner window: the name is the one of the window around it.
    const Window outer = makeWindow("Velora outer");
    const Window inner = makeWindow("", TitleKind::Untitled, outer);
    XMapWindow(m_display, inner);
    show(outer);
    focus(outer);
    XSetInputFocus(m_display, inner, RevertToParent, CurrentTime);
    EXPECT_TRUE(waitUntil([&] { return test::inputFocus(m_display) == inner; }));
    EXPECT_TRUE(waitUntil([&] { return m_desktop->foregroundTitle() == "Velora outer"; }))
        << m_desktop->foregroundTitle();
}

TEST_F(X11DesktopTest, MinimiseHidesAndMaximiseFillsTheScreen)
{
    const Window window = shownFocusedWindow("Velora maximise");
    ASSERT_TRUE(waitUntil([&] { return m_desktop->foregroundTitle() == "Velora maximise"; }));
    m_desktop->maximiseForeground();
    // Judged by the top-level window, which is the window manager's frame when there is one.
    Window frame = window;
    for (Window parent = window; parent != m_root;) {
        frame = parent;
        Window root = None;
        Window* children = nullptr;
        unsigned count = 0;
        ASSERT_TRUE(XQueryTree(m_display, frame, &root, &parent, &children, &count));
        XFree(children);
    }
    XWindowAttributes attributes{};
    EXPECT_TRUE(waitUntil([&] {
        XGetWindowAttributes(m_display, frame, &attributes);
        const int border = attributes.border_width;
        return attributes.x == 0 && attributes.y == 0 && attributes.width + 2 * border == 1280 &&
               attributes.height + 2 * border == 1024;
    })) << attributes.x
        << "," << attributes.y << " " << attributes.width << "x" << attributes.height;

    const Window other = shownFocusedWindow("Velora minimise");
    ASSERT_TRUE(waitUntil([&] { return m_desktop->foregroundTitle() == "Velora minimise"; }));
    m_desktop->minimiseForeground();
    EXPECT_TRUE(waitUntil([&] { return !viewable(other); }));
    EXPECT_TRUE(viewable(window));

    // Activation brings a minimised window back.
    EXPECT_TRUE(m_desktop->activateWindow("Velora minimise"));
    EXPECT_TRUE(waitUntil([&] { return viewable(other); }));
}

TEST_F(X11DesktopTest, ActivateWindowFocusesTheWindowWithExactlyThatTitle)
{
    const Window first = shownFocusedWindow("Velora Alpha");
    const Window second = shownFocusedWindow("Velora Alpha 2");
    ASSERT_TRUE(waitUntil([&] { return m_desktop->foregroundTitle() == "Velora Alpha 2"; }));

    EXPECT_TRUE(m_desktop->activateWindow("Velora Alpha"));
    EXPECT_TRUE(waitUntil([&] { return test::inputFocus(m_display) == first; }));
    EXPECT_TRUE(waitUntil([&] { return m_desktop->foregroundTitle() == "Velora Alpha"; }))
        << m_desktop->foregroundTitle();

    EXPECT_FALSE(m_desktop->activateWindow("Velora Alph"));
    EXPECT_FALSE(m_desktop->activateWindow("velora alpha"));
    EXPECT_FALSE(m_desktop->activateWindow(""));
    EXPECT_TRUE(waitUntil([&] { return test::inputFocus(m_display) == first; }));

    EXPECT_TRUE(m_desktop->activateWindow("Velora Alpha 2"));
    EXPECT_TRUE(waitUntil([&] { return test::inputFocus(m_display) == second; }));
}

TEST_F(X11DesktopTest, VanishedWindowsDoNotEndTheProcess)
{
    const Window window = shownFocusedWindow("Velora survivor");
    const Window gone = makeWindow("Velora gone");
    XDestroyWindow(m_display, gone);
    m_windows.pop_back();
    const Atom active = atom("_NET_ACTIVE_WINDOW");
    XChangeProperty(m_display, m_root, active, atom("WINDOW"), 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&gone), 1);
    XSync(m_display, False);

    const auto errorsBefore = X11Connection::lastIgnoredError().count;
    // A stale active window: the focus decides instead.
    EXPECT_EQ(m_desktop->foregroundTitle(), "Velora survivor");
    EXPECT_GT(X11Connection::lastIgnoredError().count, errorsBefore);
    EXPECT_EQ(X11Connection::lastIgnoredError().errorCode, BadWindow);
    m_desktop->maximiseForeground();
    EXPECT_FALSE(m_desktop->activateWindow("Velora gone"));

    // The focused window itself goes away.
    XDestroyWindow(m_display, window);
    m_windows.pop_back();
    XSync(m_display, False);
    EXPECT_EQ(m_desktop->foregroundTitle(), "");
    m_desktop->minimiseForeground();
    m_desktop->maximiseForeground();
    XDeleteProperty(m_display, m_root, active);
    XSync(m_display, False);

    // Still working.
    const Window after = shownFocusedWindow("Velora after");
    EXPECT_EQ(tap(VK_RETURN, after), "+Return -Return");
}

} // namespace
} // namespace velora::platform
