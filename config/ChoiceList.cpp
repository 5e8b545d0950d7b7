#include "config/ChoiceList.h"

#include "platform/ProfileFormat.h"

#include <algorithm>

namespace velora::config {
namespace {

unsigned char lower(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

bool lessIgnoringCase(std::string_view a, std::string_view b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return lower(x) < lower(y); });
}

} // namespace

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && platform::equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

int ChoiceList::addSorted(std::string text)
{
    const auto at = std::upper_bound(m_lines.begin(), m_lines.end(), text,
                                     [](const std::string& a, const std::string& b) { return lessIgnoringCase(a, b); });
    const int position = static_cast<int>(at - m_lines.begin());
    m_lines.insert(at, std::move(text));
    if (m_selection >= position) {
        ++m_selection;
    }
    return position;
}

int ChoiceList::append(std::string text)
{
    m_lines.push_back(std::move(text));
    return size() - 1;
}

bool ChoiceList::selectPrefix(std::string_view prefix)
{
    for (int i = 0; i < size(); ++i) {
        if (startsWithIgnoringCase(m_lines[static_cast<std::size_t>(i)], prefix)) {
            m_selection = i;
            return true;
        }
    }
    return false;
}

int ChoiceList::findExact(std::string_view text) const
{
    for (int i = 0; i < size(); ++i) {
        if (platform::equalsIgnoringCase(m_lines[static_cast<std::size_t>(i)], text)) {
            return i;
        }
    }
    return -1;
}

void ChoiceList::select(int position)
{
    m_selection = (position >= 0 && position < size()) ? position : -1;
}

const std::string* ChoiceList::selectedText() const
{
    return m_selection < 0 ? nullptr : &m_lines[static_cast<std::size_t>(m_selection)];
}

} // namespace velora::config
