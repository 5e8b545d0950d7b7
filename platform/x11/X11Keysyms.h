// The X keysym each virtual-key code stands for: letters the lower-case letter, digits the
// digit, VK_NUMPAD0 KP_0, VK_F13 F13, ... A fixed table; it needs no X server.
#pragma once

#include <cstdint>
#include <vector>

namespace velora::platform {

// The keysym a virtual-key code types, 0 (NoSymbol) for codes without one.
unsigned long keysymForVirtualKey(std::uint8_t virtualKey);

// The keysyms whose keys count as "this key is down": the generic modifier codes (VK_SHIFT,
// VK_CONTROL, VK_MENU) stand for both the left and the right key. Empty for codes without
// a keysym.
std::vector<unsigned long> keysymsHeldFor(std::uint8_t virtualKey);

} // namespace velora::platform
