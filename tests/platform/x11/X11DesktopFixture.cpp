#include <gtest/gtest.h>

#include "tests/platform/x11/X11DesktopFixture.h"

#include <X11/XKBlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "platform/x11/X11Desktop.h"
#include "tests/support/WaitUntil.h"
#include "tests/support/XDisplay.h"

namespace velora::platform {
namespace {

using namespace std::chrono_literals;

std::atomic<int> g_testConnectionErrors{0};

int countTestError(Display*, XErrorEvent*)
{
    ++g_testConnectionErrors;
    return 0;
}

// In place before main, and so before the first connection of the program's own installs the
// X error trap: the trap then passes the errors of the test's connection on to this.
const XErrorHandler g_defaultHandler = XSetErrorHandler(countTestError);

// Keycodes of the current keymap, as the server has it now, that satisfy a test on their
// keysyms (one row of keysymsPerKeycode entries).
std::vector<KeyCode> keycodesWhere(Display* display, const std::function<bool(const KeySym*, int)>& test)
{
    int minKeycode = 0;
    int maxKeycode = 0;
    XDisplayKeycodes(display, &minKeycode, &maxKeycode);
    int perKeycode = 0;
    KeySym* map =
        XGetKeyboardMapping(display, static_cast<KeyCode>(minKeycode), maxKeycode - minKeycode + 1, &perKeycode);
    std::vector<KeyCode> result;
    for (int keycode = minKeycode; keycode <= maxKeycode; ++keycode) {
        if (test(map + (keycode - minKeycode) * perKeycode, perKeycode)) {
            result.push_back(static_cast<KeyCode>(keycode));
        }
    }
    XFree(map);
    return result;
}

} // namespace

std::unique_ptr<Desktop> X11DesktopTest::openDesktop()
{
    std::unique_ptr<Desktop> desktop;
    test::waitUntil([&] { return (desktop = openX11Desktop()) != nullptr; }, 550ms, 50ms);
    return desktop;
}

void X11DesktopTest::SetUp()
{
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        GTEST_SKIP() << "DISPLAY is not set; run under tests/support/with-desktop.sh";
    }
    g_testConnectionErrors = 0;
    test::waitUntil([this] { return (m_display = XOpenDisplay(nullptr)) != nullptr; }, 550ms, 50ms);
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
    m_desktop = openDesktop();
    ASSERT_NE(m_desktop, nullptr);
}

void X11DesktopTest::TearDown()
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

Window X11DesktopTest::makeWindow(const std::string& title, TitleKind kind, Window parent)
{
    XSetWindowAttributes attributes{};
    attributes.event_mask = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask |
                            FocusChangeMask | PropertyChangeMask;
    attributes.background_pixel = XWhitePixel(m_display, XDefaultScreen(m_display));
    const Window window = XCreateWindow(m_display, parent == None ? m_root : parent, 40, 30, 320, 200, 1,
                                        CopyFromParent, InputOutput, nullptr, CWEventMask | CWBackPixel, &attributes);
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

std::optional<XEvent> X11DesktopTest::waitForEvent(const std::function<bool(const XEvent&)>& matches,
                                                   std::chrono::milliseconds timeout)
{
    return test::waitForEvent(
        m_display,
        [this, &matches](const XEvent& event) {
            if (event.type == m_xkbEventBase) {
                auto* xkb = reinterpret_cast<const XkbEvent*>(&event);
                if (xkb->any.xkb_type == XkbMapNotify) {
                    XkbRefreshKeyboardMapping(const_cast<XkbMapNotifyEvent*>(&xkb->map));
                }
            }
            return matches(event);
        },
        timeout);
}

bool X11DesktopTest::waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    return test::waitUntil(
        [&] {
            waitForEvent([](const XEvent&) { return false; }, 0ms);
            return condition();
        },
        timeout, 10ms);
}

void X11DesktopTest::show(Window window)
{
    XMapWindow(m_display, window);
    ASSERT_TRUE(waitForEvent([window](const XEvent& e) { return e.type == MapNotify && e.xmap.window == window; }))
        << "window never mapped";
}

void X11DesktopTest::focus(Window window)
{
    XSetInputFocus(m_display, window, RevertToParent, CurrentTime);
    ASSERT_TRUE(waitUntil([&] { return test::inputFocus(m_display) == window; })) << "window never got the focus";
}

Window X11DesktopTest::shownFocusedWindow(const std::string& title, TitleKind kind)
{
    const Window window = makeWindow(title, kind);
    show(window);
    focus(window);
    return window;
}

std::string X11DesktopTest::nextKey(Window window, bool typed)
{
    auto event = waitForEvent(
        [window](const XEvent& e) { return (e.type == KeyPress || e.type == KeyRelease) && e.xkey.window == window; });
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

std::string X11DesktopTest::tap(std::uint8_t virtualKey, Window window)
{
    m_desktop->keyEvent(virtualKey, true);
    m_desktop->keyEvent(virtualKey, false);
    const std::string press = nextKey(window);
    return press + " " + nextKey(window);
}

std::vector<KeyCode> X11DesktopTest::emptyKeycodes()
{
    return keycodesWhere(m_display, [](const KeySym* syms, int count) {
        return std::all_of(syms, syms + count, [](KeySym sym) { return sym == NoSymbol; });
    });
}

KeyCode X11DesktopTest::keycodeCarrying(KeySym keysym)
{
    const auto found = keycodesWhere(m_display, [keysym](const KeySym* syms, int) { return syms[0] == keysym; });
    return found.empty() ? 0 : found.front();
}

} // namespace velora::platform
