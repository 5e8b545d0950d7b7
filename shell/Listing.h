// Filling the shell's list: the current directory, the drives, the drives with the user's
// favourites, and the directory remembered between runs.
//
// The shell's place in the file system is the process's current directory and nothing else:
// a listing reads it, entering an entry changes it, and the drive list and the favourites
// leave it alone.
#pragma once

#include "shell/EntryList.h"

#include <string>
#include <string_view>

namespace velora::platform {
class Directories;
class FileSystem;
class MountTable;
class Profile;
} // namespace velora::platform

namespace velora::shell {

class FileTypes;

// The services the shell reaches the system through, and the settings it lists with.
struct ShellSystem
{
    platform::Directories& directories;
    platform::MountTable& mounts;
    platform::FileSystem& files;
    platform::Profile& profile;
    // The folder that holds the program and "fav.dat"; empty: the current directory.
    std::string programDirectory;
    // The user's own configuration folder: a "fav.dat" there comes before the program's.
    std::string userDirectory = {};
    // Asked for the kind of a file that the extension table leaves an other file; none: the
    // table alone decides.
    FileTypes* fileTypes = nullptr;
    // Whether a listing shows hidden items (names that start with a dot).
    bool showHidden = false;
};

// Lists the current directory, sorted by CompareEntries: every item but "." and, unless
// showHidden is set, but the hidden ones (".." is always listed). A file's kind is the
// extension table's, else that of fileTypes. Sets count, folder and showsFolder, and leaves top and selected to the
// caller. When the directory cannot be read (or gives no item at all, as a removed one) the list keeps what it held and
// false is returned. A directory of more items than the list holds is listed up to its capacity.
bool ListDirectory(EntryList& list, ShellSystem& system);

// Lists the drives (fixed disks, then optical drives interleaved by mount point, as the
// mount table sorts them), each shown as its mount point ending in "/". top is 0 and
// selected the drive that holds the current directory (the longest mount point that
// contains it), 0 when none does; folder is kept, showsFolder is false.
void ListDrives(EntryList& list, ShellSystem& system);

// ListDrives, then one Favourite per usable line of "fav.dat", in file order while the list
// has room: the user's own file when there is one, else the one in the program's folder (a
// system-wide install has one for every user). A missing file leaves the drive list alone.
void ListDrivesAndFavourites(EntryList& list, ShellSystem& system);

// Appends the favourites of a favourites file's text. The file is read as lines of at most
// 511 bytes (a longer line counts as several); a line is split at commas, carriage returns
// and line feeds, empty fields dropped; a line of fewer than two fields is skipped, and of
// more only the first two count: the label shown and the directory entered. Spaces belong to
// the fields.
void AppendFavourites(EntryList& list, std::string_view text);

// At start: reads the shell's settings of section "KavoShell" in velora.ini into system:
// ShowHidden (0, the default, or 1).
void ReadShellSettings(ShellSystem& system);

// At start: makes "LastDir" of section "KavoShell" in velora.ini the current directory when
// it is set and still exists. Returns whether the directory changed.
bool LoadLastDirectory(ShellSystem& system);

// At the end: stores the current directory as "LastDir". Returns false when the directory
// could not be read or the file not written.
bool SaveLastDirectory(ShellSystem& system);

} // namespace velora::shell
