// The daemon's engine telling what each key did, taking window classes into account, noting a
// macro file's skipped lines in the log whatever Debug says, and reloading a changed file.
#include <gtest/gtest.h>

#include <map>

#include "tests/remote/DaemonRig.h"

namespace velora::remote {
namespace {

// Watches that the test fires by hand, as the platform's watch does once a change settled.
class FakeFileWatches final : public platform::FileWatchService
{
public:
    struct Watch final : platform::FileWatch
    {
        explicit Watch(FakeFileWatches& watches) : owner(watches) {}
        ~Watch() override { owner.changed = nullptr; }
        FakeFileWatches& owner;
    };
    std::unique_ptr<platform::FileWatch> watchFile(const std::string& path, std::uint32_t settleMs, std::uint32_t,
                                                   std::function<void()> onChange) override
    {
        watched.push_back(path);
        settle = settleMs;
        changed = std::move(onChange);
        return std::make_unique<Watch>(*this);
    }
    std::vector<std::string> watched;
    std::uint32_t settle = 0;
    std::function<void()> changed;
};

TEST(RemoteFeedback, EachKeySaysWhatItDid)
{
    DaemonRig rig("[KavoRemote]\nDebug=1\n");
    rig.files.put("default.mac",
                  "Default\nDown: [VK_DOWN]\nChannelUp: [VK_PRIOR]\nFullScreen: &/opt/velora/KavoShell -f&\n"
                  "Enter: \"Hello\"[VK_CONTROL VK_RETURN] %1\nMute: \n End\n"
                  "WhenClass \"mpv\"\nDown: \"j\"\nEnd\n");
    RemoteDaemon& daemon = rig.make();
    std::vector<std::string> shown;
    daemon.engine().setFeedbackListener([&shown](const std::string& text) { shown.push_back(text); });
    RemoteEngine& engine = daemon.engine();
    EXPECT_TRUE(engine.feedbackOn()); // on by default
    rig.log.clear();
    engine.DispatchKey(keys::Down);
    engine.DispatchKey(keys::ChannelUp);
    engine.DispatchKey(keys::FullScreen);
    engine.DispatchKey(keys::Enter);
    engine.DispatchKey(keys::Mute);
    engine.DispatchKey(keys::Power);
    // The window class picks the WhenClass scope; the title is never read for it.
    rig.desktop.windowClass = {"mpv", "mpv"};
    engine.DispatchKey(keys::Down);
    EXPECT_EQ(rig.desktop.titleReads, 0);
    engine.DispatchKey(keys::MouseMode);
    engine.DispatchKey(keys::Digit1 + 4);
    engine.DispatchKey(keys::MouseMode);
    engine.receiver().DecodeCode(0x07);
    EXPECT_EQ(shown, (std::vector<std::string>{"Down: VK_DOWN", "ChannelUp: VK_PRIOR", "FullScreen: started KavoShell",
                                               "Enter: \"Hello\", VK_CONTROL+VK_RETURN, maximised", "Mute: nothing",
                                               "Power: nothing bound", "Down: \"j\"", "Mouse mode", "5: left click",
                                               "Keyboard mode", "Unknown key 0x07"}));
    EXPECT_NE(rig.log.joined().find("start /opt/velora/KavoShell -f"), std::string::npos);

    // Off: the keys still act, and nothing is shown.
    OptionsForm form = daemon.options();
    form.feedback = false;
    EXPECT_FALSE(daemon.takeOptions(form));
    rig.log.clear();
    engine.DispatchKey(keys::ChannelUp);
    EXPECT_EQ(rig.log.joined(), "+PRIOR -PRIOR");
    EXPECT_EQ(shown.size(), 11u);
}

TEST(RemoteFeedback, TheMacroFileIsWatchedReloadedWhenItChangesAndItsSkippedLinesLogged)
{
    // Debug=1 keeps the debugging log off; the notes about the file are written all the same.
    DaemonRig rig("[KavoRemote]\nDebug=1\nMacroPath=tv.mac\n");
    FakeFileWatches watches;
    rig.fileWatches = &watches;
    rig.files.put("TV.MAC", "Default\nDown: [VK_DOWN]\nDwon: [VK_UP]\nEnd\n");
    RemoteDaemon& daemon = rig.make();
    EXPECT_EQ(rig.logFile.lines(),
              std::vector<std::string>{"TV.MAC:3: unknown key name 'Dwon': the line is ignored\n"});
    EXPECT_TRUE(watches.watched.empty()) << "watched from the start on";
    ASSERT_TRUE(daemon.start());
    // The file found on disk is watched, by the name it has there.
    EXPECT_EQ(watches.watched, std::vector<std::string>{"TV.MAC"});
    EXPECT_EQ(watches.settle, RemoteDaemon::kMacroSettleMs);
    ASSERT_TRUE(watches.changed);

    // A change that settled: the new tables are in force for the next key, with one line.
    rig.files.put("TV.MAC", "Default\nDown: [VK_NEXT]\nEnd\n");
    watches.changed();
    rig.window.runPosted(); // the reload happens on the window thread
    rig.log.clear();
    daemon.engine().DispatchKey(keys::Down);
    EXPECT_EQ(rig.log.joined(), "+NEXT -NEXT");
    EXPECT_EQ(rig.logFile.lines().back(), "Reloaded key tables from 'tv.mac' after it changed\n");

    // Removed: the tables in force stay, and the log says why.
    rig.files.remove("TV.MAC");
    watches.changed();
    rig.window.runPosted();
    EXPECT_EQ(rig.logFile.lines().back(), "The macro file 'tv.mac' could not be read: the key tables in force stay\n");
    rig.log.clear();
    daemon.engine().DispatchKey(keys::Down);
    EXPECT_EQ(rig.log.joined(), "+NEXT -NEXT");

    // "Reload" with another file moves the watch there; the end of the program ends it.
    rig.files.put("other.mac", "Default\nEnd\n");
    OptionsForm form = daemon.options();
    form.macroPath = "other.mac";
    EXPECT_FALSE(daemon.reloadKeyTables(form));
    EXPECT_EQ(watches.watched.back(), "other.mac");
    daemon.shutdown();
    EXPECT_FALSE(watches.changed);
}

} // namespace
} // namespace velora::remote
