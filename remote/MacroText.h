// How the macro language splits its texts, in one place for the player, the checker of macro
// files and the feedback: the white space it skips, and the key names of a chord.
#pragma once

#include <cstddef>
#include <string_view>

namespace velora::remote {

inline bool isMacroSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Calls keyName for each name of the chord that starts the text (just after its "["), in order;
// returns the position of its "]", or the text's end when it has none.
template <typename KeyName> std::size_t forEachChordKey(std::string_view text, KeyName&& keyName)
{
    std::size_t pos = 0;
    while (pos < text.size() && text[pos] != ']') {
        if (isMacroSpace(text[pos])) {
            ++pos;
            continue;
        }
        const std::size_t start = pos;
        while (pos < text.size() && text[pos] != ']' && !isMacroSpace(text[pos])) {
            ++pos;
        }
        keyName(text.substr(start, pos - start));
    }
    return pos;
}

} // namespace velora::remote
