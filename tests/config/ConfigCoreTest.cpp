// The settings tool's pieces without a dialog: list semantics, data file names, where
// velora.ini lives, and the Linux sources of the data folders and capture drivers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <linux/videodev2.h>

#include "config/ChoiceList.h"
#include "config/DataNames.h"
#include "config/SettingsForm.h"
#include "config/linux/LinuxDataFolders.h"
#include "config/linux/V4l2CaptureDrivers.h"
#include "tests/drivers/TempDir.h"

namespace velora::config {
namespace {

std::string joined(const ChoiceList& list)
{
    std::string text;
    for (const std::string& line : list.lines()) {
        text += (text.empty() ? "" : "|") + line;
    }
    return text;
}

TEST(ChoiceList, SortsIgnoringCaseAndSelectsByPrefix)
{
    ChoiceList list;
    for (const char* line : {"tuner", "Beta", "alpha", "TUNER", "Alpha", "_x"}) {
        list.addSorted(line);
    }
    // Equal lines stay in the order they came; "_" sorts before the letters.
    EXPECT_EQ("_x|alpha|Alpha|Beta|tuner|TUNER", joined(list));

    EXPECT_TRUE(list.selectPrefix("TUN"));
    EXPECT_EQ(4, list.selection());
    // No line begins with the text: the selection stays where it was.
    EXPECT_FALSE(list.selectPrefix("tunerx"));
    EXPECT_EQ(4, list.selection());
    // A line added before the selected one moves the selection along with its line.
    list.addSorted("b");
    EXPECT_EQ(5, list.selection());
    EXPECT_EQ("tuner", *list.selectedText());

    EXPECT_EQ(1, list.findExact("ALPHA"));
    EXPECT_EQ(-1, list.findExact("alph"));

    list.select(list.size());
    EXPECT_EQ(-1, list.selection());
    EXPECT_EQ(nullptr, list.selectedText());
    list.select(-2);
    EXPECT_EQ(-1, list.selection());
}

TEST(DataNames, CutAtTheFirstDotAfterLeadingDots)
{
    EXPECT_EQ("TEMIC_PAL_BG", dataListName("TEMIC_PAL_BG.tun", ".tun"));
    EXPECT_EQ("PAL", dataListName("PAL.BG.tun", ".tun"));
    EXPECT_EQ(".x", dataListName(".x.crd", ".crd"));
    EXPECT_EQ("..y", dataListName("..y.z.crd", ".crd"));
    EXPECT_EQ("Deutsch", dataListName("Deutsch.LNG", ".lng"));
    EXPECT_EQ(std::nullopt, dataListName("Default.tun.bak", ".tun"));
    EXPECT_EQ(std::nullopt, dataListName("Default.tunx", ".tun"));
    EXPECT_EQ(std::nullopt, dataListName("tun", ".tun"));
}

TEST(LocateIniFile, BesideTheProgramOrPerUser)
{
    EXPECT_EQ("/opt/velora/velora.ini", LocateIniFile("/opt/velora", true));
    EXPECT_EQ("/velora.ini", LocateIniFile("/", true));
    // A bare name: the profile module keeps it in the user's configuration folder.
    EXPECT_EQ("velora.ini", LocateIniFile("/opt/velora", false));
    EXPECT_EQ("velora.ini", LocateIniFile("", true));
}

TEST(LinuxDataFolders, FindsTheFolderIgnoringCaseAndListsRegularFiles)
{
    testing::TempDir dir;
    ASSERT_TRUE(dir.valid());
    namespace fs = std::filesystem;
    fs::create_directories(dir.file("Tuners/sub.tun"));
    fs::create_directories(dir.file("tuNERS"));
    std::ofstream(dir.file("Tuners/A.tun")) << "x";
    std::ofstream(dir.file("Tuners/.hidden.tun")) << "x";
    std::ofstream(dir.file("tuNERS/other.tun")) << "x";
    fs::create_symlink("A.tun", dir.file("Tuners/Link.tun"));
    fs::create_symlink("missing.tun", dir.file("Tuners/Dangling.tun"));
    std::ofstream(dir.file("cards")) << "a file, not a folder";
    fs::create_directories(dir.file("Cards"));
    std::ofstream(dir.file("Cards/Generic.crd")) << "x";

    LinuxDataFolders folders(dir.file(""));
    auto names = folders.fileNames("tuners");
    std::sort(names.begin(), names.end());
    // Of "Tuners" and "tuNERS", the first in byte order; folders and dangling links are no files.
    EXPECT_EQ((std::vector<std::string>{".hidden.tun", "A.tun", "Link.tun"}), names);
    EXPECT_EQ((std::vector<std::string>{"other.tun"}), folders.fileNames("tuNERS"));
    EXPECT_EQ((std::vector<std::string>{"Generic.crd"}), folders.fileNames("cards"));
    EXPECT_TRUE(folders.fileNames("Languages").empty());
}

TEST(V4l2CaptureDrivers, ListsDevicesThatCaptureVideo)
{
    v4l2_capability caps{};
    std::snprintf(reinterpret_cast<char*>(caps.card), sizeof caps.card, "BT878 video (Hauppauge)");
    caps.capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
    EXPECT_EQ("BT878 video (Hauppauge)", v4l2CaptureDescription(caps));

    // With per-node capabilities, the node's own count: a camera's metadata node is left out
    // even though its driver captures video on another node.
    caps.capabilities |= V4L2_CAP_DEVICE_CAPS;
    caps.device_caps = V4L2_CAP_META_CAPTURE;
    EXPECT_EQ(std::nullopt, v4l2CaptureDescription(caps));
    caps.device_caps = V4L2_CAP_VIDEO_CAPTURE;
    EXPECT_TRUE(v4l2CaptureDescription(caps).has_value());

    caps.capabilities = V4L2_CAP_VIDEO_OUTPUT;
    EXPECT_EQ(std::nullopt, v4l2CaptureDescription(caps));

    // A card text that fills its 32 bytes has no terminator.
    caps.capabilities = V4L2_CAP_VIDEO_CAPTURE;
    std::memset(caps.card, 'A', sizeof caps.card);
    EXPECT_EQ(std::string(32, 'A'), v4l2CaptureDescription(caps));

    // Missing devices and files that are no V4L2 devices give nothing.
    testing::TempDir dir;
    ASSERT_TRUE(dir.valid());
    std::ofstream(dir.file("video3")) << "not a device";
    V4l2CaptureDrivers drivers(dir.file("video"));
    EXPECT_EQ(std::nullopt, drivers.description(0));
    EXPECT_EQ(std::nullopt, drivers.description(3));
    EXPECT_EQ(std::nullopt, drivers.description(10));
}

} // namespace
} // namespace velora::config
