// The built KavoShell on private X servers of three sizes (1024x768, 1920x1080, 3840x2160),
// watched through the screen's pixels: the rows keep their number and grow with the height,
// file kinds, long names, hidden files, the position in the header, the banner of a file no
// program opens, and the mouse.
// GoogleTest comes before Xlib, whose macros (None, Bool) would break it.
#include <gtest/gtest.h>

#include "platform/x11/X11Desktop.h"
#include "tests/support/SuiteCopy.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitUntil.h"
#include "tests/support/XDisplay.h"
#include "tests/support/XServer.h"

#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using velora::test::ScreenArea;

constexpr unsigned long kBlue = 0x0000ff;
constexpr unsigned long kGrey = 0x808080; // a name not highlighted
constexpr unsigned long kRed = 0xff0000;
constexpr unsigned long kHeader = 0x8080ff;

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 10s)
{
    return velora::test::waitUntil(condition, limit, 30ms);
}

class ShellScreenTest : public ::testing::TestWithParam<std::tuple<int, int, int>>
{
protected:
    void SetUp() override
    {
        std::tie(m_width, m_height, m_rowHeight) = GetParam();
        ASSERT_TRUE(m_suite.valid());
        ASSERT_TRUE(m_server.ok());
        m_display = m_server.connect();
        ASSERT_NE(m_display, nullptr);
        m_keys = velora::platform::openX11Desktop(m_server.display().c_str());
        ASSERT_NE(m_keys, nullptr);

        // Shown: "..", many, clip.mpeg and film.mkv (videos), the long name, x.abc.
        m_dir.makeFolder("tree/many");
        m_dir.makeFolder("tree/.secret");
        for (const std::string& file :
             std::vector<std::string>{"clip.mpeg", "film.mkv", "x.abc", ".hidden", std::string(80, 'W') + ".txt"}) {
            m_dir.write("tree/" + file, "x");
        }
        for (int i = 0; i < 40; ++i) {
            m_dir.write("tree/many/file" + std::to_string(100 + i) + ".txt", "x");
        }
        const fs::path settings = m_suite.configHome() / "velora/velora.ini";
        fs::create_directories(settings.parent_path());
        std::ofstream(settings) << "[KavoShell]\nLastDir=" << fs::canonical(m_dir / "tree").string() << "\n";
        // A desktop without a program for x.abc: the opener takes its time, then fails. A film
        // plays for two seconds in the opener's own process.
        const std::string dir = m_dir.path().string();
        const fs::path opener = m_dir.write(
            "bin/xdg-open", "#!/bin/sh\ncase \"$1\" in\n*.mkv) touch '" + dir + "/playing'; sleep 2; touch '" + dir +
                                "/played' ;;\n*) touch '" + dir + "/asked'; sleep 1; exit 3 ;;\nesac\n");
        fs::permissions(opener, fs::perms::owner_all);
    }

    int scaled(int length) const
    {
        return m_height > 768 ? static_cast<int>(std::lround(length * (m_height / 768.0))) : length;
    }
    int rowTop(int row) const { return scaled(64) + m_rowHeight * row; }
    int bandRight() const { return m_width - scaled(100); }
    int iconSize() const { return scaled(32); }

    ScreenArea grab(int x, int y, int width, int height) const { return {m_display.get(), x, y, width, height}; }
    // The top of the highlighted band, from the column just inside its right end; -1 for none.
    int bandTop() const
    {
        const ScreenArea column = grab(bandRight() - 2, 0, 1, m_height);
        for (int y = 0; y < column.height(); ++y) {
            if (column.at(0, y) == kBlue) {
                return y;
            }
        }
        return -1;
    }
    bool highlighted(int row) const { return bandTop() == rowTop(row); }
    ScreenArea icon(int row) const { return grab(scaled(68), rowTop(row), iconSize(), iconSize()); }
    bool hasIcon(int row) const { return icon(row).count(0) < iconSize() * iconSize(); }
    // The right end of the header, where the position stands.
    ScreenArea position() const { return grab(m_width - scaled(32) - 5 * m_rowHeight, 0, 5 * m_rowHeight, scaled(40)); }
    bool bannerShown() const { return grab(m_width / 2 - 20, m_height - scaled(40), 40, scaled(16)).count(kRed) > 0; }

    void press(std::uint8_t virtualKey)
    {
        m_keys->keyEvent(virtualKey, true);
        m_keys->keyEvent(virtualKey, false);
    }
    void click(int row, bool twice = false)
    {
        m_keys->setPointerPosition(m_width / 2, rowTop(row) + m_rowHeight / 2);
        for (int i = 0; i < (twice ? 2 : 1); ++i) {
            m_keys->mouseButton(velora::platform::MouseButton::Left, true);
            m_keys->mouseButton(velora::platform::MouseButton::Left, false);
        }
    }
    // Whether the pointer shows: its cursor image has any pixel that is not transparent.
    bool pointerShown() const
    {
        XFixesCursorImage* cursor = XFixesGetCursorImage(m_display.get());
        bool shown = false;
        for (int i = 0; cursor != nullptr && i < cursor->width * cursor->height; ++i) {
            shown = shown || (cursor->pixels[i] >> 24) != 0;
        }
        if (cursor != nullptr) {
            XFree(cursor);
        }
        return shown;
    }
    // One notch of the wheel: button 4 away from the user, 5 towards.
    void wheel(unsigned button)
    {
        XTestFakeButtonEvent(m_display.get(), button, True, CurrentTime);
        XTestFakeButtonEvent(m_display.get(), button, False, CurrentTime);
        XSync(m_display.get(), False);
    }

    int m_width = 0;
    int m_height = 0;
    int m_rowHeight = 0;
    velora::test::SuiteCopy m_suite;
    velora::test::TempDir m_dir{"shell-screen"};
    velora::test::XServer m_server{std::to_string(std::get<0>(GetParam())) + "x" +
                                   std::to_string(std::get<1>(GetParam()))};
    velora::test::DisplayPtr m_display;
    std::unique_ptr<velora::platform::Desktop> m_keys;
};

TEST_P(ShellScreenTest, RowsKindsNamesPositionBannerAndMouse)
{
    velora::test::EnvironmentChanges environment = m_server.environment();
    environment["PATH"] = (m_dir / "bin").string() + ":" + std::getenv("PATH");
    velora::test::Process shell = m_suite.start("KavoShell", {}, environment);
    ASSERT_TRUE(shell.started());
    ASSERT_TRUE(waitFor([&] { return highlighted(0) && hasIcon(5); })) << "band at " << bandTop();

    // Six entries: the hidden file and folder are not listed.
    for (int row = 0; row < 8; ++row) {
        EXPECT_EQ(hasIcon(row), row < 6) << "row " << row;
    }
    // Rows of the scaled height; the band runs from the icons to the right margin.
    const ScreenArea firstPosition = position();
    EXPECT_GT(firstPosition.count(kHeader), 0);
    EXPECT_EQ(grab(m_width - scaled(32) + 1, 0, scaled(32) - 1, scaled(40)).count(kHeader), 0);
    press(0x28); // Down
    ASSERT_TRUE(waitFor([&] { return highlighted(1); })) << "band at " << bandTop();
    // Blue under the icon, and from past the name to the band's end; nothing beside.
    EXPECT_EQ(grab(scaled(68), rowTop(1) + iconSize(), iconSize(), m_rowHeight - iconSize()).count(kBlue),
              iconSize() * (m_rowHeight - iconSize()));
    EXPECT_EQ(grab(bandRight() - 3 * m_rowHeight, rowTop(1), 3 * m_rowHeight, m_rowHeight).count(kBlue),
              3 * m_rowHeight * m_rowHeight);
    EXPECT_EQ(grab(bandRight(), rowTop(1), 1, m_rowHeight).count(kBlue), 0);
    // "2 / 6" where "1 / 6" was.
    EXPECT_NE(position(), firstPosition);
    EXPECT_GT(position().count(kHeader), 0);

    // film.mkv, known only to the desktop's file types, has the video icon of clip.mpeg.
    EXPECT_EQ(icon(3), icon(2));
    EXPECT_NE(icon(3), icon(5));

    // The long name ends in "…" before the band's end: the last half em of its text holds
    // only dots low in the row, where a cut W would reach up high.
    int end = bandRight() - 1; // the last column of the name's text
    while (end > scaled(100) && grab(end, rowTop(4), 1, m_rowHeight).count(kGrey) == 0) {
        --end;
    }
    const int halfEm = m_rowHeight * 2 / 5;
    EXPECT_GT(end, bandRight() - 3 * halfEm);
    EXPECT_EQ(grab(end - halfEm, rowTop(4), halfEm + 1, m_rowHeight * 35 / 100).count(kGrey), 0);
    EXPECT_GT(grab(end - halfEm, rowTop(4) + m_rowHeight / 2, halfEm + 1, m_rowHeight / 2).count(kGrey), 0);

    // Enter on x.abc: the opener fails after a second, while the shell goes on with the keys.
    press(0x23); // End
    ASSERT_TRUE(waitFor([&] { return highlighted(5); }));
    EXPECT_FALSE(bannerShown());
    press(0x0D);
    ASSERT_TRUE(waitFor([&] { return fs::exists(m_dir / "asked"); }));
    press(0x26); // Up, while the opener runs
    EXPECT_TRUE(waitFor([&] { return highlighted(4); }, 800ms)) << "the shell waited for the opener";
    EXPECT_FALSE(bannerShown());
    ASSERT_TRUE(waitFor([&] { return bannerShown(); }, 5s)) << "no banner for the file without a program";
    const auto shownAt = std::chrono::steady_clock::now();
    EXPECT_TRUE(waitFor([&] { return !bannerShown(); }, 5s));
    EXPECT_GT(std::chrono::steady_clock::now() - shownAt, 2500ms);

    // Into a folder of 41 entries: the same number of rows on every screen.
    press(0x24); // Home
    press(0x28);
    press(0x0D);
    ASSERT_TRUE(waitFor([&] { return highlighted(0) && hasIcon(6); }));
    press(0x23);
    ASSERT_TRUE(waitFor([&] { return highlighted(15); })) << "band at " << bandTop();
    EXPECT_TRUE(hasIcon(15));
    EXPECT_FALSE(hasIcon(16));

    // The mouse: a click highlights, the wheel scrolls three rows, a double click opens.
    click(3);
    ASSERT_TRUE(waitFor([&] { return highlighted(3); })) << "band at " << bandTop();
    const ScreenArea before = icon(0);
    wheel(4);
    EXPECT_TRUE(waitFor([&] { return highlighted(6); })) << "band at " << bandTop();
    wheel(5);
    EXPECT_TRUE(waitFor([&] { return highlighted(3) && icon(0) == before; })) << "band at " << bandTop();
    press(0x24);
    ASSERT_TRUE(waitFor([&] { return highlighted(0); }));
    click(0, true); // ".." back to the six entries, "many" highlighted
    EXPECT_TRUE(waitFor([&] { return highlighted(1) && !hasIcon(6); })) << "band at " << bandTop();

    // The pointer shows when it moves, and hides after two seconds at rest.
    m_keys->setPointerPosition(m_width / 3, m_height / 3);
    const auto moved = std::chrono::steady_clock::now();
    EXPECT_TRUE(waitFor([&] { return pointerShown(); }, 1s));
    EXPECT_TRUE(waitFor([&] { return !pointerShown(); }, 4s));
    EXPECT_GT(std::chrono::steady_clock::now() - moved, 1800ms);

    // Closing the shell while a film plays leaves the player running.
    press(0x28);
    press(0x28);
    press(0x0D);
    ASSERT_TRUE(waitFor([&] { return fs::exists(m_dir / "playing"); }));
    press(0x1B);
    EXPECT_EQ(shell.waitExit(10s), 0);
    EXPECT_TRUE(waitFor([&] { return fs::exists(m_dir / "played"); }, 5s)) << "the player was ended with the shell";
}

INSTANTIATE_TEST_SUITE_P(Screens, ShellScreenTest,
                         ::testing::Values(std::tuple{1024, 768, 38}, std::tuple{1920, 1080, 53},
                                           std::tuple{3840, 2160, 107}),
                         [](const auto& screen) { return std::to_string(std::get<1>(screen.param)) + "Lines"; });

} // namespace
