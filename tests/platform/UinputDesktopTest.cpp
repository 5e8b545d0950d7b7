// The kernel desktop against a plain file in place of /dev/uinput: the set-up requests it
// makes and the input records it writes, read back and compared with what the kernel is to
// get. (The test machines have no /dev/uinput a test may use.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <linux/input.h>
#include <linux/uinput.h>

#include "platform/VirtualKeys.h"
#include "platform/linux/UinputDesktop.h"
#include "platform/x11/X11Keysyms.h"
#include "tests/support/InputRecords.h"
#include "tests/support/TempDir.h"

namespace velora::platform {
namespace {

using test::inputRecordTexts;
using test::readFile;
using test::TempDir;
using Texts = std::vector<std::string>;

// The set-up requests as the device gets them, with the device's name from UI_DEV_SETUP.
struct ControlRecorder
{
    std::vector<std::pair<unsigned long, unsigned long>> requests;
    std::string name;
    unsigned long failing = 0;

    UinputControl control()
    {
        return [this](int, unsigned long request, unsigned long argument) {
            if (request == UI_DEV_SETUP) {
                name = reinterpret_cast<const uinput_setup*>(argument)->name;
                argument = 0;
            }
            requests.emplace_back(request, argument);
            if (request == failing) {
                errno = EPERM;
                return -1;
            }
            return 0;
        };
    }
    std::set<unsigned long> arguments(unsigned long request) const
    {
        std::set<unsigned long> found;
        for (const auto& [code, argument] : requests) {
            if (code == request) {
                found.insert(argument);
            }
        }
        return found;
    }
};

TEST(UinputDesktopTest, WritesKeysButtonsAndMovesAsInputRecords)
{
    const TempDir dir;
    const std::string device = dir.write("uinput", "").string();
    ControlRecorder recorder;
    {
        std::unique_ptr<Desktop> desktop = openUinputDesktop({device, 800, 600, recorder.control()});
        ASSERT_NE(desktop, nullptr);
        EXPECT_EQ(desktop->pointerPosition().x, 400) << "the middle of the screen until the first move";
        desktop->keyEvent(VK_RETURN, true);
        desktop->keyEvent(VK_RETURN, false);
        desktop->keyEvent(VK_ATTN, true); // no kernel key: nothing written
        desktop->keyEvent('Q', true);
        desktop->keyEvent('Q', false);
        desktop->keyEvent(0xAF, true); // volume up
        desktop->keyEvent(0xAF, false);
        desktop->mouseButton(MouseButton::Right, true);
        desktop->mouseButton(MouseButton::Right, false);
        desktop->setPointerPosition(100, 50);
        desktop->setPointerPosition(90, 50);
        desktop->setPointerPosition(90, 50); // no move, no record
        desktop->setPointerPosition(5000, -3);
        EXPECT_EQ(desktop->pointerPosition().x, 799);
        EXPECT_EQ(desktop->pointerPosition().y, 0);
        EXPECT_EQ(desktop->foregroundTitle(), "");
        EXPECT_FALSE(desktop->activateWindow("anything"));
        desktop->keyEvent(VK_LSHIFT, true);
        desktop->mouseButton(MouseButton::Left, true);
        // Destroyed with Shift and the left button still down: both are let go.
    }
    const Texts expected{
        "EV_KEY 28 1",     "EV_SYN 0 0",      "EV_KEY 28 0",  "EV_SYN 0 0", // Return
        "EV_KEY 16 1",     "EV_SYN 0 0",      "EV_KEY 16 0",  "EV_SYN 0 0", // Q
        "EV_KEY 115 1",    "EV_SYN 0 0",      "EV_KEY 115 0", "EV_SYN 0 0", // volume up
        "EV_KEY 273 1",    "EV_SYN 0 0",      "EV_KEY 273 0", "EV_SYN 0 0", // right button
        "EV_REL 0 -32768", "EV_REL 1 -32768", "EV_SYN 0 0",                 // into the corner
        "EV_REL 0 100",    "EV_REL 1 50",     "EV_SYN 0 0",                 // to (100, 50)
        "EV_REL 0 -10",    "EV_SYN 0 0",                                    // to (90, 50)
        "EV_REL 0 709",    "EV_REL 1 -50",    "EV_SYN 0 0",                 // to (799, 0)
        "EV_KEY 42 1",     "EV_SYN 0 0",      "EV_KEY 272 1", "EV_SYN 0 0", // Shift, left button
        "EV_KEY 42 0",     "EV_KEY 272 0",    "EV_SYN 0 0",                 // released at the end
    };
    EXPECT_EQ(inputRecordTexts(readFile(device)), expected);

    // The device knows every key it may be sent before it is made, and is taken down at the end.
    const std::set<unsigned long> enabled = recorder.arguments(UI_SET_KEYBIT);
    for (int code = 0; code < 256; ++code) {
        const std::uint16_t key = linuxKeyForVirtualKey(static_cast<std::uint8_t>(code));
        EXPECT_TRUE(key == 0 || enabled.count(key)) << "virtual key " << code;
    }
    EXPECT_TRUE(enabled.count(BTN_LEFT) && enabled.count(BTN_RIGHT));
    EXPECT_EQ(recorder.arguments(UI_SET_EVBIT), (std::set<unsigned long>{EV_SYN, EV_KEY, EV_REL}));
    EXPECT_EQ(recorder.arguments(UI_SET_RELBIT), (std::set<unsigned long>{REL_X, REL_Y}));
    EXPECT_EQ(recorder.name, "Velora remote control");
    ASSERT_GE(recorder.requests.size(), 3u);
    EXPECT_EQ(recorder.requests[recorder.requests.size() - 3].first, UI_DEV_SETUP);
    EXPECT_EQ(recorder.requests[recorder.requests.size() - 2].first, UI_DEV_CREATE);
    EXPECT_EQ(recorder.requests.back().first, UI_DEV_DESTROY);
}

TEST(UinputDesktopTest, HasAKernelKeyForEveryKeyTheX11DesktopTypes)
{
    // These exist only as X keysyms; the kernel has no key for them.
    const std::set<int> withoutKernelKey{VK_JUNJA, VK_MODECHANGE, VK_EXECUTE, VK_ATTN,
                                         VK_CRSEL, VK_EXSEL,      VK_EREOF,   VK_PA1};
    std::set<std::uint16_t> distinct;
    for (int code = 0; code < 256; ++code) {
        const auto virtualKey = static_cast<std::uint8_t>(code);
        if (keysymForVirtualKey(virtualKey) != 0 && !withoutKernelKey.count(code)) {
            EXPECT_NE(linuxKeyForVirtualKey(virtualKey), 0) << "virtual key 0x" << std::hex << code;
        }
        if (code >= 'A' && code <= 'Z') {
            distinct.insert(linuxKeyForVirtualKey(virtualKey));
        }
    }
    EXPECT_EQ(distinct.size(), 26u) << "each letter a key of its own";
    // The kernel numbers digits, keypad and function keys by their place, not in a run.
    EXPECT_EQ(linuxKeyForVirtualKey('0'), KEY_0);
    EXPECT_EQ(linuxKeyForVirtualKey(VK_NUMPAD7), KEY_KP7);
    EXPECT_EQ(linuxKeyForVirtualKey(VK_F11), KEY_F11);
    // The browser, volume and player keys, which X11's table leaves to the keymap.
    for (const int code : {0xA6, 0xA7, 0xAC, 0xAD, 0xAE, 0xAF, 0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5}) {
        EXPECT_NE(linuxKeyForVirtualKey(static_cast<std::uint8_t>(code)), 0) << code;
    }
}

TEST(UinputDesktopTest, SaysWhyWhenTheDeviceCannotBeHad)
{
    const TempDir dir;
    std::string error;
    EXPECT_EQ(openUinputDesktop({dir.file("missing/uinput"), 0, 0, {}}, &error), nullptr);
    EXPECT_NE(error.find("cannot open " + dir.file("missing/uinput")), std::string::npos) << error;

    // A device that refuses a request is no device: closed and reported.
    const std::string device = dir.write("uinput", "").string();
    ControlRecorder recorder;
    recorder.failing = UI_DEV_CREATE;
    EXPECT_EQ(openUinputDesktop({device, 0, 0, recorder.control()}, &error), nullptr);
    EXPECT_NE(error.find("refused UI_DEV_CREATE"), std::string::npos) << error;

    // The kernel's own requests on a plain file fail with ENOTTY: passed over, the records
    // still written. Without a known screen the position is not limited.
    std::unique_ptr<Desktop> desktop = openUinputDesktop({device, 0, 0, {}}, &error);
    ASSERT_NE(desktop, nullptr) << error;
    desktop->setPointerPosition(-20, 3000);
    EXPECT_EQ(desktop->pointerPosition().x, -20);
    desktop->keyEvent(VK_ESCAPE, true);
    EXPECT_EQ(inputRecordTexts(readFile(device)),
              (Texts{"EV_REL 0 -32768", "EV_REL 1 -32768", "EV_SYN 0 0", "EV_REL 0 -20", "EV_REL 1 3000", "EV_SYN 0 0",
                     "EV_KEY 1 1", "EV_SYN 0 0"}));
}

TEST(UinputDesktopTest, KeysFromSeveralThreadsStayWholeEvents)
{
    // The daemon's tick, its release timer and the window thread send at once: each key
    // reaches the device as its record and its SYN_REPORT, never split by another's.
    const TempDir dir;
    const std::string device = dir.write("uinput", "").string();
    ControlRecorder recorder;
    std::unique_ptr<Desktop> desktop = openUinputDesktop({device, 800, 600, recorder.control()});
    ASSERT_NE(desktop, nullptr);
    constexpr int kPresses = 300;
    const auto typeKeys = [&desktop](std::uint8_t key) {
        for (int i = 0; i < kPresses; ++i) {
            desktop->keyEvent(key, true);
            desktop->keyEvent(key, false);
        }
    };
    std::thread first(typeKeys, VK_UP);
    std::thread second(typeKeys, VK_DOWN);
    for (int i = 0; i < kPresses; ++i) {
        desktop->setPointerPosition(100 + i % 2, 100);
    }
    first.join();
    second.join();
    const Texts records = inputRecordTexts(readFile(device));
    int keys = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (records[i].rfind("EV_KEY", 0) == 0) {
            ++keys;
            ASSERT_LT(i + 1, records.size());
            EXPECT_EQ(records[i + 1], "EV_SYN 0 0") << "record " << i;
        }
    }
    EXPECT_EQ(keys, 2 * 2 * kPresses);
    EXPECT_EQ(std::count(records.begin(), records.end(), "partial"), 0);
}

} // namespace
} // namespace velora::platform
