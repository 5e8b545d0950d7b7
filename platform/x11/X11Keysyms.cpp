#include "platform/x11/X11Keysyms.h"

// The 3270 keysyms are only declared on request; they must be asked for before any X header
// pulls in keysymdef.h.
#define XK_3270
#include <X11/X.h>
#include <X11/XF86keysym.h>
#include <X11/keysym.h>

#include <array>

#include "platform/VirtualKeys.h"

namespace velora::platform {
namespace {

constexpr std::array<KeySym, 256> makeKeysymTable()
{
    std::array<KeySym, 256> table{};
    table[VK_BACK] = XK_BackSpace;
    table[VK_TAB] = XK_Tab;
    table[VK_CLEAR] = XK_Clear;
    table[VK_RETURN] = XK_Return;
    table[VK_SHIFT] = XK_Shift_L;
    table[VK_CONTROL] = XK_Control_L;
    table[VK_MENU] = XK_Alt_L;
    table[VK_PAUSE] = XK_Pause;
    table[VK_CAPITAL] = XK_Caps_Lock;
    // VK_KANA is VK_HANGUL and VK_KANJI is VK_HANJA: the Korean keys are taken, as these are
    // the keys current keyboards (and keymaps) have.
    table[VK_HANGUL] = XK_Hangul;
    table[VK_JUNJA] = XK_Hangul_Jeonja;
    table[VK_HANJA] = XK_Hangul_Hanja;
    table[VK_ESCAPE] = XK_Escape;
    table[VK_CONVERT] = XK_Henkan_Mode;
    table[VK_NONCONVERT] = XK_Muhenkan;
    table[VK_MODECHANGE] = XK_Mode_switch;
    table[VK_SPACE] = XK_space;
    table[VK_PRIOR] = XK_Prior;
    table[VK_NEXT] = XK_Next;
    table[VK_END] = XK_End;
    table[VK_HOME] = XK_Home;
    table[VK_LEFT] = XK_Left;
    table[VK_UP] = XK_Up;
    table[VK_RIGHT] = XK_Right;
    table[VK_DOWN] = XK_Down;
    table[VK_SELECT] = XK_Select;
    table[VK_PRINT] = XK_Print;
    table[VK_EXECUTE] = XK_Execute;
    table[VK_SNAPSHOT] = XK_Print;
    table[VK_INSERT] = XK_Insert;
    table[VK_DELETE] = XK_Delete;
    table[VK_HELP] = XK_Help;
    for (int i = 0; i < 10; ++i) {
        table['0' + i] = XK_0 + i;
        table[VK_NUMPAD0 + i] = XK_KP_0 + i;
    }
    for (int i = 0; i < 26; ++i) {
        table['A' + i] = XK_a + i;
    }
    table[VK_LWIN] = XK_Super_L;
    table[VK_RWIN] = XK_Super_R;
    table[VK_APPS] = XK_Menu;
    table[VK_MULTIPLY] = XK_KP_Multiply;
    table[VK_ADD] = XK_KP_Add;
    table[VK_SEPARATOR] = XK_KP_Separator;
    table[VK_SUBTRACT] = XK_KP_Subtract;
    table[VK_DECIMAL] = XK_KP_Decimal;
    table[VK_DIVIDE] = XK_KP_Divide;
    for (int i = 0; i < 24; ++i) {
        table[VK_F1 + i] = XK_F1 + i;
    }
    table[VK_NUMLOCK] = XK_Num_Lock;
    table[VK_SCROLL] = XK_Scroll_Lock;
    table[VK_LSHIFT] = XK_Shift_L;
    table[VK_RSHIFT] = XK_Shift_R;
    table[VK_LCONTROL] = XK_Control_L;
    table[VK_RCONTROL] = XK_Control_R;
    table[VK_LMENU] = XK_Alt_L;
    table[VK_RMENU] = XK_Alt_R;
    table[VK_ATTN] = XK_3270_Attn;
    table[VK_CRSEL] = XK_3270_CursorSelect;
    table[VK_EXSEL] = XK_3270_ExSelect;
    table[VK_EREOF] = XK_3270_EraseEOF;
    table[VK_PLAY] = XK_3270_Play;
    table[VK_PA1] = XK_3270_PA1;
    table[VK_OEM_CLEAR] = XK_Clear;
    // Media keys: the XF86 keysyms that desktops bind their volume and player controls to.
    table[VK_BROWSER_BACK] = XF86XK_Back;
    table[VK_BROWSER_FORWARD] = XF86XK_Forward;
    table[VK_BROWSER_HOME] = XF86XK_HomePage;
    table[VK_VOLUME_MUTE] = XF86XK_AudioMute;
    table[VK_VOLUME_DOWN] = XF86XK_AudioLowerVolume;
    table[VK_VOLUME_UP] = XF86XK_AudioRaiseVolume;
    table[VK_MEDIA_NEXT_TRACK] = XF86XK_AudioNext;
    table[VK_MEDIA_PREV_TRACK] = XF86XK_AudioPrev;
    table[VK_MEDIA_STOP] = XF86XK_AudioStop;
    table[VK_MEDIA_PLAY_PAUSE] = XF86XK_AudioPlay;
    table[VK_LAUNCH_MAIL] = XF86XK_Mail;
    table[VK_LAUNCH_MEDIA_SELECT] = XF86XK_AudioMedia;
    return table;
}

constexpr std::array<KeySym, 256> kKeysyms = makeKeysymTable();

} // namespace

unsigned long keysymForVirtualKey(std::uint8_t virtualKey)
{
    return kKeysyms[virtualKey];
}

std::vector<unsigned long> keysymsHeldFor(std::uint8_t virtualKey)
{
    switch (virtualKey) {
    case VK_SHIFT:
        return {XK_Shift_L, XK_Shift_R};
    case VK_CONTROL:
        return {XK_Control_L, XK_Control_R};
    case VK_MENU:
        return {XK_Alt_L, XK_Alt_R};
    default:
        break;
    }
    if (kKeysyms[virtualKey] == NoSymbol) {
        return {};
    }
    return {kKeysyms[virtualKey]};
}

} // namespace velora::platform
