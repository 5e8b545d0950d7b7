// A path or a search list (PATH) split into its parts at a separator, empty parts included
// ("/a//b" at '/' gives "", "a", "", "b"), for the backends that walk them part by part.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velora::posix {

inline std::vector<std::string> splitAt(std::string_view text, char separator)
{
    std::vector<std::string> parts;
    for (std::size_t begin = 0;;) {
        const std::size_t end = text.find(separator, begin);
        parts.emplace_back(text.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin));
        if (end == std::string_view::npos) {
            return parts;
        }
        begin = end + 1;
    }
}

} // namespace velora::posix
