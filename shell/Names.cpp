#include "shell/Names.h"

#include <array>
#include <cstring>

namespace velora::shell {
namespace {

constexpr unsigned char lower(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view lowerPrefix)
{
    if (text.size() < lowerPrefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < lowerPrefix.size(); ++i) {
        if (lower(static_cast<unsigned char>(text[i])) != static_cast<unsigned char>(lowerPrefix[i])) {
            return false;
        }
    }
    return true;
}

struct Extension
{
    std::string_view text;
    EntryKind kind;
    int group; // the earlier group wins wherever in the name it matches
};

constexpr std::array<Extension, 10> kExtensions = {{
    {"cpp", EntryKind::SourceFile, 1},
    {"jpg", EntryKind::ImageFile, 2},
    {"jpeg", EntryKind::ImageFile, 2},
    {"gif", EntryKind::ImageFile, 2},
    {"tga", EntryKind::ImageFile, 2},
    {"pcx", EntryKind::ImageFile, 2},
    {"bmp", EntryKind::ImageFile, 2},
    {"mp3", EntryKind::AudioFile, 3},
    {"wav", EntryKind::AudioFile, 3},
    {"mp", EntryKind::VideoFile, 4},
}};

} // namespace

void PrettifyName(std::span<char> name)
{
    for (std::size_t i = 1; i < name.size() && name[i] != '\0'; ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        name[i] = static_cast<char>(lower(c));
    }
}

bool hasNoLowerCase(std::string_view name)
{
    for (const char c : name) {
        if (c >= 'a' && c <= 'z') {
            return false;
        }
    }
    return true;
}

std::size_t copyCut(std::string_view text, char* out)
{
    std::size_t length = text.size();
    if (length > kNameMax) {
        length = kNameMax;
        // Back off over the continuation bytes (10xxxxxx) of a sequence that the cut would
        // split, and over the byte that starts it: at most three bytes more are dropped.
        const auto continuation = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; };
        if (continuation(text[length])) {
            std::size_t start = length;
            while (start > 0 && length - start < 2 && continuation(text[start - 1])) {
                --start;
            }
            if (start > 0 && static_cast<unsigned char>(text[start - 1]) >= 0xC0) {
                length = start - 1;
            }
        }
    }
    if (length > 0) { // an empty view may hold no pointer at all
        std::memcpy(out, text.data(), length);
    }
    out[length] = '\0';
    return length;
}

EntryKind ClassifyFile(std::string_view name)
{
    int bestGroup = 5;
    EntryKind best = EntryKind::OtherFile;
    for (std::size_t dot = name.find('.'); dot != std::string_view::npos && bestGroup > 1;
         dot = name.find('.', dot + 1)) {
        const std::string_view rest = name.substr(dot + 1);
        for (const Extension& extension : kExtensions) {
            if (extension.group < bestGroup && startsWithIgnoringCase(rest, extension.text)) {
                bestGroup = extension.group;
                best = extension.kind;
            }
        }
    }
    return best;
}

int compareIgnoringCase(std::string_view a, std::string_view b)
{
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char ca = lower(static_cast<unsigned char>(a[i]));
        const unsigned char cb = lower(static_cast<unsigned char>(b[i]));
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    if (a.size() != b.size()) {
        return a.size() < b.size() ? -1 : 1;
    }
    return 0;
}

int CompareEntries(const ShellEntry& a, const ShellEntry& b)
{
    if (a.kind != b.kind) {
        return static_cast<int>(a.kind) - static_cast<int>(b.kind);
    }
    const int byName = compareIgnoringCase(a.realName, b.realName);
    if (byName != 0) {
        return byName;
    }
    return a.realName.compare(b.realName);
}

} // namespace velora::shell
