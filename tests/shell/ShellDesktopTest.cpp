// The built KavoShell on a real X server: started with a remembered directory, driven by
// XTest key events, watched through the screen's pixels, and closed with Escape.
// GoogleTest comes before Xlib, whose macros (None, Bool) would break it.
#include <gtest/gtest.h>

#include "platform/x11/X11Desktop.h"
#include "tests/shell/ShellStartTest.h"
#include "tests/support/XDisplay.h"

#include <X11/Xutil.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace velora::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ShellDesktopTest : public ShellStartTest
{
protected:
    ShellDesktopTest() : ShellStartTest("shell-desktop") {}

    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(makeTree({"tree/a.jpg", "tree/notes.txt", "tree/beta/file.txt"}));
        ASSERT_NE(m_display, nullptr);
        m_keys = platform::openX11Desktop();
        ASSERT_NE(m_keys, nullptr);
        m_width = DisplayWidth(m_display.get(), DefaultScreen(m_display.get()));
        m_height = DisplayHeight(m_display.get(), DefaultScreen(m_display.get()));
        m_screen.emplace(m_width, m_height, [this](int x, int y) { return pixel(x, y); });
        // The desktop's file opener, recording what it was asked to open.
        const fs::path opener = m_dir.write(
            "bin/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > '" + (m_dir / "opened.part").string() + "' && mv '" +
                                (m_dir / "opened.part").string() + "' '" + (m_dir / "opened").string() + "'\n");
        fs::permissions(opener, fs::perms::owner_all);
    }

    Process start()
    {
        return m_suite.start("KavoShell", {}, {{"PATH", (m_dir / "bin").string() + ":" + std::getenv("PATH")}});
    }

    unsigned long pixel(int x, int y)
    {
        XImage* image = XGetImage(m_display.get(), DefaultRootWindow(m_display.get()), x, y, 1, 1, AllPlanes, ZPixmap);
        if (image == nullptr) {
            return 0xdeadbeef;
        }
        const unsigned long value = XGetPixel(image, 0, 0) & 0xffffff;
        XDestroyImage(image);
        return value;
    }

    DisplayPtr m_display = openDisplay();
    int m_width = 0;
    int m_height = 0;
};

TEST_F(ShellDesktopTest, BrowsesOpensAndRemembersWithRealKeys)
{
    Process shell = start();
    ASSERT_TRUE(shell.started());
    // The remembered directory: "..", alpha, beta, a.jpg, notes.txt under a red line.
    ASSERT_TRUE(waitFor([&] { return m_screen->showsTitleLine() && m_screen->showsOnly(0, 5); }));

    // One borderless window over the whole screen, with the shell's title and class.
    const Window window = findWindowByClass(m_display.get(), "KAVOSHELL");
    ASSERT_NE(window, 0u);
    XWindowAttributes attributes{};
    XGetWindowAttributes(m_display.get(), window, &attributes);
    EXPECT_EQ(attributes.width, m_width);
    EXPECT_EQ(attributes.height, m_height);
    char* title = nullptr;
    ASSERT_NE(XFetchName(m_display.get(), window, &title), 0);
    EXPECT_STREQ(title, "KavoShell");
    XFree(title);
    // The program's icon comes once the list is shown.
    const Atom icon = XInternAtom(m_display.get(), "_NET_WM_ICON", False);
    EXPECT_TRUE(waitFor([&] {
        Atom type = None;
        int format = 0;
        unsigned long items = 0;
        unsigned long left = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(m_display.get(), window, icon, 0, 2, False, AnyPropertyType, &type, &format, &items, &left,
                           &data);
        XFree(data);
        return type != None && items == 2;
    }));

    press(platform::VK_DOWN);
    EXPECT_TRUE(waitFor([&] { return m_screen->showsOnly(1, 5); }));
    press(platform::VK_DOWN);
    press(platform::VK_RETURN); // Enter on beta: "..", inner, file.txt
    EXPECT_TRUE(waitFor([&] { return m_screen->showsOnly(0, 3); }));
    // Backspace: back up with beta highlighted, scrolled by half the rows of the last paint
    // (3): alpha, beta, a.jpg, notes.txt.
    press(platform::VK_BACK);
    EXPECT_TRUE(waitFor([&] { return m_screen->showsOnly(1, 4); }));

    press(platform::VK_DOWN);
    press(platform::VK_RETURN); // Enter on a.jpg: handed to the desktop, the screen stays
    EXPECT_TRUE(waitFor([&] { return fs::exists(m_dir / "opened"); }));
    EXPECT_EQ(readFile(m_dir / "opened"), "file://" + (m_tree / "a.jpg").string());
    EXPECT_TRUE(m_screen->showsOnly(2, 4));

    // A second start leaves at once; the first keeps running.
    Process second = start();
    ASSERT_TRUE(second.started());
    EXPECT_EQ(second.waitExit(10s), 0);
    EXPECT_TRUE(shell.running());

    // Escape while the drive list is shown stores the directory that was current before.
    press(platform::VK_F1);
    EXPECT_TRUE(waitFor([&] { return !m_screen->showsOnly(2, 4); }));
    press(platform::VK_ESCAPE);
    EXPECT_EQ(shell.waitExit(10s), 0);
    EXPECT_NE(readFile(m_settings).find("LastDir=" + m_tree.string() + "\n"), std::string::npos);
}

} // namespace
} // namespace velora::test
