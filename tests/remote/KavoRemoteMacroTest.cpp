// KavoRemote's macro file as a user edits it while the program runs, on the virtual card and a
// desktop with a window manager: live reload (in place and by rename), the log's line for a
// misspelt key, the media keys, window-class sections, and the on-screen feedback that never
// takes a key or the focus.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <X11/XF86keysym.h>
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

constexpr const char* kFeedbackTitle = "KavoRemote key";

class KavoRemoteMacroTest : public test::KavoRemoteOnDesktop
{
protected:
    void SetUp() override { setUpWithCard(); }

    void TearDown() override
    {
        if (m_remote.process.running()) {
            m_remote.endBySigterm();
        }
    }

    fs::path macroFile() const { return m_suite.suite() / "default.mac"; }

    int logCount(const std::string& line) const
    {
        const std::string text = remoteLog();
        int count = 0;
        for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) {
            ++count;
        }
        return count;
    }
};

TEST_F(KavoRemoteMacroTest, EditsTakeEffectOnTheNextKeyAndATypoIsLoggedWithItsLine)
{
    writeMacros("Default\nDown: [VK_DOWN]\nDwon: [VK_UP]\nEnd\n");
    test::XTestWindow window("Velora Key Target");
    ASSERT_TRUE(window.ok());
    startDaemon();
    EXPECT_EQ(logCount("default.mac:3: unknown key name 'Dwon': the line is ignored\n"), 1) << remoteLog();
    window.focus();
    window.drain();
    press("Down");
    EXPECT_EQ(window.keyPresses(500ms), std::vector<KeySym>{XK_Down});

    // Saved in place, as a text editor that rewrites the file does.
    const std::string reloaded = "Reloaded key tables from 'default.mac' after it changed\n";
    writeMacros("Default\nDown: [VK_NEXT]\nEnd\n");
    ASSERT_TRUE(waitUntil([&] { return logCount(reloaded) == 1; }, 3s)) << remoteLog();
    press("Down");
    EXPECT_EQ(window.keyPresses(500ms), std::vector<KeySym>{XK_Next});

    // Saved by writing a new file and renaming it over the old one.
    std::ofstream(m_suite.suite() / ".default.mac.new") << "Default\nDown: [VK_PRIOR]\nEnd\n";
    fs::rename(m_suite.suite() / ".default.mac.new", macroFile());
    ASSERT_TRUE(waitUntil([&] { return logCount(reloaded) == 2; }, 3s)) << remoteLog();
    press("Down");
    EXPECT_EQ(window.keyPresses(500ms), std::vector<KeySym>{XK_Prior});
    EXPECT_TRUE(m_remote.process.running());
}

TEST_F(KavoRemoteMacroTest, MuteIsTheDesktopsMuteKeyAndWindowClassesPickTheirSection)
{
    // The shipped default.mac binds Mute to the media key, and a WhenClass section is added.
    std::ifstream shipped(macroFile());
    std::stringstream text;
    text << shipped.rdbuf();
    writeMacros(text.str() + "\nWhenClass \"velora-player\"\nDown: [VK_F5]\nEnd\n");
    startDaemon();
    EXPECT_EQ(remoteLog().find("default.mac:"), std::string::npos) << "the shipped file has no skipped line:\n"
                                                                   << remoteLog();
    {
        test::XTestWindow player("Velora Plain Window", "velora-player");
        ASSERT_TRUE(player.ok());
        player.focus();
        player.drain();
        press("Mute");
        press("Down");
        EXPECT_EQ(player.keyPresses(500ms), (std::vector<KeySym>{XF86XK_AudioMute, XK_F5}));
    }
    // A window of the same title without the class: the Default binding. (Made after the
    // other has gone, so that the window manager makes it the active one.)
    test::XTestWindow plain("Velora Plain Window");
    ASSERT_TRUE(plain.ok());
    plain.focus();
    plain.drain();
    press("Down");
    EXPECT_EQ(plain.keyPresses(500ms), std::vector<KeySym>{XK_Down});
}

TEST_F(KavoRemoteMacroTest, FeedbackShowsWithoutTakingTheKeyOrTheFocus)
{
    writeMacros("Default\nDown: [VK_DOWN]\nChannelUp: [VK_PRIOR]\nEnd\n");
    test::XTestWindow window("Velora Key Target");
    ASSERT_TRUE(window.ok());
    startDaemon();
    window.focus();
    window.drain();
    Display* display = window.display();
    EXPECT_EQ(test::countWindowsTitled(display, kFeedbackTitle, true), 0);
    press("Down");
    ASSERT_TRUE(waitUntil([&] { return test::countWindowsTitled(display, kFeedbackTitle, true) == 1; }, 2s));
    // While it shows, keys still arrive and the focus stays where it was.
    press("ChannelUp");
    EXPECT_EQ(test::countWindowsTitled(display, kFeedbackTitle, true), 1);
    EXPECT_EQ(test::inputFocus(display), window.id());
    EXPECT_EQ(window.keyPresses(500ms), (std::vector<KeySym>{XK_Down, XK_Prior}));
    // Gone after about a second and its fade.
    EXPECT_TRUE(waitUntil([&] { return test::countWindowsTitled(display, kFeedbackTitle, true) == 0; }, 4s));
    EXPECT_EQ(test::inputFocus(display), window.id());
}

} // namespace
} // namespace velora
