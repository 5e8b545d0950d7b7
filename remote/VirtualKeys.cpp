#include "remote/VirtualKeys.h"

namespace velora::remote {

// Each name is the spelling of its code's constant, so the two cannot disagree.
// clang-format off
#define VK_ROW(code) VirtualKeyName{#code, platform::code}
// clang-format on

// clang-format off
const VirtualKeyName VirtualKeyTable[kVirtualKeyCount] = {
    VK_ROW(VK_LBUTTON),   VK_ROW(VK_RBUTTON),    VK_ROW(VK_MBUTTON),  VK_ROW(VK_BACK),       VK_ROW(VK_TAB),
    VK_ROW(VK_CLEAR),     VK_ROW(VK_RETURN),     VK_ROW(VK_SHIFT),    VK_ROW(VK_CONTROL),    VK_ROW(VK_MENU),
    VK_ROW(VK_PAUSE),     VK_ROW(VK_CAPITAL),    VK_ROW(VK_KANA),     VK_ROW(VK_HANGEUL),    VK_ROW(VK_HANGUL),
    VK_ROW(VK_JUNJA),     VK_ROW(VK_FINAL),      VK_ROW(VK_HANJA),    VK_ROW(VK_KANJI),      VK_ROW(VK_ESCAPE),
    VK_ROW(VK_CONVERT),   VK_ROW(VK_NONCONVERT), VK_ROW(VK_ACCEPT),   VK_ROW(VK_MODECHANGE), VK_ROW(VK_SPACE),
    VK_ROW(VK_PRIOR),     VK_ROW(VK_NEXT),       VK_ROW(VK_END),      VK_ROW(VK_HOME),       VK_ROW(VK_LEFT),
    VK_ROW(VK_UP),        VK_ROW(VK_RIGHT),      VK_ROW(VK_DOWN),     VK_ROW(VK_SELECT),     VK_ROW(VK_PRINT),
    VK_ROW(VK_EXECUTE),   VK_ROW(VK_SNAPSHOT),   VK_ROW(VK_INSERT),   VK_ROW(VK_DELETE),     VK_ROW(VK_HELP),
    VK_ROW(VK_LWIN),      VK_ROW(VK_RWIN),       VK_ROW(VK_APPS),     VK_ROW(VK_NUMPAD0),    VK_ROW(VK_NUMPAD1),
    VK_ROW(VK_NUMPAD2),   VK_ROW(VK_NUMPAD3),    VK_ROW(VK_NUMPAD4),  VK_ROW(VK_NUMPAD5),    VK_ROW(VK_NUMPAD6),
    VK_ROW(VK_NUMPAD7),   VK_ROW(VK_NUMPAD8),    VK_ROW(VK_NUMPAD9),  VK_ROW(VK_MULTIPLY),   VK_ROW(VK_ADD),
    VK_ROW(VK_SEPARATOR), VK_ROW(VK_SUBTRACT),   VK_ROW(VK_DECIMAL),  VK_ROW(VK_DIVIDE),     VK_ROW(VK_F1),
    VK_ROW(VK_F2),        VK_ROW(VK_F3),         VK_ROW(VK_F4),       VK_ROW(VK_F5),         VK_ROW(VK_F6),
    VK_ROW(VK_F7),        VK_ROW(VK_F8),         VK_ROW(VK_F9),       VK_ROW(VK_F10),        VK_ROW(VK_F11),
    VK_ROW(VK_F12),       VK_ROW(VK_F13),        VK_ROW(VK_F14),      VK_ROW(VK_F15),        VK_ROW(VK_F16),
    VK_ROW(VK_F17),       VK_ROW(VK_F18),        VK_ROW(VK_F19),      VK_ROW(VK_F20),        VK_ROW(VK_F21),
    VK_ROW(VK_F22),       VK_ROW(VK_F23),        VK_ROW(VK_F24),      VK_ROW(VK_NUMLOCK),    VK_ROW(VK_SCROLL),
    VK_ROW(VK_LSHIFT),    VK_ROW(VK_RSHIFT),     VK_ROW(VK_LCONTROL), VK_ROW(VK_RCONTROL),   VK_ROW(VK_LMENU),
    VK_ROW(VK_RMENU),     VK_ROW(VK_ATTN),       VK_ROW(VK_CRSEL),    VK_ROW(VK_EXSEL),      VK_ROW(VK_EREOF),
    VK_ROW(VK_PLAY),      VK_ROW(VK_ZOOM),       VK_ROW(VK_NONAME),   VK_ROW(VK_PA1),        VK_ROW(VK_OEM_CLEAR),
    // The media keys, after the classic rows so that those keep their order.
    VK_ROW(VK_VOLUME_MUTE),      VK_ROW(VK_VOLUME_DOWN),   VK_ROW(VK_VOLUME_UP),         VK_ROW(VK_MEDIA_NEXT_TRACK),
    VK_ROW(VK_MEDIA_PREV_TRACK), VK_ROW(VK_MEDIA_STOP),    VK_ROW(VK_MEDIA_PLAY_PAUSE),  VK_ROW(VK_BROWSER_BACK),
    VK_ROW(VK_BROWSER_FORWARD),  VK_ROW(VK_BROWSER_HOME),  VK_ROW(VK_LAUNCH_MAIL),       VK_ROW(VK_LAUNCH_MEDIA_SELECT),
};
// clang-format on

#undef VK_ROW

std::uint8_t LookupVirtualKey(std::string_view name)
{
    for (const VirtualKeyName& row : VirtualKeyTable) {
        if (name == row.name) {
            return row.code;
        }
    }
    if (name.empty()) {
        return 0;
    }
    const auto first = static_cast<unsigned char>(name.front());
    return static_cast<std::uint8_t>(first >= 'a' && first <= 'z' ? first - 'a' + 'A' : first);
}

const char* virtualKeyName(std::uint8_t code)
{
    for (const VirtualKeyName& row : VirtualKeyTable) {
        if (row.code == code) {
            return row.name;
        }
    }
    return nullptr;
}

} // namespace velora::remote
