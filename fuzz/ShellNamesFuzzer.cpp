// Name handling on any bytes: ClassifyFile against a plain reading of its rules, the order
// of CompareEntries, and the shown form of names (prettified, cut).
#include "shell/EntryList.h"
#include "shell/Names.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

void check(bool condition)
{
    if (!condition) {
        __builtin_trap();
    }
}

// The rules as written: a lower-case copy of the name, the groups in order, a substring
// test of a dot followed by each extension.
velora::shell::EntryKind referenceKind(std::string_view name)
{
    using velora::shell::EntryKind;
    std::string lower(name);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    const struct
    {
        const char* extension;
        EntryKind kind;
    } rules[] = {{".cpp", EntryKind::SourceFile}, {".jpg", EntryKind::ImageFile}, {".jpeg", EntryKind::ImageFile},
                 {".gif", EntryKind::ImageFile},  {".tga", EntryKind::ImageFile}, {".pcx", EntryKind::ImageFile},
                 {".bmp", EntryKind::ImageFile},  {".mp3", EntryKind::AudioFile}, {".wav", EntryKind::AudioFile},
                 {".mp", EntryKind::VideoFile}};
    for (const auto& rule : rules) {
        if (lower.find(rule.extension) != std::string::npos) {
            return rule.kind;
        }
    }
    return EntryKind::OtherFile;
}

bool validUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

int sign(int value)
{
    return (value > 0) - (value < 0);
}

std::unique_ptr<velora::shell::EntryList> g_list = std::make_unique<velora::shell::EntryList>();

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace velora::shell;
    if (size < 2) {
        return 0;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::size_t split = bytes.empty() ? 0 : data[1] % (bytes.size() + 1);
    const std::string_view a = bytes.substr(0, split);
    const std::string_view b = bytes.substr(split);

    check(ClassifyFile(a) == referenceKind(a));

    std::string pretty(a);
    PrettifyName(std::span<char>(pretty.data(), pretty.size()));
    for (std::size_t i = 0; i < pretty.size() && a[i] != '\0'; ++i) {
        const bool upper = a[i] >= 'A' && a[i] <= 'Z';
        check(pretty[i] == ((i > 0 && upper) ? static_cast<char>(a[i] - 'A' + 'a') : a[i]));
    }

    char cut[kNameMax + 1];
    const std::size_t length = copyCut(a, cut);
    check(length <= kNameMax && cut[length] == '\0' && std::string_view(cut, length) == a.substr(0, length));
    check(a.size() <= kNameMax ? length == a.size() : length + 3 >= kNameMax);
    check(!validUtf8(a) || validUtf8(std::string_view(cut, length)));

    // Kinds from the first byte; the order is antisymmetric and equal only for one entry.
    g_list->clear();
    const auto kindA = static_cast<EntryKind>(data[0] % kEntryKindCount);
    const auto kindB = static_cast<EntryKind>((data[0] / kEntryKindCount) % kEntryKindCount);
    const ShellEntry* first = g_list->append(kindA, a, a);
    const ShellEntry* second = g_list->append(kindB, b, b);
    check(first != nullptr && second != nullptr);
    const int ab = CompareEntries(*first, *second);
    check(sign(ab) == -sign(CompareEntries(*second, *first)));
    check(CompareEntries(*first, *first) == 0);
    check((ab == 0) == (kindA == kindB && a == b));
    if (kindA != kindB) {
        check((kindA == EntryKind::Directory) <= (ab < 0) || kindB == EntryKind::Directory);
        check((kindB == EntryKind::OtherFile) <= (ab < 0) || kindA == EntryKind::OtherFile);
    }

    // The sort of a list of the names between slashes: ordered, and the same entries.
    g_list->clear();
    std::vector<std::string_view> names;
    for (std::size_t pos = 0, n = 0; pos <= bytes.size() && n < 200; ++n) {
        std::size_t end = bytes.find('/', pos);
        end = end == std::string_view::npos ? bytes.size() : end;
        const std::string_view name = bytes.substr(pos, end - pos);
        const auto kind =
            static_cast<EntryKind>(name.empty() ? 0 : static_cast<unsigned char>(name[0]) % kEntryKindCount);
        check(g_list->append(kind, name, name) != nullptr);
        names.push_back(name);
        pos = end + 1;
    }
    g_list->sort();
    std::vector<std::string_view> sorted;
    for (std::int32_t i = 0; i < g_list->count; ++i) {
        sorted.push_back((*g_list)[i].realName);
        check(i == 0 || CompareEntries((*g_list)[i - 1], (*g_list)[i]) <= 0);
        check(std::string_view((*g_list)[i].name, static_cast<std::size_t>((*g_list)[i].nameLength)) ==
              (*g_list)[i].realName.substr(0, static_cast<std::size_t>((*g_list)[i].nameLength)));
    }
    std::sort(names.begin(), names.end());
    std::sort(sorted.begin(), sorted.end());
    check(names == sorted);
    return 0;
}
