// KavoRemote as a user runs it: the built program started from a copy of the suite folder,
// on the virtual card, on a desktop with a window manager and a notification area. Keys
// pressed with velora-card arrive at a real window as default.mac binds them; a left click on
// the icon switches to mouse mode; SIGTERM lets go of the card.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <sys/wait.h>
#include <unistd.h>

#include "XTestWindow.h"
#include "drivers/virtualcard/CardStateFile.h"
#include "drivers/virtualcard/VirtualChip.h"
#include "hw/BtRegisters.h"

namespace velora {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

pid_t spawn(const fs::path& program, const std::vector<std::string>& arguments = {})
{
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

int waitExit(pid_t pid, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(20ms);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

// Waits until a notification area owns its selection, so that a program started now docks
// its icon at once.
bool waitForNotificationArea(Display* display, std::chrono::milliseconds timeout)
{
    const Atom selection = XInternAtom(display, "_NET_SYSTEM_TRAY_S0", False);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (XGetSelectionOwner(display, selection) != None) {
            return true;
        }
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

// The notification-area icon of a program: a small viewable window of that class.
std::optional<std::pair<int, int>> trayIconCentre(Display* display, const char* className)
{
    std::vector<Window> pending{DefaultRootWindow(display)};
    while (!pending.empty()) {
        const Window window = pending.back();
        pending.pop_back();
        XClassHint hint{};
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable &&
            attributes.width < 64 && attributes.height < 64 && XGetClassHint(display, window, &hint)) {
            const bool match = hint.res_class != nullptr && std::string(hint.res_class) == className;
            XFree(hint.res_name);
            XFree(hint.res_class);
            if (match) {
                int x = 0, y = 0;
                Window child = 0;
                XTranslateCoordinates(display, window, DefaultRootWindow(display), attributes.width / 2,
                                      attributes.height / 2, &x, &y, &child);
                return std::make_pair(x, y);
            }
        }
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (XQueryTree(display, window, &root, &parent, &children, &count)) {
            pending.insert(pending.end(), children, children + count);
            XFree(children);
        }
    }
    return std::nullopt;
}

class KavoRemoteTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "needs an X server (run through tests/x11/with-desktop.sh)";
        }
        char name[] = "/tmp/velora-kavoremote-XXXXXX";
        m_dir = mkdtemp(name);
        fs::copy(VELORA_SUITE_DIR, m_dir / "suite", fs::copy_options::recursive);
        // A fresh start: no settings and no log left by earlier runs from the build folder.
        fs::remove(m_dir / "suite" / "velora.ini");
        fs::remove(m_dir / "suite" / "remote.log");
        fs::create_directories(m_dir / "runtime");
        fs::permissions(m_dir / "runtime", fs::perms::owner_all);
        setenv("XDG_RUNTIME_DIR", (m_dir / "runtime").c_str(), 1);
        setenv("VELORA_CARD", (m_dir / "card").c_str(), 1);
        // The programs find their driver library beside them through their RUNPATH; a
        // sanitizer build's dlopen does not honour it, so name the folder here as well.
        setenv("LD_LIBRARY_PATH", (m_dir / "suite").c_str(), 1);
        m_state = virtualcard::CardStateFile::open((m_dir / "card").string());
        ASSERT_NE(m_state, nullptr);
        m_chip.emplace(m_state->layout());
        m_chip->reset();
    }
    void TearDown() override
    {
        if (m_daemon > 0) {
            kill(m_daemon, SIGKILL);
            waitpid(m_daemon, nullptr, 0);
        }
        fs::remove_all(m_dir);
    }

    std::uint32_t gpioLow() const { return m_state->layout().registers[bt::GPIO_DATA / 4] & 0xFFu; }

    bool waitForGpioLow(std::uint32_t value, std::chrono::milliseconds timeout) const
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (gpioLow() == value) {
                return true;
            }
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    // A key on the remote through the card tool, then the pause after which another key counts.
    void press(const char* key)
    {
        ASSERT_EQ(waitExit(spawn(m_dir / "suite" / "velora-card", {"press", key}), 5s), 0) << key;
        std::this_thread::sleep_for(250ms);
    }

    fs::path m_dir;
    std::unique_ptr<virtualcard::CardStateFile> m_state;
    std::optional<virtualcard::VirtualChip> m_chip;
    pid_t m_daemon = -1;
};

TEST_F(KavoRemoteTest, RemoteKeysIconClickAndTermination)
{
    test::XTestWindow window("Velora Key Target");
    ASSERT_TRUE(window.ok());
    ASSERT_TRUE(waitForNotificationArea(window.display(), 10s));
    m_daemon = spawn(m_dir / "suite" / "KavoRemote");
    ASSERT_TRUE(waitForGpioLow(0xFF, 15s)) << "the receiver was never armed";
    EXPECT_EQ(m_chip->mappings(), 1u);
    std::this_thread::sleep_for(300ms);

    // A second start ends at once and leaves the first one running.
    EXPECT_EQ(waitExit(spawn(m_dir / "suite" / "KavoRemote"), 10s), 0);
    EXPECT_EQ(waitpid(m_daemon, nullptr, WNOHANG), 0);
    EXPECT_EQ(gpioLow(), 0xFFu);

    window.focus();
    window.drain();
    press("Down");
    press("Enter");
    press("ChannelUp");
    press("Cancel");
    EXPECT_EQ(window.keyPresses(500ms), (std::vector<KeySym>{XK_Down, XK_Return, XK_Prior, XK_BackSpace}));

    // A left click on the icon: mouse mode, and the digits move the pointer by the step (4).
    // The icon is docked into the notification area asynchronously: give it a moment.
    std::optional<std::pair<int, int>> icon;
    for (int attempt = 0; attempt < 300 && !icon; ++attempt) {
        icon = trayIconCentre(window.display(), "KavoRemote");
        if (!icon) {
            std::this_thread::sleep_for(50ms);
        }
    }
    ASSERT_TRUE(icon.has_value()) << "no notification-area icon";
    XTestFakeMotionEvent(window.display(), -1, icon->first, icon->second, CurrentTime);
    XTestFakeButtonEvent(window.display(), 1, True, CurrentTime);
    XTestFakeButtonEvent(window.display(), 1, False, CurrentTime);
    XSync(window.display(), False);
    std::this_thread::sleep_for(300ms);
    window.warpPointer(600, 500);
    press("6");
    press("8");
    EXPECT_EQ(window.pointer(), std::make_pair(604, 504));

    // A code the remote does not send is logged, in the program's own folder.
    press("0x07");
    std::ifstream log(m_dir / "suite" / "remote.log");
    std::string line;
    std::getline(log, line);
    EXPECT_EQ(line, "    RK_MAKE(0x07, RK_UNKNOWN),");

    // SIGTERM: ends as Exit does, without a question; the receiver is disarmed and the card let go.
    kill(m_daemon, SIGTERM);
    EXPECT_EQ(waitExit(m_daemon, 10s), 0);
    m_daemon = -1;
    EXPECT_EQ(gpioLow(), 0u);
    EXPECT_EQ(m_chip->mappings(), 0u);
}

TEST_F(KavoRemoteTest, SystemWideInstallKeepsSettingsAndLogPerUser)
{
    // A suite folder the user cannot write to: settings and log go to the per-user folder,
    // while the data files (default.mac) are still read from the program's folder.
    const fs::path config = m_dir / "config";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    fs::create_directories(config / "velora");
    std::ofstream(config / "velora" / "velora.ini") << "[KavoRemote]\nInitialMode=1\nMouseSpeed=9\n";
    fs::permissions(m_dir / "suite", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                         fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);

    test::XTestWindow window("Velora Key Target");
    ASSERT_TRUE(window.ok());
    m_daemon = spawn(m_dir / "suite" / "KavoRemote");
    ASSERT_TRUE(waitForGpioLow(0xFF, 15s));
    std::this_thread::sleep_for(300ms);
    // Mouse mode with step 9, from the per-user velora.ini.
    window.warpPointer(600, 500);
    press("6");
    EXPECT_EQ(window.pointer(), std::make_pair(609, 500));
    // Back to keyboard mode: default.mac beside the program binds Down.
    press("MouseMode");
    window.focus();
    window.drain();
    press("Down");
    EXPECT_EQ(window.keyPresses(500ms), std::vector<KeySym>{XK_Down});
    press("0x07");
    kill(m_daemon, SIGTERM);
    EXPECT_EQ(waitExit(m_daemon, 10s), 0);
    m_daemon = -1;
    EXPECT_TRUE(fs::exists(config / "velora" / "remote.log"));
    EXPECT_FALSE(fs::exists(m_dir / "suite" / "remote.log"));
    fs::permissions(m_dir / "suite", fs::perms::owner_all);
}

} // namespace
} // namespace velora
