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

// The folder above path ("/" above "/a"), or nothing above the root or a relative path.
std::string parentOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (path.size() <= 1 || slash == std::string::npos) {
        return {};
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Lists the current directory from its first row.
bool listFromTop(EntryList& list, ShellSystem& system)
{
    if (!ListDirectory(list, system)) {
        return false;
    }
    list.top = 0;
    list.selected = 0;
    return true;
}

// When the folder the shell stands in was removed (its path can no longer be read), moves
// to the nearest folder above it that can be entered and listed, or to the root, and lists
// that from its first row. Returns whether it moved.
bool leaveRemovedFolder(EntryList& list, ShellSystem& system)
{
    if (!system.directories.currentDirectory().empty()) {
        return false;
    }
    const std::string root = "/";
    for (std::string path = parentOf(list.folder());; path = parentOf(path)) {
        const bool atRoot = path.empty() || path == root;
        if (system.directories.changeDirectory(atRoot ? root : path) && listFromTop(list, system)) {
            return true;
        }
        if (atRoot) {
            return false;
        }
    }
}

// Lists the directory just made current (or kept, when the change failed) from its top.
// A folder that was entered but cannot be read is left again for the one the list came
// from, as a change that failed, so that what the list shows is always what the current
// directory holds; when even that is gone, its nearest existing parent is listed.
KeyOutcome listAfterMove(EntryList& list, ShellSystem& system, bool moved)
{
    const KeyOutcome replaced{Repaint::WithErase, false, {}};
    if (listFromTop(list, system)) {
        return replaced;
    }
    if (moved && !list.folder().empty() && system.directories.changeDirectory(list.folder()) &&
        listFromTop(list, system)) {
        return replaced;
    }
    return leaveRemovedFolder(list, system) ? replaced : KeyOutcome{};
}

// Keeps the highlight visible: scrolls up to it when it went above the first row, and down
// to it when it went below the last row drawn.
void scrollUpToSelected(EntryList& list)
{
    if (list.selected < list.top) {
        list.top = list.selected;
    }
}

void scrollDownToSelected(EntryList& list)
{
    if (list.selected >= list.top + list.rowsShown) {
        list.top = list.selected - list.rowsShown + 1;
    }
}

} // namespace

KeyOutcome OpenSelectedEntry(EntryList& list, ShellSystem& system)
{
    if (list.selected < 0 || list.selected >= list.count) {
        return {};
    }
    const ShellEntry& entry = list[list.selected];
    if (entry.kind == EntryKind::FixedDrive || entry.kind == EntryKind::CdDrive) {
        const bool moved = system.directories.changeDirectory(std::string(entry.realName));
        return listAfterMove(list, system, moved);
    }
    // Files and directories (and a favourite whose target is not a full path) name a place in
    // the current directory: when that was removed, no such place may be looked up, and the
    // shell moves up instead.
    const bool relative = entry.kind != EntryKind::Favourite || !entry.realTarget.starts_with('/');
    const std::string here = system.directories.currentDirectory();
    if (here.empty() && relative) {
        return leaveRemovedFolder(list, system) ? KeyOutcome{Repaint::WithErase, false, {}} : KeyOutcome{};
    }
    if (isFile(entry.kind)) {
        return {Repaint::None, false, childPath(here, entry.realName)};
    }
    // A directory or a favourite. Going up remembers the directory being left, to
    // highlight it in the parent's listing.
    const std::string left = isParent(entry) ? here : std::string();
    const std::string destination(entry.kind == EntryKind::Favourite ? entry.realTarget : entry.realName);
    const bool moved = system.directories.changeDirectory(destination);
    KeyOutcome outcome = listAfterMove(list, system, moved);
    const std::size_t slash = left.rfind('/');
    if (moved && slash != std::string::npos && slash + 1 < left.size() && list.folder() != left) {
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
    // A listing whose folder was removed meanwhile shows what is no longer there: the key
    // takes the shell to the nearest folder that still exists instead. Escape also closes
    // there, so that the folder remembered is one that exists.
    if (key != ShellKey::Other && (list.showsFolder || key == ShellKey::Escape) && leaveRemovedFolder(list, system)) {
        return {Repaint::WithErase, key == ShellKey::Escape, {}};
    }
    switch (key) {
    case ShellKey::Up:
        if (list.selected > 0) {
            --list.selected;
        }
        scrollUpToSelected(list);
        return moved;
    case ShellKey::Down:
        if (list.selected < list.count - 1) {
            ++list.selected;
        }
        scrollDownToSelected(list);
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
        scrollUpToSelected(list);
        scrollDownToSelected(list);
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

bool ScrollRows(EntryList& list, std::int32_t rows)
{
    if (list.rowsShown <= 0 || list.count <= 0) {
        return false;
    }
    const std::int32_t lastTop = std::max(0, list.count - list.rowsShown);
    const std::int32_t top = std::clamp(list.top + rows, 0, std::min(std::max(lastTop, list.top), list.count - 1));
    const std::int32_t lastShown = std::min(list.count, top + list.rowsShown) - 1;
    const std::int32_t selected = std::clamp(list.selected, top, lastShown);
    if (top == list.top && selected == list.selected) {
        return false;
    }
    list.top = top;
    list.selected = selected;
    return true;
}

bool SelectShownRow(EntryList& list, std::int32_t row)
{
    if (row < 0 || row >= list.rowsShown || list.top + row >= list.count) {
        return false;
    }
    list.selected = list.top + row;
    return true;
}

} // namespace velora::shell
