// The Wayland desktop on a compositor that lacks protocols (MiniCompositor): what is missing
// is said once through the log, keys still go out, and what needs the missing protocols
// does nothing; without a virtual keyboard there is no desktop.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>

#include "platform/VirtualKeys.h"
#include "platform/wayland/WaylandDesktop.h"
#include "platform/wayland/WaylandKeymap.h"
#include "tests/platform/wayland/MiniCompositor.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitUntil.h"

namespace velora::platform {
namespace {

using namespace std::chrono_literals;

struct Log
{
    std::mutex mutex;
    std::vector<std::string> lines;

    DesktopLog function()
    {
        return [this](const std::string& line) {
            std::lock_guard lock(mutex);
            lines.push_back(line);
        };
    }
    std::vector<std::string> get()
    {
        std::lock_guard lock(mutex);
        return lines;
    }
};

TEST(WaylandMissingProtocolsTest, KeysGoOutAndTheMissingProtocolsAreSaidOnce)
{
    const test::TempDir dir("wayland-mini");
    const test::MiniCompositor compositor(dir.file("wayland-mini"), true);
    ASSERT_TRUE(compositor.ok());
    Log log;
    const std::unique_ptr<Desktop> desktop = openWaylandDesktop(dir.file("wayland-mini").c_str(), log.function());
    ASSERT_NE(desktop, nullptr);

    // The keymap reaches the compositor whole, and keys by the keymap's numbers.
    EXPECT_TRUE(test::waitUntil([&] { return compositor.keymap().rfind("xkb_keymap {", 0) == 0; }, 2s));
    EXPECT_EQ(compositor.keymap(), WaylandKeymap().text() + '\0');
    desktop->keyEvent('A', true);
    desktop->keyEvent('A', false);
    desktop->keyEvent(VK_LBUTTON, true); // no key: nothing
    ASSERT_TRUE(test::waitUntil([&] { return compositor.keys().size() >= 2; }, 2s));
    const std::uint32_t keyA = *WaylandKeymap().keyFor('A');
    EXPECT_EQ(compositor.keys().size(), 2u);
    EXPECT_EQ(compositor.keys()[0].key, keyA);
    EXPECT_TRUE(compositor.keys()[0].pressed);
    EXPECT_EQ(compositor.keys()[1].key, keyA);
    EXPECT_FALSE(compositor.keys()[1].pressed);

    // No pointer, no list of windows: nothing happens, nothing breaks.
    desktop->setPointerPosition(50, 60);
    desktop->mouseButton(MouseButton::Left, true);
    desktop->mouseButton(MouseButton::Left, false);
    EXPECT_EQ(desktop->pointerPosition().x, 0);
    EXPECT_EQ(desktop->pointerPosition().y, 0);
    EXPECT_EQ(desktop->foregroundTitle(), "");
    EXPECT_EQ(desktop->foregroundClass().instance, "");
    EXPECT_FALSE(desktop->activateWindow("Anything"));
    desktop->minimiseForeground();
    desktop->maximiseForeground();

    // Each missing protocol said once, by name, at the start only.
    const std::vector<std::string> lines = log.get();
    ASSERT_EQ(lines.size(), 2u) << testing::PrintToString(lines);
    EXPECT_NE(lines[0].find("zwlr_virtual_pointer_manager_v1"), std::string::npos);
    EXPECT_NE(lines[1].find("zwlr_foreign_toplevel_manager_v1"), std::string::npos);
}

TEST(WaylandMissingProtocolsTest, NoVirtualKeyboardGivesNoDesktop)
{
    const test::TempDir dir("wayland-mini");
    const test::MiniCompositor compositor(dir.file("wayland-mini"), false);
    ASSERT_TRUE(compositor.ok());
    Log log;
    EXPECT_EQ(openWaylandDesktop(dir.file("wayland-mini").c_str(), log.function()), nullptr);
    const std::vector<std::string> lines = log.get();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("zwp_virtual_keyboard_manager_v1"), std::string::npos);
}

} // namespace
} // namespace velora::platform
