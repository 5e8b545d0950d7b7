#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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

} // namespace
} // namespace velora::platform
