// The virtual-key codes by which a Desktop names keys: Windows' codes, the ones macro files
// use. The letter keys are their upper-case ASCII codes ('A' to 'Z', 0x41 to 0x5A), the digit
// keys their ASCII digits ('0' to '9', 0x30 to 0x39); every other key has a name here. Some
// keys have two names (VK_KANA and VK_HANGUL, VK_HANJA and VK_KANJI). A backend maps each
// code to a key of its own; a code it has no key for does nothing.
#pragma once

#include <cstdint>

namespace velora::platform {

// Mouse buttons: names only, a Desktop presses no key for them.
inline constexpr std::uint8_t VK_LBUTTON = 0x01;
inline constexpr std::uint8_t VK_RBUTTON = 0x02;
inline constexpr std::uint8_t VK_MBUTTON = 0x04;

// Editing, modifier and input-method keys.
inline constexpr std::uint8_t VK_BACK = 0x08;
inline constexpr std::uint8_t VK_TAB = 0x09;
inline constexpr std::uint8_t VK_CLEAR = 0x0C;
inline constexpr std::uint8_t VK_RETURN = 0x0D;
inline constexpr std::uint8_t VK_SHIFT = 0x10;
inline constexpr std::uint8_t VK_CONTROL = 0x11;
inline constexpr std::uint8_t VK_MENU = 0x12;
inline constexpr std::uint8_t VK_PAUSE = 0x13;
inline constexpr std::uint8_t VK_CAPITAL = 0x14;
inline constexpr std::uint8_t VK_KANA = 0x15;
inline constexpr std::uint8_t VK_HANGEUL = 0x15;
inline constexpr std::uint8_t VK_HANGUL = 0x15;
inline constexpr std::uint8_t VK_JUNJA = 0x17;
inline constexpr std::uint8_t VK_FINAL = 0x18;
inline constexpr std::uint8_t VK_HANJA = 0x19;
inline constexpr std::uint8_t VK_KANJI = 0x19;
inline constexpr std::uint8_t VK_ESCAPE = 0x1B;
inline constexpr std::uint8_t VK_CONVERT = 0x1C;
inline constexpr std::uint8_t VK_NONCONVERT = 0x1D;
inline constexpr std::uint8_t VK_ACCEPT = 0x1E;
inline constexpr std::uint8_t VK_MODECHANGE = 0x1F;

// Space and the navigation keys.
inline constexpr std::uint8_t VK_SPACE = 0x20;
inline constexpr std::uint8_t VK_PRIOR = 0x21;
inline constexpr std::uint8_t VK_NEXT = 0x22;
inline constexpr std::uint8_t VK_END = 0x23;
inline constexpr std::uint8_t VK_HOME = 0x24;
inline constexpr std::uint8_t VK_LEFT = 0x25;
inline constexpr std::uint8_t VK_UP = 0x26;
inline constexpr std::uint8_t VK_RIGHT = 0x27;
inline constexpr std::uint8_t VK_DOWN = 0x28;
inline constexpr std::uint8_t VK_SELECT = 0x29;
inline constexpr std::uint8_t VK_PRINT = 0x2A;
inline constexpr std::uint8_t VK_EXECUTE = 0x2B;
inline constexpr std::uint8_t VK_SNAPSHOT = 0x2C;
inline constexpr std::uint8_t VK_INSERT = 0x2D;
inline constexpr std::uint8_t VK_DELETE = 0x2E;
inline constexpr std::uint8_t VK_HELP = 0x2F;

// The Windows keys, the numeric keypad and the function keys.
inline constexpr std::uint8_t VK_LWIN = 0x5B;
inline constexpr std::uint8_t VK_RWIN = 0x5C;
inline constexpr std::uint8_t VK_APPS = 0x5D;
inline constexpr std::uint8_t VK_NUMPAD0 = 0x60;
inline constexpr std::uint8_t VK_NUMPAD1 = 0x61;
inline constexpr std::uint8_t VK_NUMPAD2 = 0x62;
inline constexpr std::uint8_t VK_NUMPAD3 = 0x63;
inline constexpr std::uint8_t VK_NUMPAD4 = 0x64;
inline constexpr std::uint8_t VK_NUMPAD5 = 0x65;
inline constexpr std::uint8_t VK_NUMPAD6 = 0x66;
inline constexpr std::uint8_t VK_NUMPAD7 = 0x67;
inline constexpr std::uint8_t VK_NUMPAD8 = 0x68;
inline constexpr std::uint8_t VK_NUMPAD9 = 0x69;
inline constexpr std::uint8_t VK_MULTIPLY = 0x6A;
inline constexpr std::uint8_t VK_ADD = 0x6B;
inline constexpr std::uint8_t VK_SEPARATOR = 0x6C;
inline constexpr std::uint8_t VK_SUBTRACT = 0x6D;
inline constexpr std::uint8_t VK_DECIMAL = 0x6E;
inline constexpr std::uint8_t VK_DIVIDE = 0x6F;
inline constexpr std::uint8_t VK_F1 = 0x70;
inline constexpr std::uint8_t VK_F2 = 0x71;
inline constexpr std::uint8_t VK_F3 = 0x72;
inline constexpr std::uint8_t VK_F4 = 0x73;
inline constexpr std::uint8_t VK_F5 = 0x74;
inline constexpr std::uint8_t VK_F6 = 0x75;
inline constexpr std::uint8_t VK_F7 = 0x76;
inline constexpr std::uint8_t VK_F8 = 0x77;
inline constexpr std::uint8_t VK_F9 = 0x78;
inline constexpr std::uint8_t VK_F10 = 0x79;
inline constexpr std::uint8_t VK_F11 = 0x7A;
inline constexpr std::uint8_t VK_F12 = 0x7B;
inline constexpr std::uint8_t VK_F13 = 0x7C;
inline constexpr std::uint8_t VK_F14 = 0x7D;
inline constexpr std::uint8_t VK_F15 = 0x7E;
inline constexpr std::uint8_t VK_F16 = 0x7F;
inline constexpr std::uint8_t VK_F17 = 0x80;
inline constexpr std::uint8_t VK_F18 = 0x81;
inline constexpr std::uint8_t VK_F19 = 0x82;
inline constexpr std::uint8_t VK_F20 = 0x83;
inline constexpr std::uint8_t VK_F21 = 0x84;
inline constexpr std::uint8_t VK_F22 = 0x85;
inline constexpr std::uint8_t VK_F23 = 0x86;
inline constexpr std::uint8_t VK_F24 = 0x87;

// Lock keys, and the left and right modifier keys (VK_SHIFT, VK_CONTROL and VK_MENU mean either).
inline constexpr std::uint8_t VK_NUMLOCK = 0x90;
inline constexpr std::uint8_t VK_SCROLL = 0x91;
inline constexpr std::uint8_t VK_LSHIFT = 0xA0;
inline constexpr std::uint8_t VK_RSHIFT = 0xA1;
inline constexpr std::uint8_t VK_LCONTROL = 0xA2;
inline constexpr std::uint8_t VK_RCONTROL = 0xA3;
inline constexpr std::uint8_t VK_LMENU = 0xA4;
inline constexpr std::uint8_t VK_RMENU = 0xA5;

// Browser, volume, media-player and launch keys of multimedia keyboards and remotes; a desktop
// sends them as its own media keys, so that its volume and player controls react.
inline constexpr std::uint8_t VK_BROWSER_BACK = 0xA6;
inline constexpr std::uint8_t VK_BROWSER_FORWARD = 0xA7;
inline constexpr std::uint8_t VK_BROWSER_HOME = 0xAC;
inline constexpr std::uint8_t VK_VOLUME_MUTE = 0xAD;
inline constexpr std::uint8_t VK_VOLUME_DOWN = 0xAE;
inline constexpr std::uint8_t VK_VOLUME_UP = 0xAF;
inline constexpr std::uint8_t VK_MEDIA_NEXT_TRACK = 0xB0;
inline constexpr std::uint8_t VK_MEDIA_PREV_TRACK = 0xB1;
inline constexpr std::uint8_t VK_MEDIA_STOP = 0xB2;
inline constexpr std::uint8_t VK_MEDIA_PLAY_PAUSE = 0xB3;
inline constexpr std::uint8_t VK_LAUNCH_MAIL = 0xB4;
inline constexpr std::uint8_t VK_LAUNCH_MEDIA_SELECT = 0xB5;

// Terminal keys.
inline constexpr std::uint8_t VK_ATTN = 0xF6;
inline constexpr std::uint8_t VK_CRSEL = 0xF7;
inline constexpr std::uint8_t VK_EXSEL = 0xF8;
inline constexpr std::uint8_t VK_EREOF = 0xF9;
inline constexpr std::uint8_t VK_PLAY = 0xFA;
inline constexpr std::uint8_t VK_ZOOM = 0xFB;
inline constexpr std::uint8_t VK_NONAME = 0xFC;
inline constexpr std::uint8_t VK_PA1 = 0xFD;
inline constexpr std::uint8_t VK_OEM_CLEAR = 0xFE;

} // namespace velora::platform
