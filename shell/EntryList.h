// The media shell's one list: the entries on screen (a directory listing, the drives, or the
// drives and the favourites) with the view state that the window keeps beside them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace velora::shell {

// What an entry is. The order is the order of a directory listing: directories first, the
// four typed kinds of file in this order, other files last (drives and favourites never
// meet files in one list).
enum class EntryKind : std::uint8_t {
    Directory,
    SourceFile,
    VideoFile,
    AudioFile,
    ImageFile,
    FixedDrive,
    CdDrive,
    Favourite,
    OtherFile,
};

inline constexpr int kEntryKindCount = 9;

// Longest shown name and favourite target, in bytes.
inline constexpr std::size_t kNameMax = 63;

// Every field of an entry starts as zero bytes (see EntryList).
struct ShellEntry
{
    EntryKind kind = EntryKind::Directory;
    // The text shown: cut to kNameMax bytes (never inside a UTF-8 sequence) and, for a name
    // written in capitals only, prettified. NUL-terminated.
    char name[kNameMax + 1] = {};
    // Favourites only: the directory, cut like name.
    char target[kNameMax + 1] = {};
    // The length of name; the painter draws exactly this many bytes.
    std::int32_t nameLength = 0;
    // Whether name is shorter than the text it was cut from, which the painter marks.
    bool nameCut = false;
    // The uncut originals, which opening needs: the item's name on disk, a drive's mount
    // point, a favourite's label; and a favourite's whole target. They point into the
    // list's own storage and are NUL-terminated there.
    std::string_view realName;
    std::string_view realTarget;
};

inline constexpr std::int32_t kEntryCapacity = 16384;

// Fixed storage, so that listing a directory allocates nothing. A list is large (several
// megabytes): keep it in static storage or on the heap, never on the stack. A new list is all
// zero bytes and can be built at compile time, so that one declared constinit in static
// storage goes to the zero-filled part of the program: it takes no room in the file and no
// work at start-up, and its pages are only touched as entries are added.
class EntryList
{
public:
    constexpr EntryList() = default;
    EntryList(const EntryList&) = delete;
    EntryList& operator=(const EntryList&) = delete;

    std::int32_t count = 0;     // valid entries, from index 0
    std::int32_t top = 0;       // the entry in the first row
    std::int32_t selected = 0;  // the highlighted entry
    std::int32_t rowsShown = 0; // rows the latest paint drew

    // Where the list stands: the folder it was last listed from (the current directory as
    // read then), kept while the drives are shown, and whether the list shows that folder.
    const std::string& folder() const;
    void setFolder(std::string path);
    bool showsFolder = false;

    ShellEntry& operator[](std::int32_t index) { return m_entries[static_cast<std::size_t>(index)]; }
    const ShellEntry& operator[](std::int32_t index) const { return m_entries[static_cast<std::size_t>(index)]; }
    ShellEntry* begin() { return m_entries.data(); }
    ShellEntry* end() { return m_entries.data() + count; }

    // Empties the list (count 0); top, selected and rowsShown are left to the caller.
    void clear();

    // Adds an entry after the last one: shownName cut and stored as name, realName and
    // realTarget kept whole, target cut from realTarget. Returns nothing, and changes
    // nothing, when the list is full (kEntryCapacity entries or its name storage used up).
    ShellEntry* append(EntryKind kind, std::string_view shownName, std::string_view realName,
                       std::string_view realTarget = {});

    // Sorts the entries into the order of a directory listing (CompareEntries).
    void sort();

private:
    std::string_view keep(std::string_view text);

    // What the sort compares, kept small and together so that a sort of a full list stays
    // in the cache and moves each entry once: the kind, the first eight bytes of the name in
    // lower case as one number, and the entry's index.
    struct SortKey
    {
        std::uint64_t prefix;
        std::uint16_t index;
        EntryKind kind;
    };

    // Room for the longest file name (255 bytes) of every entry of a full listing.
    static constexpr std::size_t kStorageBytes = static_cast<std::size_t>(kEntryCapacity) * 256;

    std::array<ShellEntry, kEntryCapacity> m_entries{};
    std::array<SortKey, kEntryCapacity> m_sortKeys{};
    std::array<char, kStorageBytes> m_storage{};
    std::size_t m_storageUsed = 0;
    // On the heap: an empty std::string is not all zero bytes.
    std::unique_ptr<std::string> m_folder;
};

} // namespace velora::shell
