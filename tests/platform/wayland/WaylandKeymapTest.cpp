// The Wayland desktop's keymap, compiled by xkbcommon as the compositor and its clients do:
// every virtual-key code with a keysym has a key that types it, Shift gives capitals.
#include <gtest/gtest.h>

#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <memory>
#include <set>

#include "platform/VirtualKeys.h"
#include "platform/wayland/WaylandKeymap.h"
#include "platform/x11/X11Keysyms.h"

namespace velora::platform {
namespace {

// Browser back, forward and home, volume mute, down and up, next and previous track, stop,
// play/pause, mail and media select.
const std::set<int> kMediaKeys = {0xA6, 0xA7, 0xAC, 0xAD, 0xAE, 0xAF, 0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5};

// VK_ATTN, VK_CRSEL, VK_EXSEL, VK_EREOF, VK_PLAY, VK_PA1: their keysyms' names cannot be read
// back by xkbcommon, and the keymap is handed on as text.
const std::set<int> k3270Keys = {0xF6, 0xF7, 0xF8, 0xF9, 0xFA, 0xFD};

struct Compiled
{
    std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context{xkb_context_new(XKB_CONTEXT_NO_DEFAULT_INCLUDES),
                                                                       &xkb_context_unref};
    std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap{nullptr, &xkb_keymap_unref};
};

TEST(WaylandKeymapTest, EveryKeyTheMacroLanguageSendsTypesItsKeysym)
{
    const WaylandKeymap keymap;
    Compiled compiled;
    compiled.keymap.reset(xkb_keymap_new_from_string(compiled.context.get(), keymap.text().c_str(),
                                                     XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS));
    ASSERT_NE(compiled.keymap, nullptr) << keymap.text();

    int keys = 0;
    for (int code = 0; code < 256; ++code) {
        const auto virtualKey = static_cast<std::uint8_t>(code);
        const std::uint32_t keysym = waylandKeysymForVirtualKey(virtualKey);
        // Everything the X11 desktop types, the Wayland one types too, and the media keys.
        const bool media = kMediaKeys.count(code) != 0;
        EXPECT_EQ(keysym != 0, keysymForVirtualKey(virtualKey) != 0 || media) << code;
        const std::optional<std::uint32_t> key = keymap.keyFor(virtualKey);
        ASSERT_EQ(key.has_value(), keysym != 0 && !k3270Keys.count(code)) << code;
        if (!key) {
            continue;
        }
        ++keys;
        const xkb_keysym_t* syms = nullptr;
        ASSERT_EQ(
            xkb_keymap_key_get_syms_by_level(compiled.keymap.get(), *key + WaylandKeymap::kXkbOffset, 0, 0, &syms), 1)
            << code;
        EXPECT_EQ(syms[0], keysym) << code;
    }
    EXPECT_GT(keys, 120);
    // The compositor gives its clients the keymap as xkbcommon writes it out: that must
    // compile again, or no client could read any key.
    std::unique_ptr<char, decltype(&free)> written(
        xkb_keymap_get_as_string(compiled.keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1), &free);
    ASSERT_NE(written, nullptr);
    std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> again(
        xkb_keymap_new_from_string(compiled.context.get(), written.get(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                   XKB_KEYMAP_COMPILE_NO_FLAGS),
        &xkb_keymap_unref);
    EXPECT_NE(again, nullptr);
    // The media keys of multimedia keyboards.
    EXPECT_EQ(waylandKeysymForVirtualKey(0xAD), xkb_keysym_from_name("XF86AudioMute", XKB_KEYSYM_NO_FLAGS));
    EXPECT_EQ(waylandKeysymForVirtualKey(0xB3), xkb_keysym_from_name("XF86AudioPlay", XKB_KEYSYM_NO_FLAGS));
    EXPECT_EQ(waylandKeysymForVirtualKey(0xAC), xkb_keysym_from_name("XF86HomePage", XKB_KEYSYM_NO_FLAGS));
    // Codes that share a keysym share the key; codes without one have none.
    EXPECT_EQ(keymap.keyFor(VK_SHIFT), keymap.keyFor(VK_LSHIFT));
    EXPECT_NE(keymap.keyFor(VK_LSHIFT), keymap.keyFor(VK_RSHIFT));
    EXPECT_FALSE(keymap.keyFor(VK_LBUTTON));
    EXPECT_FALSE(keymap.keyFor(0xFF));
}

TEST(WaylandKeymapTest, ModifiersAndCapitalsFollowTheKeys)
{
    const WaylandKeymap keymap;
    Compiled compiled;
    compiled.keymap.reset(xkb_keymap_new_from_string(compiled.context.get(), keymap.text().c_str(),
                                                     XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS));
    ASSERT_NE(compiled.keymap, nullptr);
    std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> state(xkb_state_new(compiled.keymap.get()),
                                                                 &xkb_state_unref);
    const auto xkbKey = [&](std::uint8_t virtualKey) { return *keymap.keyFor(virtualKey) + WaylandKeymap::kXkbOffset; };

    xkb_state_update_key(state.get(), xkbKey(VK_SHIFT), XKB_KEY_DOWN);
    EXPECT_EQ(xkb_state_mod_name_is_active(state.get(), XKB_MOD_NAME_SHIFT, XKB_STATE_MODS_DEPRESSED), 1);
    EXPECT_EQ(xkb_state_key_get_one_sym(state.get(), xkbKey('Q')), static_cast<xkb_keysym_t>(XKB_KEY_Q));
    // Keys other than letters have one level: Shift does not change them.
    EXPECT_EQ(xkb_state_key_get_one_sym(state.get(), xkbKey('5')), static_cast<xkb_keysym_t>(XKB_KEY_5));
    xkb_state_update_key(state.get(), xkbKey(VK_SHIFT), XKB_KEY_UP);
    EXPECT_EQ(xkb_state_key_get_one_sym(state.get(), xkbKey('Q')), static_cast<xkb_keysym_t>(XKB_KEY_q));

    for (const auto& [virtualKey, modifier] :
         {std::pair{VK_RCONTROL, XKB_MOD_NAME_CTRL}, {VK_LMENU, XKB_MOD_NAME_ALT}, {VK_RWIN, XKB_MOD_NAME_LOGO}}) {
        xkb_state_update_key(state.get(), xkbKey(virtualKey), XKB_KEY_DOWN);
        EXPECT_EQ(xkb_state_mod_name_is_active(state.get(), modifier, XKB_STATE_MODS_DEPRESSED), 1) << modifier;
        xkb_state_update_key(state.get(), xkbKey(virtualKey), XKB_KEY_UP);
        EXPECT_EQ(xkb_state_mod_name_is_active(state.get(), modifier, XKB_STATE_MODS_DEPRESSED), 0) << modifier;
    }
    // Caps Lock locks, as on a real keyboard.
    xkb_state_update_key(state.get(), xkbKey(VK_CAPITAL), XKB_KEY_DOWN);
    xkb_state_update_key(state.get(), xkbKey(VK_CAPITAL), XKB_KEY_UP);
    EXPECT_EQ(xkb_state_mod_name_is_active(state.get(), XKB_MOD_NAME_CAPS, XKB_STATE_MODS_LOCKED), 1);
}

} // namespace
} // namespace velora::platform
