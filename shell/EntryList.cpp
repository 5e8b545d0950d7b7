#include "shell/EntryList.h"

#include "shell/Names.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace velora::shell {

const std::string& EntryList::folder() const
{
    static const std::string none;
    return m_folder ? *m_folder : none;
}

void EntryList::setFolder(std::string path)
{
    if (m_folder) {
        *m_folder = std::move(path);
    } else {
        m_folder = std::make_unique<std::string>(std::move(path));
    }
}

void EntryList::clear()
{
    count = 0;
    m_storageUsed = 0;
}

std::string_view EntryList::keep(std::string_view text)
{
    char* const at = m_storage.data() + m_storageUsed;
    if (!text.empty()) { // an empty view may hold no pointer at all
        std::memcpy(at, text.data(), text.size());
    }
    at[text.size()] = '\0';
    m_storageUsed += text.size() + 1;
    return {at, text.size()};
}

ShellEntry* EntryList::append(EntryKind kind, std::string_view shownName, std::string_view realName,
                              std::string_view realTarget)
{
    const std::size_t needed = realName.size() + 1 + (realTarget.empty() ? 0 : realTarget.size() + 1);
    if (count >= kEntryCapacity || needed > kStorageBytes - m_storageUsed) {
        return nullptr;
    }
    ShellEntry& entry = m_entries[static_cast<std::size_t>(count)];
    entry.kind = kind;
    entry.nameLength = static_cast<std::int32_t>(copyCut(shownName, entry.name));
    entry.nameCut = static_cast<std::size_t>(entry.nameLength) < shownName.size();
    copyCut(realTarget, entry.target);
    entry.realName = keep(realName);
    entry.realTarget = realTarget.empty() ? std::string_view() : keep(realTarget);
    ++count;
    return &entry;
}

void EntryList::sort()
{
    static_assert(kEntryCapacity <= 65536, "indexes are 16 bits");
    const auto n = static_cast<std::size_t>(count);
    for (std::size_t i = 0; i < n; ++i) {
        const std::string_view name = m_entries[i].realName;
        std::uint64_t prefix = 0;
        for (std::size_t k = 0; k < 8; ++k) {
            auto c = static_cast<unsigned char>(k < name.size() ? name[k] : '\0');
            c = (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
            prefix = (prefix << 8) | c;
        }
        m_sortKeys[i] = SortKey{prefix, static_cast<std::uint16_t>(i), m_entries[i].kind};
    }
    // Different prefixes order two names as their whole comparison would: the first
    // differing byte decides, and a padding 0 stands for a shorter name.
    std::sort(m_sortKeys.begin(), m_sortKeys.begin() + static_cast<std::ptrdiff_t>(n),
              [this](const SortKey& a, const SortKey& b) {
                  if (a.kind != b.kind) {
                      return a.kind < b.kind;
                  }
                  if (a.prefix != b.prefix) {
                      return a.prefix < b.prefix;
                  }
                  return CompareEntries(m_entries[a.index], m_entries[b.index]) < 0;
              });
    // Entry i takes the place of the entry at m_sortKeys[i].index: each cycle of that
    // permutation is walked once, with one entry held aside.
    for (std::size_t i = 0; i < n; ++i) {
        if (m_sortKeys[i].index == i) {
            continue;
        }
        const ShellEntry held = m_entries[i];
        std::size_t to = i;
        for (;;) {
            const std::size_t from = m_sortKeys[to].index;
            m_sortKeys[to].index = static_cast<std::uint16_t>(to);
            if (from == i) {
                m_entries[to] = held;
                break;
            }
            m_entries[to] = m_entries[from];
            to = from;
        }
    }
}

} // namespace velora::shell
