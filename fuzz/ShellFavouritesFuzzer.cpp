// The favourites reader on any text: the list never overflows, every entry is usable.
#include "shell/Listing.h"

#include <cstdint>
#include <cstring>
#include <string_view>

namespace {

constinit velora::shell::EntryList g_list;

void check(bool condition)
{
    if (!condition) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace velora::shell;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    g_list.clear();
    AppendFavourites(g_list, text);
    // Twice the same text appended again must fit or stop at the capacity, never beyond.
    AppendFavourites(g_list, text);
    check(g_list.count >= 0 && g_list.count <= kEntryCapacity);
    for (std::int32_t i = 0; i < g_list.count; ++i) {
        const ShellEntry& entry = g_list[i];
        check(entry.kind == EntryKind::Favourite);
        check(entry.nameLength >= 0 && static_cast<std::size_t>(entry.nameLength) <= kNameMax);
        check(std::strlen(entry.name) == static_cast<std::size_t>(entry.nameLength));
        check(std::strlen(entry.target) <= kNameMax);
        check(!entry.realName.empty() && !entry.realTarget.empty() && entry.realTarget.size() < 512);
        check(entry.realName.substr(0, static_cast<std::size_t>(entry.nameLength)) == entry.name);
        check(entry.realTarget.substr(0, std::strlen(entry.target)) == entry.target);
        check(entry.realTarget.find_first_of(std::string_view(",\r\n\0", 4)) == std::string_view::npos);
        check(entry.realName.data()[entry.realName.size()] == '\0');
    }
    return 0;
}
