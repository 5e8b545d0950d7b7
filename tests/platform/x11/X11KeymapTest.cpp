// Keys through the X11 desktop: what each virtual key types, the spare keycodes for keysyms
// the keymap lacks, keys held down by anyone, and what the desktop releases when it goes.
#include <gtest/gtest.h>

#include "tests/platform/x11/X11DesktopFixture.h"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <array>

#include "platform/x11/X11Keysyms.h"

namespace velora::platform {
namespace {

using namespace std::chrono_literals;

TEST_F(X11DesktopTest, CodesWithoutAKeySendNothingAndShiftTypesCapitals)
{
    const Window window = shownFocusedWindow("Velora keys");
    // Codes without a key send nothing: the next event is the Return after them.
    for (std::uint8_t code : {0x01, 0x02, 0x04, 0x1E, 0x88, 0xFF}) {
        m_desktop->keyEvent(code, true);
        m_desktop->keyEvent(code, false);
    }
    EXPECT_EQ(tap(VK_RETURN, window), "+Return -Return");

    // Shift down, B down, Shift up, B up types a capital B.
    m_desktop->keyEvent(VK_SHIFT, true);
    m_desktop->keyEvent('B', true);
    m_desktop->keyEvent(VK_SHIFT, false);
    m_desktop->keyEvent('B', false);
    EXPECT_EQ(nextKey(window, true), "+Shift_L");
    EXPECT_EQ(nextKey(window, true), "+B/shift");
    EXPECT_EQ(nextKey(window, true), "-Shift_L/shift");
    EXPECT_EQ(nextKey(window, true), "-b");
}

TEST_F(X11DesktopTest, EveryVirtualKeyWithAKeysymTypesThatKeysym)
{
    const Window window = shownFocusedWindow("Velora all keys");
    int mapped = 0;
    for (int code = 0; code < 256; ++code) {
        const auto virtualKey = static_cast<std::uint8_t>(code);
        const unsigned long keysym = keysymForVirtualKey(virtualKey);
        if (keysym == NoSymbol) {
            continue;
        }
        ++mapped;
        const std::string name = XKeysymToString(keysym);
        // Lock keys go twice, so that the lock ends as it started.
        const bool lock = keysym == XK_Caps_Lock || keysym == XK_Num_Lock;
        for (int round = 0; round < (lock ? 2 : 1); ++round) {
            EXPECT_EQ(tap(virtualKey, window), "+" + name + " -" + name) << "virtual key " << code;
        }
    }
    // The 97 codes of the named keys less the 7 that X has no key for (the three mouse
    // buttons, VK_FINAL, VK_ACCEPT, VK_ZOOM, VK_NONAME), plus 26 letters and 10 digits, plus
    // the 12 media keys (XF86AudioMute and the others).
    EXPECT_EQ(mapped, 138);
}

TEST_F(X11DesktopTest, SpareKeycodesAreSharedLeastRecentlyUsedFirstAndEmptiedAtTheEnd)
{
    // Leave the desktop only two spares: fill the other empty keycodes with keysyms of ours.
    m_desktop.reset();
    std::vector<KeyCode> empty = emptyKeycodes();
    ASSERT_GE(empty.size(), 3u);
    const std::vector<KeyCode> spares(empty.begin(), empty.begin() + 2);
    const std::vector<KeyCode> occupied(empty.begin() + 2, empty.end());
    for (std::size_t i = 0; i < occupied.size(); ++i) {
        KeySym filler = 0x1002600 + i; // Unicode keysyms, in no default keymap
        XChangeKeyboardMapping(m_display, occupied[i], 1, &filler, 1);
    }
    XSync(m_display, False);
    m_desktop = openDesktop();
    ASSERT_NE(m_desktop, nullptr);
    const Window window = shownFocusedWindow("Velora spares");

    EXPECT_EQ(tap(VK_F20, window), "+F20 -F20");
    EXPECT_EQ(tap(VK_F21, window), "+F21 -F21");
    EXPECT_EQ(tap(VK_F22, window), "+F22 -F22"); // takes F20's keycode
    EXPECT_EQ(tap(VK_F21, window), "+F21 -F21"); // still mapped
    // F23 takes F22's keycode (used less recently than F21's) and is held down; F24 must
    // then take F21's keycode, not the held one, so F23's release still means F23.
    m_desktop->keyEvent(VK_F23, true);
    EXPECT_EQ(nextKey(window), "+F23");
    EXPECT_TRUE(m_desktop->isKeyDown(VK_F23));
    m_desktop->keyEvent(VK_F24, true);
    EXPECT_EQ(nextKey(window), "+F24");
    // Both spares held: a third missing keysym has nowhere to go and sends nothing.
    m_desktop->keyEvent(VK_F13, true);
    m_desktop->keyEvent(VK_F13, false);
    m_desktop->keyEvent(VK_F23, false);
    EXPECT_EQ(nextKey(window), "-F23");
    m_desktop->keyEvent(VK_F24, false);
    EXPECT_EQ(nextKey(window), "-F24");
    EXPECT_EQ(tap(VK_F13, window), "+F13 -F13");

    // Another client takes over the spare that carries F13: the desktop must notice and move
    // F13 to the other spare rather than press a key that now means something else.
    const KeyCode taken = keycodeCarrying(XK_F13);
    ASSERT_TRUE(taken == spares[0] || taken == spares[1]);
    const KeyCode other = taken == spares[0] ? spares[1] : spares[0];
    KeySym foreign = 0x1002700;
    XChangeKeyboardMapping(m_display, taken, 1, &foreign, 1);
    XSync(m_display, False);
    EXPECT_EQ(tap(VK_F13, window), "+F13 -F13");
    EXPECT_EQ(keycodeCarrying(XK_F13), other);

    m_desktop.reset();
    EXPECT_EQ(emptyKeycodes(), std::vector<KeyCode>{other}) << "our spare is empty again, the others untouched";
    EXPECT_EQ(keycodeCarrying(foreign), taken);
    KeySym nothing = NoSymbol;
    for (KeyCode keycode : occupied) {
        XChangeKeyboardMapping(m_display, keycode, 1, &nothing, 1);
    }
    XChangeKeyboardMapping(m_display, taken, 1, &nothing, 1);
    XSync(m_display, False);
}

TEST_F(X11DesktopTest, DestroyingTheDesktopReleasesWhatItHolds)
{
    const Window window = shownFocusedWindow("Velora held");
    const auto anythingDown = [this] {
        std::array<char, 32> keys{};
        XQueryKeymap(m_display, keys.data());
        Window root = None;
        Window child = None;
        int rootX = 0;
        int rootY = 0;
        int x = 0;
        int y = 0;
        unsigned mask = 0;
        XQueryPointer(m_display, m_root, &root, &child, &rootX, &rootY, &x, &y, &mask);
        return std::any_of(keys.begin(), keys.end(), [](char bits) { return bits != 0; }) ||
               (mask & (Button1Mask | Button3Mask)) != 0;
    };
    m_desktop->keyEvent(VK_RCONTROL, true); // right Control
    m_desktop->keyEvent(VK_F18, true);      // F18, through a spare
    m_desktop->mouseButton(MouseButton::Right, true);
    EXPECT_EQ(nextKey(window), "+Control_R");
    EXPECT_EQ(nextKey(window), "+F18");
    EXPECT_TRUE(anythingDown());
    m_desktop.reset();
    EXPECT_FALSE(anythingDown());
}

TEST_F(X11DesktopTest, IsKeyDownSeesKeysHeldByAnyone)
{
    const KeyCode controlRight = XKeysymToKeycode(m_display, XK_Control_R);
    XTestFakeKeyEvent(m_display, controlRight, True, CurrentTime);
    XSync(m_display, False);
    EXPECT_TRUE(m_desktop->isKeyDown(VK_CONTROL));
    EXPECT_TRUE(m_desktop->isKeyDown(VK_RCONTROL));
    EXPECT_FALSE(m_desktop->isKeyDown(VK_LCONTROL));
    EXPECT_FALSE(m_desktop->isKeyDown(VK_SHIFT));
    XTestFakeKeyEvent(m_display, controlRight, False, CurrentTime);
    XSync(m_display, False);
    EXPECT_FALSE(m_desktop->isKeyDown(VK_CONTROL));

    m_desktop->keyEvent('A', true);
    m_desktop->keyEvent(VK_LWIN, true);
    m_desktop->keyEvent(VK_F19, true); // F19, through a spare
    EXPECT_TRUE(m_desktop->isKeyDown('A'));
    EXPECT_TRUE(m_desktop->isKeyDown(VK_LWIN));
    EXPECT_TRUE(m_desktop->isKeyDown(VK_F19));
    EXPECT_FALSE(m_desktop->isKeyDown('B'));
    m_desktop->keyEvent('A', false);
    m_desktop->keyEvent(VK_LWIN, false);
    m_desktop->keyEvent(VK_F19, false);
    EXPECT_FALSE(m_desktop->isKeyDown('A'));
    EXPECT_FALSE(m_desktop->isKeyDown(VK_LWIN));
    EXPECT_FALSE(m_desktop->isKeyDown(VK_F19));
    EXPECT_FALSE(m_desktop->isKeyDown(0x01));
}

} // namespace
} // namespace velora::platform
