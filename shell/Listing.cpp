#include "shell/Listing.h"

#include "platform/Directories.h"
#include "platform/FileSystem.h"
#include "platform/MountTable.h"
#include "platform/Profile.h"
#include "shell/FileTypes.h"
#include "shell/Names.h"

#include <algorithm>
#include <utility>

namespace velora::shell {
namespace {

constexpr std::string_view kProfileFile = "velora.ini";
constexpr std::string_view kSection = "KavoShell";
constexpr std::string_view kLastDirKey = "LastDir";
constexpr std::string_view kShowHiddenKey = "ShowHidden";
constexpr std::string_view kFavouritesFile = "fav.dat";

// A favourites line is read into 512 bytes, terminator included.
constexpr std::size_t kLineMax = 511;

// Whether mountPoint holds path: equal, or a prefix that ends at a "/" of path.
bool holds(std::string_view mountPoint, std::string_view path)
{
    if (mountPoint == "/") {
        return !path.empty() && path.front() == '/';
    }
    return path.substr(0, mountPoint.size()) == mountPoint &&
           (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

// The first two non-empty fields of a line split at ",\r\n"; fewer than two give nothing.
bool favouriteFields(std::string_view line, std::string_view& label, std::string_view& target)
{
    constexpr std::string_view kSeparators = ",\r\n";
    std::string_view fields[2];
    std::size_t found = 0;
    std::size_t pos = line.find_first_not_of(kSeparators);
    while (pos != std::string_view::npos && found < 2) {
        std::size_t end = line.find_first_of(kSeparators, pos);
        if (end == std::string_view::npos) {
            end = line.size();
        }
        fields[found++] = line.substr(pos, end - pos);
        pos = line.find_first_not_of(kSeparators, end);
    }
    label = fields[0];
    target = fields[1];
    return found == 2;
}

} // namespace

bool ListDirectory(EntryList& list, ShellSystem& system)
{
    // The list is emptied only once the first item arrives, so that a directory that cannot
    // be read leaves the previous list on screen.
    bool started = false;
    const bool listed = system.directories.listCurrentDirectory([&](std::string_view name, bool isDirectory) {
        if (!started) {
            list.clear();
            started = true;
        }
        if (name == "." || (!system.showHidden && name.starts_with('.') && name != "..")) {
            return true;
        }
        EntryKind kind = isDirectory ? EntryKind::Directory : ClassifyFile(name);
        if (kind == EntryKind::OtherFile && system.fileTypes != nullptr) {
            kind = system.fileTypes->kindOf(name);
        }
        ShellEntry* entry = list.append(kind, name, name);
        if (entry == nullptr) {
            return false; // full: the rest of the directory is not shown
        }
        if (hasNoLowerCase(name)) {
            PrettifyName(std::span<char>(entry->name, static_cast<std::size_t>(entry->nameLength)));
        }
        return true;
    });
    if (!listed || !started) {
        return false;
    }
    list.sort();
    list.showsFolder = true;
    // A folder removed right after its listing keeps the path it was entered by.
    if (std::string here = system.directories.currentDirectory(); !here.empty()) {
        list.setFolder(std::move(here));
    }
    return true;
}

void ListDrives(EntryList& list, ShellSystem& system)
{
    std::string current = system.directories.currentDirectory();
    if (current.empty()) {
        current = list.folder(); // removed since: the drive that held it
    }
    list.clear();
    list.top = 0;
    list.selected = 0;
    list.showsFolder = false;
    std::size_t bestLength = 0;
    bool matched = false;
    for (const platform::Drive& drive : system.mounts.drives()) {
        const std::string shown = drive.mountPoint == "/" ? drive.mountPoint : drive.mountPoint + "/";
        const EntryKind kind = drive.type == platform::DriveType::CdRom ? EntryKind::CdDrive : EntryKind::FixedDrive;
        if (list.append(kind, shown, drive.mountPoint) == nullptr) {
            break;
        }
        if (holds(drive.mountPoint, current) && (!matched || drive.mountPoint.size() > bestLength)) {
            matched = true;
            bestLength = drive.mountPoint.size();
            list.selected = list.count - 1;
        }
    }
}

void ListDrivesAndFavourites(EntryList& list, ShellSystem& system)
{
    ListDrives(list, system);
    auto text = system.userDirectory.empty()
                    ? std::nullopt
                    : system.files.readText(system.userDirectory + "/" + std::string(kFavouritesFile));
    if (!text) {
        text = system.files.readText(system.programDirectory.empty()
                                         ? std::string(kFavouritesFile)
                                         : system.programDirectory + "/" + std::string(kFavouritesFile));
    }
    if (text) {
        AppendFavourites(list, *text);
    }
}

void AppendFavourites(EntryList& list, std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        // One read of a line: up to and including its line feed, at most kLineMax bytes.
        std::size_t length = std::min(kLineMax, text.size() - pos);
        const std::size_t newline = text.substr(pos, length).find('\n');
        if (newline != std::string_view::npos) {
            length = newline + 1;
        }
        std::string_view line = text.substr(pos, length);
        pos += length;
        // The line is a C string: a NUL byte ends it.
        line = line.substr(0, line.find('\0'));
        std::string_view label;
        std::string_view target;
        if (!favouriteFields(line, label, target)) {
            continue;
        }
        if (list.append(EntryKind::Favourite, label, label, target) == nullptr) {
            return;
        }
    }
}

void ReadShellSettings(ShellSystem& system)
{
    system.showHidden = system.profile.readInt(kProfileFile, kSection, kShowHiddenKey, 0) != 0;
}

bool LoadLastDirectory(ShellSystem& system)
{
    const std::string last = system.profile.readString(kProfileFile, kSection, kLastDirKey, "");
    return !last.empty() && system.directories.changeDirectory(last);
}

bool SaveLastDirectory(ShellSystem& system)
{
    // A current directory that cannot be read (it was removed) keeps the stored one.
    const std::string current = system.directories.currentDirectory();
    return !current.empty() && system.profile.writeString(kProfileFile, kSection, kLastDirKey, current);
}

} // namespace velora::shell
