// The virtual-key table of the X11 desktop on its own: no X server is asked.
#include <gtest/gtest.h>

#include <X11/X.h>
#include <X11/keysym.h>

#include "platform/VirtualKeys.h"
#include "platform/x11/X11Keysyms.h"

namespace velora::platform {
namespace {

TEST(X11Keysyms, EachCodeStandsForOneKeysymAndTheGenericModifiersForBothKeys)
{
    EXPECT_EQ(keysymForVirtualKey('A'), XK_a);
    EXPECT_EQ(keysymForVirtualKey('7'), XK_7);
    EXPECT_EQ(keysymForVirtualKey(VK_NUMPAD0), XK_KP_0);
    EXPECT_EQ(keysymForVirtualKey(VK_F24), XK_F24);
    EXPECT_EQ(keysymForVirtualKey(VK_KANJI), XK_Hangul_Hanja);
    EXPECT_EQ(keysymForVirtualKey(VK_SNAPSHOT), XK_Print);
    for (const std::uint8_t none : {VK_LBUTTON, VK_FINAL, VK_ZOOM, std::uint8_t{0xFF}}) {
        EXPECT_EQ(keysymForVirtualKey(none), static_cast<unsigned long>(NoSymbol)) << int(none);
        EXPECT_TRUE(keysymsHeldFor(none).empty()) << int(none);
    }
    EXPECT_EQ(keysymsHeldFor(VK_CONTROL), (std::vector<unsigned long>{XK_Control_L, XK_Control_R}));
    EXPECT_EQ(keysymsHeldFor(VK_RMENU), std::vector<unsigned long>{XK_Alt_R});
    EXPECT_EQ(keysymsHeldFor('B'), std::vector<unsigned long>{XK_b});
}

} // namespace
} // namespace velora::platform
