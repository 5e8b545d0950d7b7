// The drives of the machine as the media shell shows them: the mounted file systems that
// hold the user's files (fixed disks) and optical discs, each by its mount point.
//
// Threads: drives() may be called from any thread, also at the same time; each call reads
// the system's table anew and keeps nothing.
#pragma once

#include <string>
#include <vector>

namespace velora::platform {

enum class DriveType { FixedDisk, CdRom };

struct Drive
{
    std::string mountPoint; // absolute, without a trailing "/" except for the root "/"
    DriveType type = DriveType::FixedDisk;
};

class MountTable
{
public:
    virtual ~MountTable() = default;

    // The fixed disks and optical drives mounted now, sorted by mount point in byte order
    // (so "/" comes first), each mount point once. Removable disks, network shares and the
    // system's pseudo file systems are left out. Empty when the table cannot be read.
    virtual std::vector<Drive> drives() = 0;
};

// The mount table of the system this build runs on.
MountTable& systemMountTable();

} // namespace velora::platform
