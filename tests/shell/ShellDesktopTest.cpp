// The built KavoShell on a real X server: started with a remembered directory, driven by
// XTest key events, watched through the screen's pixels, and closed with Escape.
// GoogleTest comes before Xlib, whose macros (None, Bool) would break it.
#include <gtest/gtest.h>

#include "platform/x11/X11Desktop.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 10s)
{
    for (const auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(50ms);
    }
    return condition();
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Finds a window by its WM_CLASS class anywhere below root (a window manager may have
// reparented it into a frame).
Window findByClass(Display* display, Window window, const char* className)
{
    XClassHint hint{};
    if (XGetClassHint(display, window, &hint) != 0) {
        const bool match = hint.res_class != nullptr && std::string(hint.res_class) == className;
        XFree(hint.res_name);
        XFree(hint.res_class);
        if (match) {
            return window;
        }
    }
    Window rootReturn = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(display, window, &rootReturn, &parent, &children, &count) != 0) {
        for (unsigned i = 0; i < count && found == 0; ++i) {
            found = findByClass(display, children[i], className);
        }
        XFree(children);
    }
    return found;
}

class ShellDesktopTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (int attempt = 0; attempt < 10 && m_display == nullptr; ++attempt) {
            m_display = XOpenDisplay(nullptr);
            if (m_display == nullptr) {
                std::this_thread::sleep_for(100ms);
            }
        }
        ASSERT_NE(m_display, nullptr);
        m_keys = velora::platform::X11Desktop::open();
        ASSERT_NE(m_keys, nullptr);
        m_width = DisplayWidth(m_display, DefaultScreen(m_display));
        m_height = DisplayHeight(m_display, DefaultScreen(m_display));

        m_dir = fs::temp_directory_path() / ("shell-desktop-" + std::to_string(getpid()));
        fs::remove_all(m_dir);
        m_tree = m_dir / "tree";
        for (const char* dir : {"tree/alpha", "tree/beta/inner", "config/velora", "bin", "run"}) {
            fs::create_directories(m_dir / dir);
        }
        chmod((m_dir / "run").c_str(), 0700);
        for (const char* file : {"tree/a.jpg", "tree/notes.txt", "tree/beta/file.txt"}) {
            std::ofstream(m_dir / file) << "x";
        }
        m_tree = fs::canonical(m_tree);
        std::ofstream(m_dir / "config/velora/velora.ini") << "[KavoShell]\nLastDir=" << m_tree.string() << "\n";
        // The desktop's file opener, recording what it was asked to open.
        const fs::path opener = m_dir / "bin/xdg-open";
        std::ofstream(opener) << "#!/bin/sh\nprintf '%s' \"$1\" > '" << (m_dir / "opened.part").string() << "' && mv '"
                              << (m_dir / "opened.part").string() << "' '" << (m_dir / "opened").string() << "'\n";
        fs::permissions(opener, fs::perms::owner_all);
    }

    void TearDown() override
    {
        if (m_shell > 0) {
            kill(m_shell, SIGKILL);
            waitpid(m_shell, nullptr, 0);
        }
        m_keys.reset();
        if (m_display != nullptr) {
            XCloseDisplay(m_display);
        }
        fs::remove_all(m_dir);
    }

    pid_t start()
    {
        std::vector<std::string> env = {"XDG_CONFIG_HOME=" + (m_dir / "config").string(),
                                        "XDG_RUNTIME_DIR=" + (m_dir / "run").string(),
                                        "PATH=" + (m_dir / "bin").string() + ":" + std::getenv("PATH")};
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry(*e);
            if (entry.rfind("XDG_CONFIG_HOME=", 0) != 0 && entry.rfind("XDG_RUNTIME_DIR=", 0) != 0 &&
                entry.rfind("PATH=", 0) != 0) {
                env.push_back(entry);
            }
        }
        std::vector<char*> envp;
        for (std::string& entry : env) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);
        char* argv[] = {const_cast<char*>(KAVOSHELL_PATH), nullptr};
        pid_t pid = -1;
        return posix_spawn(&pid, KAVOSHELL_PATH, nullptr, nullptr, argv, envp.data()) == 0 ? pid : -1;
    }

    // The exit status of a child once it has ended, -1 when it is still running after limit.
    static int waitExit(pid_t pid, std::chrono::milliseconds limit)
    {
        int status = 0;
        if (!waitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, limit)) {
            return -1;
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    }

    unsigned long pixel(int x, int y)
    {
        XImage* image = XGetImage(m_display, DefaultRootWindow(m_display), x, y, 1, 1, AllPlanes, ZPixmap);
        if (image == nullptr) {
            return 0xdeadbeef;
        }
        const unsigned long value = XGetPixel(image, 0, 0) & 0xffffff;
        XDestroyImage(image);
        return value;
    }

    // Row r is highlighted when its band is blue at the right end; it holds an entry when
    // its icon has any colour.
    bool highlighted(int row) { return pixel(m_width - 105, 64 + 38 * row + 20) == 0x0000ff; }
    bool hasIcon(int row)
    {
        for (int x = 70; x < 98; x += 3) {
            if (pixel(x, 64 + 38 * row + 16) != 0) {
                return true;
            }
        }
        return false;
    }
    bool showsOnly(int row, int entries)
    {
        for (int r = 0; r < 6; ++r) {
            if (highlighted(r) != (r == row) || hasIcon(r) != (r < entries)) {
                return false;
            }
        }
        return true;
    }
    void press(std::uint8_t virtualKey)
    {
        m_keys->keyEvent(virtualKey, true);
        m_keys->keyEvent(virtualKey, false);
    }

    Display* m_display = nullptr;
    std::unique_ptr<velora::platform::X11Desktop> m_keys;
    int m_width = 0;
    int m_height = 0;
    fs::path m_dir;
    fs::path m_tree;
    pid_t m_shell = -1;
};

TEST_F(ShellDesktopTest, BrowsesOpensAndRemembersWithRealKeys)
{
    m_shell = start();
    ASSERT_GT(m_shell, 0);
    // The remembered directory: "..", alpha, beta, a.jpg, notes.txt under a red line.
    ASSERT_TRUE(waitFor([&] { return pixel(10, 46) == 0xff0000 && showsOnly(0, 5); }));

    // One borderless window over the whole screen, with the shell's title and class.
    const Window window = findByClass(m_display, DefaultRootWindow(m_display), "KAVOSHELL");
    ASSERT_NE(window, 0u);
    XWindowAttributes attributes{};
    XGetWindowAttributes(m_display, window, &attributes);
    EXPECT_EQ(attributes.width, m_width);
    EXPECT_EQ(attributes.height, m_height);
    char* title = nullptr;
    ASSERT_NE(XFetchName(m_display, window, &title), 0);
    EXPECT_STREQ(title, "KavoShell");
    XFree(title);

    press(0x28); // Down
    EXPECT_TRUE(waitFor([&] { return showsOnly(1, 5); }));
    press(0x28);
    press(0x0D); // Enter on beta: "..", inner, file.txt
    EXPECT_TRUE(waitFor([&] { return showsOnly(0, 3); }));
    // Backspace: back up with beta highlighted, scrolled by half the rows of the last paint
    // (3): alpha, beta, a.jpg, notes.txt.
    press(0x08);
    EXPECT_TRUE(waitFor([&] { return showsOnly(1, 4); }));

    press(0x28);
    press(0x0D); // Enter on a.jpg: handed to the desktop, the screen stays
    EXPECT_TRUE(waitFor([&] { return fs::exists(m_dir / "opened"); }));
    EXPECT_EQ(readFile(m_dir / "opened"), "file://" + (m_tree / "a.jpg").string());
    EXPECT_TRUE(showsOnly(2, 4));

    // A second start leaves at once; the first keeps running.
    const pid_t second = start();
    ASSERT_GT(second, 0);
    EXPECT_EQ(waitExit(second, 10s), 0);
    EXPECT_EQ(kill(m_shell, 0), 0);

    // Escape while the drive list is shown stores the directory that was current before.
    press(0x70); // F1
    EXPECT_TRUE(waitFor([&] { return !showsOnly(2, 4); }));
    press(0x1B);
    EXPECT_EQ(waitExit(m_shell, 10s), 0);
    m_shell = -1;
    EXPECT_NE(readFile(m_dir / "config/velora/velora.ini").find("LastDir=" + m_tree.string() + "\n"),
              std::string::npos);
}

} // namespace
