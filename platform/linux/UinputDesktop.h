// A desktop driven through the kernel: a virtual keyboard and mouse made with uinput, whose
// keys and moves every compositor and the text console take as they take a real device's.
//
// The kernel offers no way back: nothing says which window is in front, where the pointer is
// or whether a real key is held. So the window operations do nothing (foregroundTitle and
// foregroundClass are empty, activateWindow finds nothing), isKeyDown is always false, and the
// pointer position is one this desktop keeps itself from the moves it made (see
// setPointerPosition in UinputDesktop.cpp).
//
// Keys are sent as the keys of a PC keyboard (KEY_A is the key left of S): the desktop's
// keyboard layout decides the character they type, as it does for the real keyboard.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/Desktop.h"

namespace velora::platform {

// The device the kernel makes virtual input devices through.
inline constexpr const char* kUinputPath = "/dev/uinput";

// The set-up requests to the uinput device (UI_SET_EVBIT, UI_SET_KEYBIT, UI_DEV_SETUP, ...): the
// kernel's ioctl() by default; tests hand in a recorder. Returns -1 with errno on failure.
using UinputControl = std::function<int(int fd, unsigned long request, unsigned long argument)>;

struct UinputOptions
{
    std::string devicePath = kUinputPath;
    // The screen's size, when the caller knows it: the kept pointer position stays within it,
    // as the compositor keeps the real pointer. 0: unknown, not limited.
    int screenWidth = 0;
    int screenHeight = 0;
    // Empty: ioctl().
    UinputControl control;
};

// Opens the device and makes the virtual keyboard and mouse. A request the file does not know
// (ENOTTY: a plain file or a FIFO in place of the device) is passed over, and the events are
// still written to it. Returns nullptr, with the reason in *error when given, when the device
// cannot be opened (most often: no write access, see the udev rule in data/) or refuses a
// request.
std::unique_ptr<Desktop> openUinputDesktop(const UinputOptions& options = {}, std::string* error = nullptr);

// The kernel's KEY_ code for a virtual-key code; 0 (KEY_RESERVED) for codes without a key.
std::uint16_t linuxKeyForVirtualKey(std::uint8_t virtualKey);

} // namespace velora::platform
