#include "platform/wayland/WaylandKeymap.h"

#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdio>
#include <map>
#include <vector>

#include "platform/VirtualKeys.h"
#include "platform/x11/X11Keysyms.h"

namespace velora::platform {
namespace {

// The first xkb key code handed out; codes below 8 do not exist in xkb.
constexpr std::uint32_t kFirstKeycode = 9;

struct MediaKey
{
    std::uint8_t virtualKey;
    std::uint32_t keysym;
};

// The keys of multimedia keyboards, which the macro language names by their codes.
constexpr MediaKey kMediaKeys[] = {
    {0xA6, XKB_KEY_XF86Back},
    {0xA7, XKB_KEY_XF86Forward},
    {0xAC, XKB_KEY_XF86HomePage},
    {0xAD, XKB_KEY_XF86AudioMute},
    {0xAE, XKB_KEY_XF86AudioLowerVolume},
    {0xAF, XKB_KEY_XF86AudioRaiseVolume},
    {0xB0, XKB_KEY_XF86AudioNext},
    {0xB1, XKB_KEY_XF86AudioPrev},
    {0xB2, XKB_KEY_XF86AudioStop},
    {0xB3, XKB_KEY_XF86AudioPlay},
    {0xB4, XKB_KEY_XF86Mail},
    {0xB5, XKB_KEY_XF86AudioMedia},
};

// Whether the keysym can be on the keyboard. The compositor hands the keymap on to its
// clients as xkbcommon writes it out, by keysym names; the 3270 keys' names start with a
// digit, which xkbcommon writes but cannot read back, so a keymap holding one would reach
// no client at all. Those keys (VK_ATTN, VK_CRSEL, VK_EXSEL, VK_EREOF, VK_PLAY, VK_PA1) are
// left out.
bool fitsKeymap(std::uint32_t keysym)
{
    char name[64];
    return xkb_keysym_get_name(keysym, name, sizeof name) > 0 && !(name[0] >= '0' && name[0] <= '9' && name[1] != 0);
}

// A keysym as the keymap's text gives it: by number, which needs no escaping of names.
std::string keysymText(std::uint32_t keysym)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", keysym);
    return text;
}

bool isLetter(std::uint32_t keysym)
{
    return keysym >= XKB_KEY_a && keysym <= XKB_KEY_z;
}

// Types: letters have a Shift level (so that Shift+A types "A"), every other key one level.
// Compatibility: a key in a modifier map sets its modifier while down; Caps Lock and Num Lock
// lock theirs, as on a real keyboard.
constexpr const char* kTypesAndCompat = R"(  xkb_types "velora" {
    virtual_modifiers NumLock;
    type "ONE_LEVEL" {
      modifiers = none;
      level_name[Level1] = "Any";
    };
    type "ALPHABETIC" {
      modifiers = Shift+Lock;
      map[Shift] = Level2;
      map[Lock] = Level2;
      level_name[Level1] = "Base";
      level_name[Level2] = "Caps";
    };
  };
  xkb_compatibility "velora" {
    interpret Caps_Lock { action = LockMods(modifiers = Lock); };
    interpret Num_Lock { action = LockMods(modifiers = Mod2); };
    interpret Any + AnyOf(all) { action = SetMods(modifiers = modMapMods, clearLocks); };
  };
)";

} // namespace

std::uint32_t waylandKeysymForVirtualKey(std::uint8_t virtualKey)
{
    for (const MediaKey& key : kMediaKeys) {
        if (key.virtualKey == virtualKey) {
            return key.keysym;
        }
    }
    return static_cast<std::uint32_t>(keysymForVirtualKey(virtualKey));
}

WaylandKeymap::WaylandKeymap()
{
    // One key per keysym: VK_SHIFT and VK_LSHIFT, VK_SNAPSHOT and VK_PRINT share theirs.
    std::map<std::uint32_t, std::uint32_t> keycodeOfKeysym;
    std::vector<std::uint32_t> keysymOfKeycode;
    for (int virtualKey = 0; virtualKey < 256; ++virtualKey) {
        const std::uint32_t keysym = waylandKeysymForVirtualKey(static_cast<std::uint8_t>(virtualKey));
        if (keysym == XKB_KEY_NoSymbol || !fitsKeymap(keysym)) {
            continue;
        }
        auto [it, added] = keycodeOfKeysym.emplace(keysym, kFirstKeycode + keysymOfKeycode.size());
        if (added) {
            keysymOfKeycode.push_back(keysym);
        }
        m_keycodeOf[virtualKey] = static_cast<std::uint8_t>(it->second);
    }

    const std::uint32_t lastKeycode = kFirstKeycode + static_cast<std::uint32_t>(keysymOfKeycode.size()) - 1;
    std::string keycodes;
    std::string symbols;
    for (std::size_t i = 0; i < keysymOfKeycode.size(); ++i) {
        const std::string code = std::to_string(kFirstKeycode + i);
        const std::uint32_t keysym = keysymOfKeycode[i];
        keycodes += "    <K" + code + "> = " + code + ";\n";
        if (isLetter(keysym)) {
            symbols += "    key <K" + code + "> { type = \"ALPHABETIC\", [ " + keysymText(keysym) + ", " +
                       keysymText(keysym - XKB_KEY_a + XKB_KEY_A) + " ] };\n";
        } else {
            symbols += "    key <K" + code + "> { type = \"ONE_LEVEL\", [ " + keysymText(keysym) + " ] };\n";
        }
    }
    const struct
    {
        const char* modifier;
        std::uint32_t keysyms[2];
    } modifierMap[] = {
        {"Shift", {XKB_KEY_Shift_L, XKB_KEY_Shift_R}},
        {"Control", {XKB_KEY_Control_L, XKB_KEY_Control_R}},
        {"Mod1", {XKB_KEY_Alt_L, XKB_KEY_Alt_R}},
        {"Lock", {XKB_KEY_Caps_Lock, 0}},
        {"Mod2", {XKB_KEY_Num_Lock, 0}},
        {"Mod4", {XKB_KEY_Super_L, XKB_KEY_Super_R}},
        {"Mod5", {XKB_KEY_Mode_switch, 0}},
    };
    for (const auto& entry : modifierMap) {
        std::string keys;
        for (std::uint32_t keysym : entry.keysyms) {
            const auto it = keycodeOfKeysym.find(keysym);
            if (keysym != 0 && it != keycodeOfKeysym.end()) {
                keys += (keys.empty() ? "<K" : ", <K") + std::to_string(it->second) + ">";
            }
        }
        if (!keys.empty()) {
            symbols += "    modifier_map " + std::string(entry.modifier) + " { " + keys + " };\n";
        }
    }

    m_text = "xkb_keymap {\n  xkb_keycodes \"velora\" {\n    minimum = 8;\n    maximum = " +
             std::to_string(lastKeycode < 255 ? 255 : lastKeycode) + ";\n" + keycodes + "  };\n" + kTypesAndCompat +
             "  xkb_symbols \"velora\" {\n" + symbols + "  };\n};\n";
}

std::optional<std::uint32_t> WaylandKeymap::keyFor(std::uint8_t virtualKey) const
{
    if (m_keycodeOf[virtualKey] == 0) {
        return std::nullopt;
    }
    return m_keycodeOf[virtualKey] - kXkbOffset;
}

} // namespace velora::platform
