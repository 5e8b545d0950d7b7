// The drive list from the kernel's table of mounts (/proc/self/mountinfo). The parsing and
// the choice of which mounts are drives are here, apart from the system calls, so that tests
// can hand in a mount table of their own.
#pragma once

#include "platform/MountTable.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velora::platform {

// What the choice needs to know about the system beyond the table's text.
struct MountProbe
{
    // Whether a mount point is a directory (files can be mounted over files too).
    std::function<bool(const std::string& mountPoint)> isDirectory;
    // Whether a device node such as /dev/sdb1 belongs to a disk the kernel marks removable.
    std::function<bool(const std::string& device)> isRemovableDevice;
};

// The drives of a mountinfo text: "/" always counts as a fixed disk; optical drives
// (/dev/sr*, iso9660, udf) as CD-ROM drives; local disk file systems on a block device that
// is not removable as fixed disks; everything else (network shares, tmpfs, proc, overlays
// other than "/", ...) is left out. A mount point mounted over keeps only the latest mount.
// Sorted by mount point in byte order. Lines that do not parse are skipped.
std::vector<Drive> drivesFromMountInfo(std::string_view mountInfo, const MountProbe& probe);

} // namespace velora::platform
