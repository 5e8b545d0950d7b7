#include "platform/linux/LinuxMountTable.h"

#include "platform/linux/FileIo.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <iterator>
#include <map>
#include <optional>

#include <sys/stat.h>

namespace velora::platform {
namespace {

// The kernel writes space, tab, newline and backslash in paths as three octal digits.
std::string unescape(std::string_view field)
{
    std::string out;
    out.reserve(field.size());
    const auto octal = [](char c) { return c >= '0' && c <= '7'; };
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && octal(field[i + 1]) && octal(field[i + 2]) &&
            octal(field[i + 3])) {
            out.push_back(
                static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
            i += 3;
            continue;
        }
        out.push_back(field[i]);
    }
    return out;
}

std::vector<std::string_view> splitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    while (pos < line.size()) {
        const std::size_t start = line.find_first_not_of(' ', pos);
        if (start == std::string_view::npos) {
            break;
        }
        std::size_t end = line.find(' ', start);
        if (end == std::string_view::npos) {
            end = line.size();
        }
        fields.push_back(line.substr(start, end - start));
        pos = end;
    }
    return fields;
}

bool isDiskFileSystem(std::string_view type)
{
    static constexpr std::array<std::string_view, 19> kTypes = {
        "ext2", "ext3", "ext4",  "xfs",   "btrfs", "f2fs",  "jfs",     "reiserfs", "nilfs2", "bcachefs",
        "zfs",  "vfat", "msdos", "exfat", "ntfs",  "ntfs3", "fuseblk", "hfs",      "hfsplus"};
    return std::find(kTypes.begin(), kTypes.end(), type) != kTypes.end();
}

} // namespace

std::vector<Drive> drivesFromMountInfo(std::string_view mountInfo, const MountProbe& probe)
{
    // Keyed by mount point: a later line for the same point is a mount over the earlier one.
    std::map<std::string, DriveType> found;
    std::size_t pos = 0;
    while (pos < mountInfo.size()) {
        std::size_t end = mountInfo.find('\n', pos);
        if (end == std::string_view::npos) {
            end = mountInfo.size();
        }
        const std::vector<std::string_view> fields = splitFields(mountInfo.substr(pos, end - pos));
        pos = end + 1;
        // id parent major:minor root mount-point options [optional...] - type source options
        const auto dash = std::find(fields.begin(), fields.end(), std::string_view("-"));
        if (fields.size() < 5 || dash == fields.end() || std::distance(fields.begin(), dash) < 6 ||
            std::distance(dash, fields.end()) < 3) {
            continue;
        }
        const std::string mountPoint = unescape(fields[4]);
        const std::string_view type = dash[1];
        const std::string source = unescape(dash[2]);
        if (mountPoint.empty() || mountPoint.front() != '/') {
            continue;
        }
        std::optional<DriveType> drive;
        if (mountPoint == "/") {
            drive = DriveType::FixedDisk;
        } else if (source.rfind("/dev/sr", 0) == 0 || type == "iso9660" || type == "udf") {
            drive = DriveType::CdRom;
        } else if (isDiskFileSystem(type) && (source.rfind("/dev/", 0) == 0 || type == "zfs") &&
                   !(probe.isRemovableDevice && probe.isRemovableDevice(source))) {
            drive = DriveType::FixedDisk;
        }
        if (drive && mountPoint != "/" && probe.isDirectory && !probe.isDirectory(mountPoint)) {
            drive.reset();
        }
        if (drive) {
            found[mountPoint] = *drive;
        } else {
            found.erase(mountPoint);
        }
    }
    std::vector<Drive> drives;
    drives.reserve(found.size());
    for (const auto& [mountPoint, type] : found) {
        drives.push_back(Drive{mountPoint, type});
    }
    return drives;
}

namespace {

// Far beyond any real table (a line is about 100 bytes), yet a bound on what a read holds.
constexpr std::size_t kMaxMountInfo = 64u << 20;
// A sysfs flag file: "0" or "1" and a line end.
constexpr std::size_t kMaxFlagFile = 64;

// The kernel's removable flag of the disk that holds a device node; a partition's flag is
// its disk's, one level up in sysfs.
bool isRemovableDevice(const std::string& device)
{
    char resolved[PATH_MAX];
    if (realpath(device.c_str(), resolved) == nullptr) {
        return false;
    }
    const std::string node(resolved);
    const std::string name = node.substr(node.rfind('/') + 1);
    char sysPath[PATH_MAX];
    if (name.empty() || realpath(("/sys/class/block/" + name).c_str(), sysPath) == nullptr) {
        return false;
    }
    const std::string disk(sysPath);
    std::optional<std::string> flag = posix::readRegularFile(disk + "/removable", kMaxFlagFile);
    if (!flag) {
        flag = posix::readRegularFile(disk.substr(0, disk.rfind('/')) + "/removable", kMaxFlagFile);
    }
    return flag && !flag->empty() && (*flag)[0] == '1';
}

class LinuxMountTable final : public MountTable
{
public:
    std::vector<Drive> drives() override
    {
        const std::optional<std::string> text = posix::readRegularFile("/proc/self/mountinfo", kMaxMountInfo);
        if (!text) {
            return {};
        }
        MountProbe probe;
        probe.isDirectory = [](const std::string& path) {
            struct stat info
            {};
            return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        };
        probe.isRemovableDevice = isRemovableDevice;
        return drivesFromMountInfo(*text, probe);
    }
};

} // namespace

MountTable& systemMountTable()
{
    static LinuxMountTable table;
    return table;
}

} // namespace velora::platform
