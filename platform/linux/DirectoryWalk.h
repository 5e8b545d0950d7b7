// Walking the entries of one folder (readdir), written once for the Linux backends and the
// driver libraries: the folder is opened and closed here, and the entry's kind is taken
// from the listing where the file system gives it, with a stat only where it does not.
// Every function may be called from any thread; a walk shares no state with another.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace velora::posix {

// One entry of the folder being walked, valid only during the visit.
class DirectoryEntry
{
public:
    DirectoryEntry(int folderFd, const char* name, unsigned char type)
        : m_folderFd(folderFd), m_name(name), m_type(type)
    {}

    std::string_view name() const { return m_name; }
    // The name as a C string, for the *at() calls.
    const char* cName() const { return m_name; }
    // The open folder, for the *at() calls (fstatat, unlinkat) relative to it.
    int folderFd() const { return m_folderFd; }

    // What the entry is, a symbolic link counting as what it leads to (a link that leads
    // nowhere is neither).
    bool isDirectory() const;
    bool isRegularFile() const;

private:
    int m_folderFd;
    const char* m_name;
    unsigned char m_type; // a DT_* value
};

enum class DotEntries { Skip, Include };

// Calls visit with every entry of folder in the order the file system keeps them, "." and
// ".." only when asked, until visit returns false. False when the folder cannot be opened.
bool walkDirectory(const std::string& folder, const std::function<bool(const DirectoryEntry&)>& visit,
                   DotEntries dots = DotEntries::Skip);

} // namespace velora::posix
