#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>

#include "platform/ExecutablePath.h"
#include "platform/FileSystem.h"
#include "tests/support/CurrentFolder.h"
#include "tests/support/TempDir.h"

namespace velora::platform {
namespace {

namespace fs = std::filesystem;

// A temporary folder that is the current one while it lives.
struct Folder : test::TempDir
{
    test::CurrentFolder here{path()};
};

TEST(LinuxFileSystem, FindsDataFilesWhateverTheCaseOfFolderAndExtension)
{
    Folder folder;
    folder.write("tuners/TEMIC_PAL_BG.TUN", "x");
    folder.write("Cards/Generic.crd", "y");
    FileSystem& files = systemFileSystem();
    EXPECT_EQ(files.findIgnoringCase("Tuners/TEMIC_PAL_BG.tun"), "tuners/TEMIC_PAL_BG.TUN");
    EXPECT_EQ(files.findIgnoringCase("Tuners/temic_pal_bg.tun"), "tuners/TEMIC_PAL_BG.TUN");
    // An exact match is taken as it is, without a search.
    EXPECT_EQ(files.findIgnoringCase("Cards/Generic.crd"), "Cards/Generic.crd");
    EXPECT_EQ(files.findIgnoringCase("CARDS/GENERIC.CRD"), "Cards/Generic.crd");
    EXPECT_EQ(files.findIgnoringCase("./cards//generic.crd"), "./Cards/Generic.crd");
    const std::string absolute = (folder / "TUNERS/temic_pal_bg.tun").string();
    EXPECT_EQ(files.findIgnoringCase(absolute), (folder / "tuners/TEMIC_PAL_BG.TUN").string());
    EXPECT_FALSE(files.findIgnoringCase("Tuners/Missing.tun"));
    EXPECT_FALSE(files.findIgnoringCase("Nowhere/Generic.crd"));
    EXPECT_FALSE(files.findIgnoringCase(""));
}

TEST(LinuxFileSystem, ReadsTextModeAndOnlyRegularFiles)
{
    Folder folder;
    folder.write("windows.txt", "a=1\r\nb=2\r\n\rc\r\r\n");
    FileSystem& files = systemFileSystem();
    // A CR before LF goes; a lone CR stays.
    EXPECT_EQ(files.readText("windows.txt"), std::string("a=1\nb=2\n\rc\r\n"));
    EXPECT_FALSE(files.readText("missing.txt"));
    EXPECT_FALSE(files.readText("."));
    ASSERT_EQ(mkfifo("pipe", 0600), 0);
    EXPECT_FALSE(files.readText("pipe")); // must not block
}

TEST(LinuxExecutablePath, NamesThisProgramAndItsFolder)
{
    const std::string path = executablePath();
    EXPECT_EQ(fs::path(path).filename(), "LinuxFileSystemTest");
    EXPECT_EQ(executableDirectory(), fs::path(path).parent_path().string());
    EXPECT_TRUE(fs::equivalent(path, "/proc/self/exe"));
}

} // namespace
} // namespace velora::platform
