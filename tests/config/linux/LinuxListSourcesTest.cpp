// The Linux sources of the settings dialog's lists: the data folders on disk and the V4L2
// capture devices.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <linux/videodev2.h>

#include "config/linux/LinuxDataFolders.h"
#include "config/linux/V4l2CaptureDrivers.h"
#include "tests/support/TempDir.h"

namespace velora::config {
namespace {

TEST(LinuxDataFolders, FindsTheFolderIgnoringCaseAndListsRegularFiles)
{
    test::TempDir dir;
    ASSERT_TRUE(dir.valid());
    namespace fs = std::filesystem;
    dir.makeFolder("Tuners/sub.tun");
    dir.makeFolder("tuNERS");
    dir.write("Tuners/A.tun", "x");
    dir.write("Tuners/.hidden.tun", "x");
    dir.write("tuNERS/other.tun", "x");
    fs::create_symlink("A.tun", dir.file("Tuners/Link.tun"));
    fs::create_symlink("missing.tun", dir.file("Tuners/Dangling.tun"));
    dir.write("cards", "a file, not a folder");
    dir.makeFolder("Cards");
    dir.write("Cards/Generic.crd", "x");

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
    test::TempDir dir;
    ASSERT_TRUE(dir.valid());
    dir.write("video3", "not a device");
    V4l2CaptureDrivers drivers(dir.file("video"));
    EXPECT_EQ(std::nullopt, drivers.description(0));
    EXPECT_EQ(std::nullopt, drivers.description(3));
    EXPECT_EQ(std::nullopt, drivers.description(10));
}

} // namespace
} // namespace velora::config
