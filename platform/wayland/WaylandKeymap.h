// The keyboard the Wayland desktop presents to the compositor: one key for every keysym a
// virtual-key code types (X11Keysyms' table, plus the browser, volume, media and launch keys
// of 0xA6 to 0xB5 as XF86 keysyms), written out as an xkb keymap of its own. The compositor and
// every client read key codes through this keymap, so the keys type the same keysyms whatever
// layout the user's real keyboard has.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velora::platform {

// The keysym a virtual-key code stands for (X11Keysyms' table and the media keys), 0 for
// codes without one. Not every such keysym is on the keyboard: see WaylandKeymap::keyFor.
std::uint32_t waylandKeysymForVirtualKey(std::uint8_t virtualKey);

class WaylandKeymap
{
public:
    WaylandKeymap();

    // The keymap in xkb's text format (XKB_KEYMAP_FORMAT_TEXT_V1).
    const std::string& text() const { return m_text; }

    // The key a virtual-key code presses, as the virtual-keyboard protocol counts keys (the
    // xkb key code less 8); nullopt for codes without a key.
    std::optional<std::uint32_t> keyFor(std::uint8_t virtualKey) const;

    // The offset between xkb key codes and the protocol's key numbers.
    static constexpr std::uint32_t kXkbOffset = 8;

private:
    std::string m_text;
    std::uint8_t m_keycodeOf[256] = {}; // virtual-key code -> xkb key code, 0 for none
};

} // namespace velora::platform
