#include "shell/Navigation.h"

#include "platform/Directories.h"

#include <algorithm>

namespace velora::shell {
namespace {

bool isFile(EntryKind kind)
{
    return kind == EntryKind::SourceFile || kind == EntryKind::ImageFile || kind == EntryKind::AudioFile ||
           kind == EntryKind::VideoFile || kind == EntryKind::OtherFile;
}

bool isParent(const ShellEntry& entry)
{
    return entry.kind == EntryKind::Directory && entry.realName == "..";
}

std::string childPath(const std::string& directory, std::string_view name)
{
    std::string path = directory;
    if (path.empty() || path.back() != '/') {
        path += '/';
    }
    path += name;
    return path;
}

// Lists the directory just made current (or kept, when the change failed) from its top.
KeyOutcome listAfterMove(EntryList& list, ShellSystem& system)
{
    ListDirectory(list, system);
    list.top = 0;
    list.selected = 0;
    return {Repaint::WithErase, false, {}};
}

} // namespace

KeyOutcome OpenSelectedEntry(EntryList& list, ShellSystem& system)
{
    if (list.selected < 0 || list.selected >= list.count) {
        return {};
    }
    const ShellEntry& entry = list[list.selected];
    if (isFile(entry.kind)) {
        return {Repaint::None, false, childPath(system.directories.currentDirectory(), entry.realName)};
    }
    if (entry.kind == EntryKind::FixedDrive || entry.kind == EntryKind::CdDrive) {
        system.directories.changeDirectory(std::string(entry.realName));
        return listAfterMove(list, system);
    }
    // A directory or a favourite. Going up remembers the directory being left, to
    // highlight it in the parent's listing.
    const std::string left = isParent(entry) ? system.directories.currentDirectory() : std::string();
    const std::string destination(entry.kind == EntryKind::Favourite ? entry.realTarget : entry.realName);
    const bool moved = system.directories.changeDirectory(destination);
    KeyOutcome outcome = listAfterMove(list, system);
    const std::size_t slash = left.rfind('/');
    if (moved && slash != std::string::npos && slash + 1 < left.size()) {
        const std::string_view leftName = std::string_view(left).substr(slash + 1);
        for (std::int32_t i = 0; i < list.count; ++i) {
            if (list[i].realName == leftName) {
                list.selected = i;
                // rowsShown is still that of the last paint of the directory left.
                list.top = std::max(0, i - list.rowsShown / 2);
                break;
            }
        }
    }
    return outcome;
}

KeyOutcome handleKey(EntryList& list, ShellKey key, ShellSystem& system)
{
    const KeyOutcome moved{Repaint::WithoutErase, false, {}};
    const KeyOutcome replaced{Repaint::WithErase, false, {}};
    switch (key) {
    case ShellKey::Up:
        if (list.selected > 0) {
            --list.selected;
        }
        if (list.selected < list.top) {
            list.top = list.selected;
        }
        return moved;
    case ShellKey::Down:
        if (list.selected < list.count - 1) {
            ++list.selected;
        }
        if (list.selected >= list.top + list.rowsShown) {
            list.top = list.selected - list.rowsShown + 1;
        }
        return moved;
    case ShellKey::PageUp:
        list.selected = std::max(0, list.selected - list.rowsShown);
        list.top = list.selected;
        return moved;
    case ShellKey::PageDown:
        list.selected += list.rowsShown;
        list.top += list.rowsShown;
        if (list.selected >= list.count) {
            list.selected = list.count - 1;
        }
        // An empty list has no last entry: the highlight stays on the first row.
        if (list.selected < 0) {
            list.selected = 0;
        }
        if (list.selected < list.top) {
            list.top = list.selected;
        }
        if (list.selected >= list.top + list.rowsShown) {
            list.top = list.selected - list.rowsShown + 1;
        }
        if (list.top < 0) {
            list.top = 0;
        }
        return moved;
    case ShellKey::Home:
        list.top = 0;
        list.selected = 0;
        return moved;
    case ShellKey::End:
        list.selected = std::max(0, list.count - 1);
        list.top = std::max(0, list.selected - list.rowsShown + 1);
        return moved;
    case ShellKey::Enter:
        return OpenSelectedEntry(list, system);
    case ShellKey::Backspace:
        // Up to the parent wherever ".." sorts (names such as "(old)" or "-tmp" sort before
        // it); where there is none, as at the root, the drive list.
        for (std::int32_t i = 0; i < list.count; ++i) {
            if (isParent(list[i])) {
                list.selected = i;
                return OpenSelectedEntry(list, system);
            }
        }
        ListDrives(list, system);
        return replaced;
    case ShellKey::Escape:
        return {Repaint::None, true, {}};
    case ShellKey::F1:
        ListDrives(list, system);
        return replaced;
    case ShellKey::F2:
        ListDrivesAndFavourites(list, system);
        return replaced;
    case ShellKey::Other:
        break;
    }
    return {};
}

} // namespace velora::shell
