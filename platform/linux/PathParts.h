// The parts of paths and search lists (PATH), for the backends that walk them part by part or
// need a file's folder or name.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velora::posix {

// The parts between the separators, empty parts included ("/a//b" at '/' gives "", "a", "",
// "b").
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

// The folder a path names an entry of: "." for a bare name, "/" for an entry of the root.
inline std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// The last part of a path: the entry's own name.
inline std::string baseName(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace velora::posix
