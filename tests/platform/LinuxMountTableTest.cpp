// The drive list from the kernel's table of mounts: which mounts count as drives, and of
// which kind.
#include "platform/linux/LinuxMountTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velora::platform {
namespace {

TEST(LinuxMountTable, MountInfoGivesFixedDisksAndOpticalDrivesOnce)
{
    const std::string mountInfo =
        "27 1 254:0 / / rw - ext4 /dev/vda rw\n"
        "30 27 8:17 / /media/stick rw - vfat /dev/sdb1 rw\n"             // removable disk
        "31 27 11:0 / /media/cdrom ro - iso9660 /dev/sr0 ro\n"           // optical drive
        "32 27 0:50 / /net/share rw - nfs4 server:/export rw\n"          // network
        "33 27 0:22 / /sys rw shared:7 - sysfs sysfs rw\n"               // pseudo
        "34 27 8:2 / /home rw shared:1 master:2 - xfs /dev/sda2 rw\n"    // optional fields
        "35 27 8:3 / /mnt/my\\040disk rw - ext4 /dev/sda3 rw\n"          // escaped space
        "36 27 8:2 /etc/hostname /etc/hostname rw - ext4 /dev/sda2 rw\n" // a file mounted over a file
        "37 27 0:60 / /home rw - tmpfs tmpfs rw\n"                       // /home hidden by a tmpfs
        "38 34 8:4 / /home rw - ext4 /dev/sda4 rw\n"                     // and mounted over again
        "garbage line\n";
    MountProbe probe;
    probe.isDirectory = [](const std::string& path) { return path != "/etc/hostname"; };
    probe.isRemovableDevice = [](const std::string& device) { return device == "/dev/sdb1"; };
    std::vector<std::string> found;
    for (const Drive& drive : drivesFromMountInfo(mountInfo, probe)) {
        found.push_back(drive.mountPoint + (drive.type == DriveType::CdRom ? ":cd" : ":disk"));
    }
    EXPECT_EQ(found, (std::vector<std::string>{"/:disk", "/home:disk", "/media/cdrom:cd", "/mnt/my disk:disk"}));
}

} // namespace
} // namespace velora::platform
