// The built KavoShell as a native Wayland program on a headless sway: full screen, driven by
// the Wayland desktop's virtual keyboard, watched through screenshots, one copy at a time
// without X11, and closed with Escape.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/VirtualKeys.h"
#include "platform/wayland/WaylandDesktop.h"
#include "tests/shell/ShellScreenChecks.h"
#include "tests/support/SuiteCopy.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitUntil.h"
#include "tests/support/wayland/SwayServer.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using velora::test::Process;

bool waitFor(const std::function<bool()>& condition)
{
    return velora::test::waitUntil(condition, 10s, 50ms);
}

class ShellWaylandTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_suite.valid());
        ASSERT_TRUE(m_sway.ok()) << m_sway.log();
        m_keys = velora::platform::openWaylandDesktop(m_sway.socket().c_str());
        ASSERT_NE(m_keys, nullptr);
        m_screen.emplace(
            1280, 1024, [this](int x, int y) { return m_shot.pixel(x, y); }, [this] { m_shot = m_sway.screenshot(); });

        m_dir.makeFolder("tree/alpha");
        m_dir.makeFolder("tree/beta/inner");
        for (const char* file : {"tree/a.jpg", "tree/notes.txt"}) {
            m_dir.write(file, "x");
        }
        m_tree = fs::canonical(m_dir / "tree");
        m_settings = m_suite.configHome() / "velora/velora.ini";
        fs::create_directories(m_settings.parent_path());
        std::ofstream(m_settings) << "[KavoShell]\nLastDir=" << m_tree.string() << "\n";
    }

    Process start()
    {
        velora::test::EnvironmentChanges environment = m_sway.environment();
        environment["QT_QPA_PLATFORM"] = "wayland";
        return m_suite.start("KavoShell", {}, environment);
    }

    void press(std::uint8_t virtualKey)
    {
        m_keys->keyEvent(virtualKey, true);
        m_keys->keyEvent(virtualKey, false);
    }

    velora::test::SuiteCopy m_suite;
    velora::test::TempDir m_dir{"shell-wayland"};
    velora::test::SwayServer m_sway;
    std::unique_ptr<velora::platform::Desktop> m_keys;
    velora::test::Screenshot m_shot;
    std::optional<velora::test::ShellScreenChecks> m_screen;
    fs::path m_tree;
    fs::path m_settings;
};

TEST_F(ShellWaylandTest, RunsFullScreenAndIsDrivenByTheWaylandKeyboard)
{
    Process shell = start();
    ASSERT_TRUE(shell.started());
    // The remembered directory: "..", alpha, beta, a.jpg, notes.txt under a red line.
    ASSERT_TRUE(waitFor([&] { return m_screen->showsTitleLine() && m_screen->showsOnly(0, 5); })) << m_sway.log();

    // Full screen over the whole output, known by its application id and title.
    const velora::test::SwayWindow window = m_sway.window("kavoshell");
    ASSERT_TRUE(window.found);
    EXPECT_TRUE(window.fullscreen);
    EXPECT_EQ(window.x, 0);
    EXPECT_EQ(window.y, 0);
    EXPECT_EQ(window.width, 1280);
    EXPECT_EQ(window.height, 1024);
    EXPECT_TRUE(velora::test::waitUntil([&] { return m_keys->foregroundTitle() == "KavoShell"; }, 5s));

    press(velora::platform::VK_DOWN);
    EXPECT_TRUE(waitFor([&] { return m_screen->showsOnly(1, 5); }));
    press(velora::platform::VK_DOWN);
    press(velora::platform::VK_RETURN); // Enter on beta: "..", inner
    EXPECT_TRUE(waitFor([&] { return m_screen->showsOnly(0, 2); }));

    // A second start leaves at once; the first keeps running (the runtime-folder socket).
    Process second = start();
    ASSERT_TRUE(second.started());
    EXPECT_EQ(second.waitExit(10s), 0);
    EXPECT_TRUE(shell.running());

    // Escape stores the folder shown.
    press(velora::platform::VK_ESCAPE);
    EXPECT_EQ(shell.waitExit(10s), 0);
    EXPECT_NE(velora::test::readFile(m_settings).find("LastDir=" + (m_tree / "beta").string() + "\n"),
              std::string::npos)
        << velora::test::readFile(m_settings);
}

} // namespace
