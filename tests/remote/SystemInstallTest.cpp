// The suite folder as a distribution package installs it: marked by "site", a link to the
// folder of the site's defaults, with no settings of its own. Each user's files go to the XDG
// folders below the user's home: the site's defaults are copied on the first start, the log
// goes to the state folder, the user's own macro files and descriptions are found in the data
// folder after the suite folder's, and nothing is written into the suite folder. The desktop
// entries' StartupWMClass names are the classes the programs give their windows.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <X11/Xutil.h>
#include <X11/keysym.h>

#include "tests/support/KavoRemoteRun.h"
#include "tests/support/WaitUntil.h"
#include "tests/support/XDisplay.h"
#include "tests/support/XTestWindow.h"

namespace velora {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::waitUntil;

class SystemInstallTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_suite.valid());
        // The site's defaults live outside the suite folder, which only links to them.
        fs::create_directories(site());
        for (const char* file : {"default.mac", "fav.dat"}) {
            fs::rename(m_suite.suite() / file, site() / file);
        }
        std::ofstream(site() / "velora.ini") << "[TV]\nTuner=MyTuner\nCard=Generic\n[KavoRemote]\nMacroPath=mine.mac\n";
        fs::create_directory_symlink(site(), m_suite.suite() / "site");
        // A user with a home and nothing else: the XDG folders are the defaults below it.
        m_suite.environment()["HOME"] = home().string();
        for (const char* variable : {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_DATA_HOME"}) {
            m_suite.environment()[variable] = std::nullopt;
        }
        ASSERT_TRUE(m_remote.openCard());
        m_suiteFiles = listing(m_suite.suite());
    }

    fs::path site() const { return m_suite.root() / "etc-velora"; }
    fs::path home() const { return m_suite.root() / "home"; }
    fs::path userData() const { return home() / ".local/share/velora"; }

    static std::vector<std::string> listing(const fs::path& folder)
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            names.push_back(entry.path().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    void press(const char* key) const { m_remote.press(key); }

    test::SuiteCopy m_suite;
    test::KavoRemoteRun m_remote{m_suite};
    std::vector<std::string> m_suiteFiles;
};

// WM_CLASS class of the first window of that class, or empty.
std::string windowClass(Display* display, const char* name)
{
    const Window window = test::findWindowByClass(display, name);
    XClassHint hint{};
    if (window == 0 || XGetClassHint(display, window, &hint) == 0) {
        return {};
    }
    std::string result = hint.res_class != nullptr ? hint.res_class : "";
    XFree(hint.res_name);
    XFree(hint.res_class);
    return result;
}

TEST_F(SystemInstallTest, KavoRemoteKeepsEachUsersFilesInTheXdgFolders)
{
    if (getenv("DISPLAY") == nullptr) {
        GTEST_SKIP() << "needs an X server (run through tests/support/with-desktop.sh)";
    }
    // The user's own macro file, named by the site's velora.ini, in the user's data folder.
    fs::create_directories(userData());
    std::ofstream(userData() / "mine.mac")
        << "Default\nDown: [VK_UP]\nFullScreen: &KavoShell&\nEsc: [VK_ESCAPE]\nEnd\n";
    test::XTestWindow window("Velora Key Target");
    ASSERT_TRUE(window.ok());
    m_remote.start();
    ASSERT_TRUE(m_remote.armed());

    // The first start copied the site's defaults for the user.
    for (const char* file : {"velora.ini", "default.mac", "fav.dat"}) {
        EXPECT_EQ(test::readFile(home() / ".config/velora" / file), test::readFile(site() / file)) << file;
    }
    window.focus();
    window.drain();
    press("Down");
    EXPECT_EQ(window.keyPresses(500ms), std::vector<KeySym>{XK_Up});
    press("0x07");
    EXPECT_EQ(test::readFile(home() / ".local/state/velora/remote.log"), "    RK_MAKE(0x07, RK_UNKNOWN),\n");
    // The single-instance socket is in the user's runtime folder.
    bool socket = false;
    for (const auto& entry : fs::directory_iterator(m_suite.runtimeDir())) {
        socket =
            socket || (entry.is_socket() && entry.path().filename().string().find("KavoRemote") != std::string::npos);
    }
    EXPECT_TRUE(socket);

    // KavoShell, started from the suite folder by a key, gives its window the class its
    // desktop entry names.
    press("FullScreen");
    test::DisplayPtr display = test::openDisplay();
    ASSERT_TRUE(display);
    EXPECT_TRUE(waitUntil([&] { return !windowClass(display.get(), "KAVOSHELL").empty(); }, 15s));
    EXPECT_EQ(windowClass(display.get(), "KAVOSHELL"), "KAVOSHELL");
    // The shell takes the focus once its window is up; an Esc that came too early is sent again.
    const auto shellGone = [&] { return windowClass(display.get(), "KAVOSHELL").empty(); };
    bool closed = false;
    for (int attempt = 0; attempt < 3 && !closed; ++attempt) {
        std::this_thread::sleep_for(1s);
        press("Esc");
        closed = waitUntil(shellGone, 5s);
    }
    EXPECT_TRUE(closed);
    // And so do the settings tool and the virtual remote.
    for (const char* program : {"VeloraConfig", "velora-remote"}) {
        test::Process started = m_suite.start(program);
        EXPECT_TRUE(waitUntil([&] { return !windowClass(display.get(), program).empty(); }, 15s)) << program;
        EXPECT_EQ(windowClass(display.get(), program), program);
        started.signal(SIGTERM);
        started.waitExit(10s);
    }
    m_remote.endBySigterm();
    // Nothing was written into the suite folder.
    EXPECT_EQ(listing(m_suite.suite()), m_suiteFiles);
}

TEST_F(SystemInstallTest, TheTunerLibraryFindsDescriptionsInTheSuiteFolderThenTheUsers)
{
    // The viewer runs in a folder of its own; the tuner "MyTuner" is the user's, the card
    // "Generic" the suite's.
    fs::create_directories(userData() / "Tuners");
    std::ofstream(userData() / "Tuners/MyTuner.tun")
        << "I2CAddress=0xc0\nVHFLow=0x8e08\nVHFHigh=0x8e04\nUHF=0x8e01\nThreshold1=14025\nThreshold2=46325\n";
    const fs::path viewer = m_suite.root() / "viewer";
    fs::create_directories(viewer);
    const test::ProgramOutput tuned =
        test::runCapturing(m_suite.program("velora-tune").string(),
                           {"--dir", viewer.string(), "--ini", (site() / "velora.ini").string(), "--mhz", "55.25"},
                           m_suite.environment(), 30s);
    EXPECT_EQ(tuned.status, 0) << tuned.err;
    EXPECT_EQ(tuned.err.find("Cannot read"), std::string::npos) << tuned.err;
    const test::ProgramOutput status =
        test::runCapturing(m_suite.program("velora-card").string(), {"status"}, m_suite.environment(), 10s);
    EXPECT_NE(status.out.find("I2C address 0xC0, control 0x8E, band 0x08"), std::string::npos) << status.out;
}

} // namespace
} // namespace velora
