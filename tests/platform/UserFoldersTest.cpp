#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <stdlib.h>

#include "platform/UserFolders.h"
#include "tests/support/TempDir.h"

namespace velora::platform {
namespace {

namespace fs = std::filesystem;

TEST(UserFolders, SettingsStayBesideTheProgramUnlessItsFolderIsNotWritable)
{
    const test::TempDir temp;
    const fs::path& dir = temp.path();
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    EXPECT_EQ(userConfigFolder(), (dir / "config" / "velora").string());

    fs::create_directories(dir / "suite");
    EXPECT_EQ(settingsFolder((dir / "suite").string()), (dir / "suite").string());
    EXPECT_FALSE(fs::exists(dir / "config"));

    // A folder that cannot be written (here: one that is a file, which stops root too, and
    // one that is missing) sends settings to the per-user folder, created on the way.
    std::ofstream(dir / "file") << "x";
    EXPECT_EQ(settingsFolder((dir / "file").string()), (dir / "config" / "velora").string());
    EXPECT_TRUE(fs::is_directory(dir / "config" / "velora"));
    EXPECT_EQ(settingsFolder((dir / "missing").string()), (dir / "config" / "velora").string());
    // A folder marked read-only, as a system-wide install is (for root as well).
    fs::permissions(dir / "suite", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(settingsFolder((dir / "suite").string()), (dir / "config" / "velora").string());
    fs::permissions(dir / "suite", fs::perms::owner_all);
    // A relative XDG_CONFIG_HOME is ignored in favour of the home folder.
    setenv("XDG_CONFIG_HOME", "relative", 1);
    setenv("HOME", dir.c_str(), 1);
    EXPECT_EQ(userConfigFolder(), (dir / ".config" / "velora").string());
}

TEST(UserFolders, SystemWideInstallKeepsEachUsersFilesInTheXdgFolders)
{
    const test::TempDir temp;
    const fs::path& dir = temp.path();
    setenv("HOME", (dir / "home").c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_STATE_HOME");
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(userStateFolder(), (dir / "home/.local/state/velora").string());
    EXPECT_EQ(userDataFolder(), (dir / "home/.local/share/velora").string());
    setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);
    setenv("XDG_DATA_HOME", "relative", 1); // ignored, as a relative XDG_CONFIG_HOME is
    EXPECT_EQ(userStateFolder(), (dir / "state/velora").string());
    EXPECT_EQ(userDataFolder(), (dir / "home/.local/share/velora").string());

    // A writable suite folder without "site": everything beside the programs, nothing copied.
    const fs::path suite = dir / "suite";
    fs::create_directories(suite);
    EXPECT_FALSE(isSystemWideInstall(suite.string()));
    EXPECT_EQ(logFolder(suite.string()), suite.string());
    copySiteDefaults(suite.string());
    EXPECT_FALSE(fs::exists(dir / "home"));

    // With "site" (a link to the site's folder, as installed), the suite folder is not written
    // into even when it could be: settings per user, the log in the state folder.
    temp.write("etc/velora.ini", "[TV]\nTuner=Site\n");
    temp.write("etc/default.mac", "Default\nEnd\n");
    fs::create_directory_symlink(dir / "etc", suite / "site");
    EXPECT_TRUE(isSystemWideInstall(suite.string()));
    EXPECT_EQ(settingsFolder(suite.string()), (dir / "home/.config/velora").string());
    EXPECT_EQ(logFolder(suite.string()), (dir / "state/velora").string());
    EXPECT_TRUE(fs::is_directory(dir / "state/velora"));

    // The first start copies what the site has (no fav.dat here) and keeps what the user has.
    temp.write("home/.config/velora/default.mac", "Default\nMute: [VK_F3]\nEnd\n");
    copySiteDefaults(suite.string());
    EXPECT_EQ(test::readFile(dir / "home/.config/velora/velora.ini"), "[TV]\nTuner=Site\n");
    EXPECT_EQ(test::readFile(dir / "home/.config/velora/default.mac"), "Default\nMute: [VK_F3]\nEnd\n");
    EXPECT_FALSE(fs::exists(dir / "home/.config/velora/fav.dat"));
    // Later starts leave the user's files alone, a later site change included; only what is
    // still missing comes, and no temporary file stays behind.
    temp.write("home/.config/velora/velora.ini", "[TV]\nTuner=Mine\n");
    temp.write("etc/velora.ini", "[TV]\nTuner=Changed\n");
    temp.write("etc/fav.dat", "Music,/srv/music\n");
    copySiteDefaults(suite.string());
    EXPECT_EQ(test::readFile(dir / "home/.config/velora/velora.ini"), "[TV]\nTuner=Mine\n");
    EXPECT_EQ(test::readFile(dir / "home/.config/velora/fav.dat"), "Music,/srv/music\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "home/.config/velora"), fs::directory_iterator()), 3);
    unsetenv("XDG_STATE_HOME");
    unsetenv("XDG_DATA_HOME");
}

} // namespace
} // namespace velora::platform
