#include "platform/linux/UinputDesktop.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <vector>

#include <fcntl.h>
#include <linux/input.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>

#include "platform/linux/FileIo.h"
#include "platform/linux/UniqueFd.h"

namespace velora::platform {
namespace {

// The keys of the letters and digits in the order of their virtual-key codes: the kernel
// numbers them by their place on the keyboard, not alphabetically.
constexpr std::array<std::uint16_t, 26> kLetterKeys{KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I,
                                                    KEY_J, KEY_K, KEY_L, KEY_M, KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R,
                                                    KEY_S, KEY_T, KEY_U, KEY_V, KEY_W, KEY_X, KEY_Y, KEY_Z};
constexpr std::array<std::uint16_t, 10> kDigitKeys{KEY_0, KEY_1, KEY_2, KEY_3, KEY_4,
                                                   KEY_5, KEY_6, KEY_7, KEY_8, KEY_9};
constexpr std::array<std::uint16_t, 10> kKeypadKeys{KEY_KP0, KEY_KP1, KEY_KP2, KEY_KP3, KEY_KP4,
                                                    KEY_KP5, KEY_KP6, KEY_KP7, KEY_KP8, KEY_KP9};
constexpr std::array<std::uint16_t, 24> kFunctionKeys{
    KEY_F1,  KEY_F2,  KEY_F3,  KEY_F4,  KEY_F5,  KEY_F6,  KEY_F7,  KEY_F8,  KEY_F9,  KEY_F10, KEY_F11, KEY_F12,
    KEY_F13, KEY_F14, KEY_F15, KEY_F16, KEY_F17, KEY_F18, KEY_F19, KEY_F20, KEY_F21, KEY_F22, KEY_F23, KEY_F24};

// The same keys as the X11 backend's keysym table, where the kernel has them. It has none for
// VK_JUNJA, VK_MODECHANGE, VK_EXECUTE and the terminal keys VK_ATTN to VK_EREOF and VK_PA1,
// which only exist as X keysyms: those codes do nothing here.
constexpr std::array<std::uint16_t, 256> makeKeyTable()
{
    std::array<std::uint16_t, 256> table{};
    table[VK_BACK] = KEY_BACKSPACE;
    table[VK_TAB] = KEY_TAB;
    table[VK_CLEAR] = KEY_CLEAR;
    table[VK_RETURN] = KEY_ENTER;
    table[VK_SHIFT] = KEY_LEFTSHIFT;
    table[VK_CONTROL] = KEY_LEFTCTRL;
    table[VK_MENU] = KEY_LEFTALT;
    table[VK_PAUSE] = KEY_PAUSE;
    table[VK_CAPITAL] = KEY_CAPSLOCK;
    table[VK_HANGUL] = KEY_HANGEUL;
    table[VK_HANJA] = KEY_HANJA;
    table[VK_ESCAPE] = KEY_ESC;
    table[VK_CONVERT] = KEY_HENKAN;
    table[VK_NONCONVERT] = KEY_MUHENKAN;
    table[VK_SPACE] = KEY_SPACE;
    table[VK_PRIOR] = KEY_PAGEUP;
    table[VK_NEXT] = KEY_PAGEDOWN;
    table[VK_END] = KEY_END;
    table[VK_HOME] = KEY_HOME;
    table[VK_LEFT] = KEY_LEFT;
    table[VK_UP] = KEY_UP;
    table[VK_RIGHT] = KEY_RIGHT;
    table[VK_DOWN] = KEY_DOWN;
    table[VK_SELECT] = KEY_SELECT;
    table[VK_PRINT] = KEY_PRINT;
    // The Print Screen key of a PC keyboard.
    table[VK_SNAPSHOT] = KEY_SYSRQ;
    table[VK_INSERT] = KEY_INSERT;
    table[VK_DELETE] = KEY_DELETE;
    table[VK_HELP] = KEY_HELP;
    for (std::size_t i = 0; i < kDigitKeys.size(); ++i) {
        table['0' + i] = kDigitKeys[i];
        table[VK_NUMPAD0 + i] = kKeypadKeys[i];
    }
    for (std::size_t i = 0; i < kLetterKeys.size(); ++i) {
        table['A' + i] = kLetterKeys[i];
    }
    table[VK_LWIN] = KEY_LEFTMETA;
    table[VK_RWIN] = KEY_RIGHTMETA;
    // The menu key of a PC keyboard.
    table[VK_APPS] = KEY_COMPOSE;
    table[VK_MULTIPLY] = KEY_KPASTERISK;
    table[VK_ADD] = KEY_KPPLUS;
    table[VK_SEPARATOR] = KEY_KPCOMMA;
    table[VK_SUBTRACT] = KEY_KPMINUS;
    table[VK_DECIMAL] = KEY_KPDOT;
    table[VK_DIVIDE] = KEY_KPSLASH;
    for (std::size_t i = 0; i < kFunctionKeys.size(); ++i) {
        table[VK_F1 + i] = kFunctionKeys[i];
    }
    table[VK_NUMLOCK] = KEY_NUMLOCK;
    table[VK_SCROLL] = KEY_SCROLLLOCK;
    table[VK_LSHIFT] = KEY_LEFTSHIFT;
    table[VK_RSHIFT] = KEY_RIGHTSHIFT;
    table[VK_LCONTROL] = KEY_LEFTCTRL;
    table[VK_RCONTROL] = KEY_RIGHTCTRL;
    table[VK_LMENU] = KEY_LEFTALT;
    table[VK_RMENU] = KEY_RIGHTALT;
    // The browser, volume and player keys.
    table[0xA6] = KEY_BACK;
    table[0xA7] = KEY_FORWARD;
    table[0xAC] = KEY_HOMEPAGE;
    table[0xAD] = KEY_MUTE;
    table[0xAE] = KEY_VOLUMEDOWN;
    table[0xAF] = KEY_VOLUMEUP;
    table[0xB0] = KEY_NEXTSONG;
    table[0xB1] = KEY_PREVIOUSSONG;
    table[0xB2] = KEY_STOPCD;
    table[0xB3] = KEY_PLAYPAUSE;
    table[0xB4] = KEY_MAIL;
    table[0xB5] = KEY_MEDIA;
    table[VK_PLAY] = KEY_PLAY;
    table[VK_ZOOM] = KEY_ZOOM;
    table[VK_OEM_CLEAR] = KEY_CLEAR;
    return table;
}

constexpr std::array<std::uint16_t, 256> kKeys = makeKeyTable();

constexpr std::uint16_t buttonCode(MouseButton button)
{
    return button == MouseButton::Left ? BTN_LEFT : BTN_RIGHT;
}

// A relative move larger than any screen: the compositor stops the pointer at the edge.
constexpr int kToCorner = -32768;

std::string record(std::uint16_t type, std::uint16_t code, std::int32_t value)
{
    input_event event{};
    event.type = type;
    event.code = code;
    event.value = value;
    return std::string(reinterpret_cast<const char*>(&event), sizeof event);
}

class UinputDesktop final : public Desktop
{
public:
    UinputDesktop(posix::UniqueFd device, UinputControl control, const UinputOptions& options)
        : m_device(std::move(device)), m_control(std::move(control)), m_width(options.screenWidth),
          m_height(options.screenHeight)
    {
        // Until the first move, the pointer is taken to be where compositors put it at the
        // start: the middle of the screen.
        m_position = {m_width / 2, m_height / 2};
    }

    ~UinputDesktop() override
    {
        std::lock_guard lock(m_mutex);
        // Nothing stays held down once the device is gone.
        std::string records;
        for (const std::uint16_t code : m_held) {
            records += record(EV_KEY, code, 0);
        }
        if (!records.empty()) {
            send(records + record(EV_SYN, SYN_REPORT, 0));
        }
        m_control(m_device.get(), UI_DEV_DESTROY, 0);
    }

    void keyEvent(std::uint8_t virtualKey, bool down) override
    {
        const std::uint16_t code = kKeys[virtualKey];
        if (code != 0) {
            press(code, down);
        }
    }

    void mouseButton(MouseButton button, bool down) override { press(buttonCode(button), down); }

    PointerPosition pointerPosition() override
    {
        std::lock_guard lock(m_mutex);
        return m_position;
    }

    // uinput only moves the pointer by steps; the kernel cannot tell where it is. The position
    // is therefore the one this desktop has kept: the first move pushes the pointer into the
    // top-left corner, where the compositor stops it, so that the kept position starts from a
    // known point, and every move after is the step from the kept position to the new one. A
    // real mouse moved meanwhile, and the compositor's pointer acceleration, make the kept
    // position drift from the real one.
    void setPointerPosition(int x, int y) override
    {
        std::lock_guard lock(m_mutex);
        if (m_width > 0 && m_height > 0) {
            x = std::clamp(x, 0, m_width - 1);
            y = std::clamp(y, 0, m_height - 1);
        }
        std::string records;
        if (!m_homed) {
            records +=
                record(EV_REL, REL_X, kToCorner) + record(EV_REL, REL_Y, kToCorner) + record(EV_SYN, SYN_REPORT, 0);
            m_position = {0, 0};
            m_homed = true;
        }
        const int dx = x - m_position.x;
        const int dy = y - m_position.y;
        if (dx != 0) {
            records += record(EV_REL, REL_X, dx);
        }
        if (dy != 0) {
            records += record(EV_REL, REL_Y, dy);
        }
        if (dx != 0 || dy != 0) {
            records += record(EV_SYN, SYN_REPORT, 0);
        }
        if (!records.empty()) {
            send(records);
        }
        m_position = {x, y};
    }

    std::string foregroundTitle() override { return {}; }
    void minimiseForeground() override {}
    void maximiseForeground() override {}
    bool activateWindow(const std::string&) override { return false; }
    bool isKeyDown(std::uint8_t) override { return false; }

private:
    void press(std::uint16_t code, bool down)
    {
        std::lock_guard lock(m_mutex);
        if (down) {
            m_held.insert(code);
        } else {
            m_held.erase(code);
        }
        send(record(EV_KEY, code, down ? 1 : 0) + record(EV_SYN, SYN_REPORT, 0));
    }

    // One write per event group, so that no other thread's records come between them. A
    // failed write (the device gone) loses the event, as an unplugged keyboard would.
    void send(const std::string& records) { posix::writeAll(m_device.get(), records); }

    std::mutex m_mutex;
    posix::UniqueFd m_device;
    UinputControl m_control;
    const int m_width;
    const int m_height;
    PointerPosition m_position;
    bool m_homed = false;
    std::set<std::uint16_t> m_held;
};

std::string describe(const std::string& what, int error)
{
    return what + ": " + std::strerror(error);
}

} // namespace

std::uint16_t linuxKeyForVirtualKey(std::uint8_t virtualKey)
{
    return kKeys[virtualKey];
}

std::unique_ptr<Desktop> openUinputDesktop(const UinputOptions& options, std::string* error)
{
    const auto fail = [error](std::string reason) -> std::unique_ptr<Desktop> {
        if (error != nullptr) {
            *error = std::move(reason);
        }
        return nullptr;
    };
    posix::UniqueFd device(::open(options.devicePath.c_str(), O_WRONLY | O_CLOEXEC));
    if (!device.valid()) {
        return fail(describe("cannot open " + options.devicePath, errno));
    }
    UinputControl control = options.control;
    if (!control) {
        control = [](int fd, unsigned long request, unsigned long argument) { return ::ioctl(fd, request, argument); };
    }
    bool refused = false;
    std::string reason;
    const auto request = [&](unsigned long code, unsigned long argument, const char* name) {
        if (refused || control(device.get(), code, argument) == 0 || errno == ENOTTY) {
            return;
        }
        refused = true;
        reason = describe(options.devicePath + " refused " + name, errno);
    };

    request(UI_SET_EVBIT, EV_KEY, "UI_SET_EVBIT");
    request(UI_SET_EVBIT, EV_REL, "UI_SET_EVBIT");
    request(UI_SET_EVBIT, EV_SYN, "UI_SET_EVBIT");
    std::set<std::uint16_t> keys(kKeys.begin(), kKeys.end());
    keys.erase(0);
    keys.insert({BTN_LEFT, BTN_RIGHT, BTN_MIDDLE});
    for (const std::uint16_t key : keys) {
        request(UI_SET_KEYBIT, key, "UI_SET_KEYBIT");
    }
    request(UI_SET_RELBIT, REL_X, "UI_SET_RELBIT");
    request(UI_SET_RELBIT, REL_Y, "UI_SET_RELBIT");

    uinput_setup setup{};
    setup.id.bustype = BUS_VIRTUAL;
    setup.id.vendor = 0x1209; // the open hardware community's vendor number
    setup.id.product = 0x4b52;
    setup.id.version = 1;
    std::strncpy(setup.name, "Velora remote control", sizeof setup.name - 1);
    request(UI_DEV_SETUP, reinterpret_cast<unsigned long>(&setup), "UI_DEV_SETUP");
    request(UI_DEV_CREATE, 0, "UI_DEV_CREATE");
    if (refused) {
        return fail(reason);
    }
    // The compositor takes a moment to find the new device and open it: events written before
    // are lost. The daemon makes the device at its start, long before the first remote key.
    return std::make_unique<UinputDesktop>(std::move(device), std::move(control), options);
}

} // namespace velora::platform
