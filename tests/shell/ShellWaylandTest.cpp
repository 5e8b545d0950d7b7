// The built KavoShell as a native Wayland program on a headless sway: full screen, driven by
// the Wayland desktop's virtual keyboard, watched through screenshots, one copy at a time
// without X11, and closed with Escape.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/VirtualKeys.h"
#include "platform/wayland/WaylandDesktop.h"
#include "tests/shell/ShellStartTest.h"
#include "tests/support/wayland/SwayServer.h"

namespace velora::test {
namespace {

using namespace std::chrono_literals;

class ShellWaylandTest : public ShellStartTest
{
protected:
    ShellWaylandTest() : ShellStartTest("shell-wayland") {}

    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(makeTree({"tree/a.jpg", "tree/notes.txt"}));
        ASSERT_TRUE(m_sway.ok()) << m_sway.log();
        m_keys = platform::openWaylandDesktop(m_sway.socket().c_str());
        ASSERT_NE(m_keys, nullptr);
        m_screen.emplace(
            1280, 1024, [this](int x, int y) { return m_shot.pixel(x, y); }, [this] { m_shot = m_sway.screenshot(); });
    }

    // The desktop's connection goes before the compositor.
    void TearDown() override { m_keys.reset(); }

    Process start()
    {
        EnvironmentChanges environment = m_sway.environment();
        environment["QT_QPA_PLATFORM"] = "wayland";
        return m_suite.start("KavoShell", {}, environment);
    }

    SwayServer m_sway;
    Screenshot m_shot;
};

TEST_F(ShellWaylandTest, RunsFullScreenAndIsDrivenByTheWaylandKeyboard)
{
    Process shell = start();
    ASSERT_TRUE(shell.started());
    // The remembered directory: "..", alpha, beta, a.jpg, notes.txt under a red line.
    ASSERT_TRUE(waitFor([&] { return m_screen->showsTitleLine() && m_screen->showsOnly(0, 5); })) << m_sway.log();

    // Full screen over the whole output, known by its application id and title.
    const SwayWindow window = m_sway.window("kavoshell");
    ASSERT_TRUE(window.found);
    EXPECT_TRUE(window.fullscreen);
    EXPECT_EQ(window.x, 0);
    EXPECT_EQ(window.y, 0);
    EXPECT_EQ(window.width, 1280);
    EXPECT_EQ(window.height, 1024);
    EXPECT_TRUE(waitUntil([&] { return m_keys->foregroundTitle() == "KavoShell"; }, 5s));

    press(platform::VK_DOWN);
    EXPECT_TRUE(waitFor([&] { return m_screen->showsOnly(1, 5); }));
    press(platform::VK_DOWN);
    press(platform::VK_RETURN); // Enter on beta: "..", inner
    EXPECT_TRUE(waitFor([&] { return m_screen->showsOnly(0, 2); }));

    // A second start leaves at once; the first keeps running (the runtime-folder socket).
    Process second = start();
    ASSERT_TRUE(second.started());
    EXPECT_EQ(second.waitExit(10s), 0);
    EXPECT_TRUE(shell.running());

    // Escape stores the folder shown.
    press(platform::VK_ESCAPE);
    EXPECT_EQ(shell.waitExit(10s), 0);
    EXPECT_NE(readFile(m_settings).find("LastDir=" + (m_tree / "beta").string() + "\n"), std::string::npos)
        << readFile(m_settings);
}

} // namespace
} // namespace velora::test
