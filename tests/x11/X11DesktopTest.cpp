// The X11 desktop against a real X server (run under tests/x11/with-desktop.sh, with and
// without a window manager). The tests make their own windows on a second connection and
// check what actually arrives there.
#include <gtest/gtest.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <poll.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/x11/X11Desktop.h"
#include "tests/support/WaitUntil.h"
#include "tests/support/XServer.h"

namespace velora::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Errors on the test's own connection mean the test itself is wrong; they are counted and
// fail the test. Installed before the first desktop opens, so the desktop's handler passes
// errors of other connections on to it.
std::atomic<int> g_testConnectionErrors{0};

int countTestError(Display*, XErrorEvent*)
{
    ++g_testConnectionErrors;
    return 0;
}

// Under load Xvfb now and then resets a connection made just after another one closed, so
// the tests, which connect and disconnect often, try a few times.
template <typename Open> auto openRetrying(Open open) -> decltype(open())
{
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (auto opened = open()) {
            return opened;
        }
        std::this_thread::sleep_for(50ms);
    }
    return open();
}

enum class TitleKind { Utf8, Latin1WmName, Untitled };

class X11DesktopTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char* display = std::getenv("DISPLAY");
        if (display == nullptr || *display == '\0') {
            GTEST_SKIP() << "DISPLAY is not set; run under tests/x11/with-desktop.sh";
        }
        static std::once_flag handlerInstalled;
        std::call_once(handlerInstalled, [] { XSetErrorHandler(countTestError); });
        g_testConnectionErrors = 0;
        m_display = openRetrying([] { return XOpenDisplay(nullptr); });
        ASSERT_NE(m_display, nullptr);
        m_root = XDefaultRootWindow(m_display);
        // Keys typed through a spare keycode arrive right after the keymap change; Xlib only
        // reads the new keymap if told of the change, which an XKB client hears as XkbMapNotify.
        int opcode = 0;
        int xkbError = 0;
        int major = XkbMajorVersion;
        int minor = XkbMinorVersion;
        ASSERT_TRUE(XkbQueryExtension(m_display, &opcode, &m_xkbEventBase, &xkbError, &major, &minor));
        XkbSelectEvents(m_display, XkbUseCoreKbd, XkbMapNotifyMask, XkbMapNotifyMask);
        m_desktop = openRetrying([] { return X11Desktop::open(); });
        ASSERT_NE(m_desktop, nullptr);
        Window wmCheck = 0;
        m_withWindowManager = windowProperty(m_root, atom("_NET_SUPPORTING_WM_CHECK"), wmCheck) && wmCheck != None;
    }

    void TearDown() override
    {
        m_desktop.reset();
        if (m_display != nullptr) {
            for (auto it = m_windows.rbegin(); it != m_windows.rend(); ++it) {
                XDestroyWindow(m_display, *it);
            }
            XSync(m_display, False);
            XCloseDisplay(m_display);
        }
        EXPECT_EQ(g_testConnectionErrors.load(), 0) << "X errors on the test's own connection";
    }

    Atom atom(const char* name) { return XInternAtom(m_display, name, False); }

    bool windowProperty(Window window, Atom name, Window& value)
    {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        const bool found = XGetWindowProperty(m_display, window, name, 0, 1, False, AnyPropertyType, &type, &format,
                                              &count, &after, &data) == Success &&
                           format == 32 && count == 1;
        if (found) {
            value = static_cast<Window>(*reinterpret_cast<unsigned long*>(data));
        }
        if (data != nullptr) {
            XFree(data);
        }
        return found;
    }

    Window makeWindow(const std::string& title, TitleKind kind = TitleKind::Utf8, Window parent = None)
    {
        XSetWindowAttributes attributes{};
        attributes.event_mask = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                                StructureNotifyMask | FocusChangeMask | PropertyChangeMask;
        attributes.background_pixel = XWhitePixel(m_display, XDefaultScreen(m_display));
        const Window window =
            XCreateWindow(m_display, parent == None ? m_root : parent, 40, 30, 320, 200, 1, CopyFromParent, InputOutput,
                          nullptr, CWEventMask | CWBackPixel, &attributes);
        if (kind == TitleKind::Utf8) {
            XChangeProperty(m_display, window, atom("_NET_WM_NAME"), atom("UTF8_STRING"), 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
        } else if (kind == TitleKind::Latin1WmName) {
            XChangeProperty(m_display, window, atom("WM_NAME"), atom("STRING"), 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
        }
        m_windows.push_back(window);
        return window;
    }

    // Reads what has arrived, for up to timeout, until an event matches.
    std::optional<XEvent> waitForEvent(const std::function<bool(const XEvent&)>& matches,
                                       std::chrono::milliseconds timeout = 3000ms)
    {
        const auto deadline = Clock::now() + timeout;
        while (true) {
            while (XPending(m_display) > 0) {
                XEvent event;
                XNextEvent(m_display, &event);
                if (event.type == m_xkbEventBase) {
                    auto* xkb = reinterpret_cast<XkbEvent*>(&event);
                    if (xkb->any.xkb_type == XkbMapNotify) {
                        XkbRefreshKeyboardMapping(&xkb->map);
                    }
                }
                if (matches(event)) {
                    return event;
                }
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left <= 0ms) {
                return std::nullopt;
            }
            pollfd fd{XConnectionNumber(m_display), POLLIN, 0};
            poll(&fd, 1, static_cast<int>(left.count()));
        }
    }

    bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 3000ms)
    {
        const auto deadline = Clock::now() + timeout;
        while (!condition()) {
            if (Clock::now() > deadline) {
                return false;
            }
            waitForEvent([](const XEvent&) { return false; }, 10ms);
        }
        return true;
    }

    void show(Window window)
    {
        XMapWindow(m_display, window);
        ASSERT_TRUE(waitForEvent([window](const XEvent& e) { return e.type == MapNotify && e.xmap.window == window; }))
            << "window never mapped";
    }

    Window focusedWindow()
    {
        Window focus = None;
        int revert = 0;
        XGetInputFocus(m_display, &focus, &revert);
        return focus;
    }

    void focus(Window window)
    {
        XSetInputFocus(m_display, window, RevertToParent, CurrentTime);
        ASSERT_TRUE(waitUntil([&] { return focusedWindow() == window; })) << "window never got the focus";
    }

    Window shownFocusedWindow(const std::string& title, TitleKind kind = TitleKind::Utf8)
    {
        const Window window = makeWindow(title, kind);
        show(window);
        focus(window);
        return window;
    }

    bool viewable(Window window)
    {
        XWindowAttributes attributes;
        return XGetWindowAttributes(m_display, window, &attributes) && attributes.map_state == IsViewable;
    }

    // "+Return" for a press, "-Return" for a release: the keysym of the keycode's first column,
    // or with shift set, the keysym the key types.
    std::string nextKey(Window window, bool typed = false)
    {
        auto event = waitForEvent([window](const XEvent& e) {
            return (e.type == KeyPress || e.type == KeyRelease) && e.xkey.window == window;
        });
        if (!event) {
            return "(none)";
        }
        KeySym keysym = XLookupKeysym(&event->xkey, 0);
        if (typed) {
            char text[8];
            XLookupString(&event->xkey, text, sizeof text, &keysym, nullptr);
        }
        const char* name = XKeysymToString(keysym);
        std::string result = event->type == KeyPress ? "+" : "-";
        result += name != nullptr ? name : "?";
        if (typed && (event->xkey.state & ShiftMask) != 0) {
            result += "/shift";
        }
        return result;
    }

    std::string tap(std::uint8_t virtualKey, Window window)
    {
        m_desktop->keyEvent(virtualKey, true);
        m_desktop->keyEvent(virtualKey, false);
        const std::string press = nextKey(window);
        return press + " " + nextKey(window);
    }

    // Keycodes of the current keymap, as the server has it now, that satisfy a test on their
    // keysyms (one row of keysymsPerKeycode entries).
    std::vector<KeyCode> keycodesWhere(const std::function<bool(const KeySym*, int)>& test)
    {
        int minKeycode = 0;
        int maxKeycode = 0;
        XDisplayKeycodes(m_display, &minKeycode, &maxKeycode);
        int perKeycode = 0;
        KeySym* map =
            XGetKeyboardMapping(m_display, static_cast<KeyCode>(minKeycode), maxKeycode - minKeycode + 1, &perKeycode);
        std::vector<KeyCode> result;
        for (int keycode = minKeycode; keycode <= maxKeycode; ++keycode) {
            if (test(map + (keycode - minKeycode) * perKeycode, perKeycode)) {
                result.push_back(static_cast<KeyCode>(keycode));
            }
        }
        XFree(map);
        return result;
    }

    std::vector<KeyCode> emptyKeycodes()
    {
        return keycodesWhere([](const KeySym* syms, int count) {
            return std::all_of(syms, syms + count, [](KeySym sym) { return sym == NoSymbol; });
        });
    }

    KeyCode keycodeCarrying(KeySym keysym)
    {
        const auto found = keycodesWhere([keysym](const KeySym* syms, int) { return syms[0] == keysym; });
        return found.empty() ? 0 : found.front();
    }

    Display* m_display = nullptr;
    Window m_root = None;
    std::unique_ptr<X11Desktop> m_desktop;
    bool m_withWindowManager = false;
    int m_xkbEventBase = 0;
    std::vector<Window> m_windows;
};

TEST(X11DesktopOpen, GivesNothingWithoutAServer)
{
    EXPECT_EQ(X11Desktop::open(":7193"), nullptr);
}

TEST_F(X11DesktopTest, CodesWithoutAKeySendNothingAndShiftTypesCapitals)
{
    const Window window = shownFocusedWindow("Velora keys");
    // Codes without a key send nothing: the next event is the Return after them.
    for (std::uint8_t code : {0x01, 0x02, 0x04, 0x1E, 0x88, 0xFF}) {
        m_desktop->keyEvent(code, true);
        m_desktop->keyEvent(code, false);
    }
    EXPECT_EQ(tap(0x0D, window), "+Return -Return");

    // Shift down, B down, Shift up, B up types a capital B.
    m_desktop->keyEvent(0x10, true);
    m_desktop->keyEvent(0x42, true);
    m_desktop->keyEvent(0x10, false);
    m_desktop->keyEvent(0x42, false);
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
        const unsigned long keysym = X11Desktop::keysymForVirtualKey(virtualKey);
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
    // buttons, VK_FINAL, VK_ACCEPT, VK_ZOOM, VK_NONAME), plus 26 letters and 10 digits.
    EXPECT_EQ(mapped, 126);
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
    m_desktop = openRetrying([] { return X11Desktop::open(); });
    ASSERT_NE(m_desktop, nullptr);
    const Window window = shownFocusedWindow("Velora spares");

    EXPECT_EQ(tap(0x83, window), "+F20 -F20");
    EXPECT_EQ(tap(0x84, window), "+F21 -F21");
    EXPECT_EQ(tap(0x85, window), "+F22 -F22"); // takes F20's keycode
    EXPECT_EQ(tap(0x84, window), "+F21 -F21"); // still mapped
    // F23 takes F22's keycode (used less recently than F21's) and is held down; F24 must
    // then take F21's keycode, not the held one, so F23's release still means F23.
    m_desktop->keyEvent(0x86, true);
    EXPECT_EQ(nextKey(window), "+F23");
    EXPECT_TRUE(m_desktop->isKeyDown(0x86));
    m_desktop->keyEvent(0x87, true);
    EXPECT_EQ(nextKey(window), "+F24");
    // Both spares held: a third missing keysym has nowhere to go and sends nothing.
    m_desktop->keyEvent(0x7C, true);
    m_desktop->keyEvent(0x7C, false);
    m_desktop->keyEvent(0x86, false);
    EXPECT_EQ(nextKey(window), "-F23");
    m_desktop->keyEvent(0x87, false);
    EXPECT_EQ(nextKey(window), "-F24");
    EXPECT_EQ(tap(0x7C, window), "+F13 -F13");

    // Another client takes over the spare that carries F13: the desktop must notice and move
    // F13 to the other spare rather than press a key that now means something else.
    const KeyCode taken = keycodeCarrying(XK_F13);
    ASSERT_TRUE(taken == spares[0] || taken == spares[1]);
    const KeyCode other = taken == spares[0] ? spares[1] : spares[0];
    KeySym foreign = 0x1002700;
    XChangeKeyboardMapping(m_display, taken, 1, &foreign, 1);
    XSync(m_display, False);
    EXPECT_EQ(tap(0x7C, window), "+F13 -F13");
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
    m_desktop->keyEvent(0xA3, true); // right Control
    m_desktop->keyEvent(0x81, true); // F18, through a spare
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
    EXPECT_TRUE(m_desktop->isKeyDown(0x11));
    EXPECT_TRUE(m_desktop->isKeyDown(0xA3));
    EXPECT_FALSE(m_desktop->isKeyDown(0xA2));
    EXPECT_FALSE(m_desktop->isKeyDown(0x10));
    XTestFakeKeyEvent(m_display, controlRight, False, CurrentTime);
    XSync(m_display, False);
    EXPECT_FALSE(m_desktop->isKeyDown(0x11));

    m_desktop->keyEvent(0x41, true);
    m_desktop->keyEvent(0x5B, true);
    m_desktop->keyEvent(0x82, true); // F19, through a spare
    EXPECT_TRUE(m_desktop->isKeyDown(0x41));
    EXPECT_TRUE(m_desktop->isKeyDown(0x5B));
    EXPECT_TRUE(m_desktop->isKeyDown(0x82));
    EXPECT_FALSE(m_desktop->isKeyDown(0x42));
    m_desktop->keyEvent(0x41, false);
    m_desktop->keyEvent(0x5B, false);
    m_desktop->keyEvent(0x82, false);
    EXPECT_FALSE(m_desktop->isKeyDown(0x41));
    EXPECT_FALSE(m_desktop->isKeyDown(0x5B));
    EXPECT_FALSE(m_desktop->isKeyDown(0x82));
    EXPECT_FALSE(m_desktop->isKeyDown(0x01));
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
    EXPECT_TRUE(waitUntil([&] { return focusedWindow() == inner; }));
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
    EXPECT_TRUE(waitUntil([&] { return focusedWindow() == first; }));
    EXPECT_TRUE(waitUntil([&] { return m_desktop->foregroundTitle() == "Velora Alpha"; }))
        << m_desktop->foregroundTitle();

    EXPECT_FALSE(m_desktop->activateWindow("Velora Alph"));
    EXPECT_FALSE(m_desktop->activateWindow("velora alpha"));
    EXPECT_FALSE(m_desktop->activateWindow(""));
    EXPECT_TRUE(waitUntil([&] { return focusedWindow() == first; }));

    EXPECT_TRUE(m_desktop->activateWindow("Velora Alpha 2"));
    EXPECT_TRUE(waitUntil([&] { return focusedWindow() == second; }));
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

    const auto errorsBefore = X11Desktop::lastIgnoredError().count;
    // A stale active window: the focus decides instead.
    EXPECT_EQ(m_desktop->foregroundTitle(), "Velora survivor");
    EXPECT_GT(X11Desktop::lastIgnoredError().count, errorsBefore);
    EXPECT_EQ(X11Desktop::lastIgnoredError().errorCode, BadWindow);
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
    EXPECT_EQ(tap(0x0D, after), "+Return -Return");
}

// The daemon calls from its tick, release-timer and GUI threads. A smoke test: nothing may
// deadlock, crash or lose a key while spares are reassigned under the other calls.
TEST_F(X11DesktopTest, CallsFromSeveralThreadsAtOnceAreSafe)
{
    const Window window = shownFocusedWindow("Velora threads");
    std::vector<std::thread> threads;
    threads.emplace_back([&] {
        for (int i = 0; i < 200; ++i) {
            m_desktop->keyEvent(static_cast<std::uint8_t>(0x7C + i % 12), true); // F13..F24: spares
            m_desktop->keyEvent(static_cast<std::uint8_t>(0x7C + i % 12), false);
        }
    });
    threads.emplace_back([&] {
        for (int i = 0; i < 200; ++i) {
            m_desktop->setPointerPosition(i, i);
            m_desktop->pointerPosition();
            m_desktop->isKeyDown(0x11);
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
    EXPECT_EQ(tap(0x0D, window), "+Return -Return");
}

// The X server goes away (a logout, a crash) while threads drive the desktop: Xlib would end
// the process from whichever thread noticed. Instead the desktop stops using the connection
// and says so once.
TEST(X11DesktopServer, LosingTheServerEndsNothing)
{
    test::XServer server;
    ASSERT_TRUE(server.ok());
    std::unique_ptr<X11Desktop> desktop = X11Desktop::open(server.display().c_str());
    ASSERT_NE(desktop, nullptr);
    std::atomic<int> lost{0};
    desktop->setConnectionLostHandler([&] { ++lost; });

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
            desktop->isKeyDown(0x11);
            desktop->foregroundTitle();
            desktop->activateWindow("Velora nowhere");
            desktop->setPointerPosition(5, 5);
        }
    });
    std::this_thread::sleep_for(200ms);
    desktop->keyEvent(0x10, true); // held when the server goes
    server.kill();
    EXPECT_TRUE(test::waitUntil([&] { return lost.load() > 0; }, 5s));
    std::this_thread::sleep_for(300ms); // the threads go on calling the dead desktop
    stop = true;
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(lost.load(), 1);
    EXPECT_TRUE(desktop->connectionLost());
    desktop->keyEvent(0x10, false);
    EXPECT_EQ(desktop->foregroundTitle(), "");
    desktop.reset();
}

} // namespace
} // namespace velora::platform
