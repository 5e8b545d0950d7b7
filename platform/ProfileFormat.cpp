#include "platform/ProfileFormat.h"

#include <vector>

namespace velora::platform {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

enum class LineKind { Other, Comment, Header, Key };

// One line of a profile text: the bytes [begin, contentEnd) are its content, the bytes
// [contentEnd, end) its line end ("\n", "\r\n", a lone "\r" at the very end of the text,
// or nothing for a last line without a line end).
struct Line
{
    std::size_t begin = 0;
    std::size_t contentEnd = 0;
    std::size_t end = 0;
    LineKind kind = LineKind::Other;
    std::string_view name;  // Header: section name, Key: key name; both trimmed.
    std::string_view value; // Key: value, trimmed, quotes still on.
    std::size_t keyEnd = 0; // Key: offset of the "=" in the text.
};

Line classify(std::string_view text, std::size_t begin, std::size_t contentEnd, std::size_t end)
{
    Line line;
    line.begin = begin;
    line.contentEnd = contentEnd;
    line.end = end;
    const std::string_view content = text.substr(begin, contentEnd - begin);
    std::size_t first = 0;
    while (first < content.size() && isBlank(content[first])) {
        ++first;
    }
    if (first < content.size() && content[first] == '[') {
        line.kind = LineKind::Header;
        const std::string_view rest = content.substr(first + 1);
        line.name = trimBlanks(rest.substr(0, rest.find(']')));
    } else if (first < content.size() && content[first] == ';') {
        line.kind = LineKind::Comment;
    } else if (const std::size_t eq = content.find('='); eq != std::string_view::npos) {
        line.kind = LineKind::Key;
        line.name = trimBlanks(content.substr(0, eq));
        line.value = trimBlanks(content.substr(eq + 1));
        line.keyEnd = begin + eq;
    }
    return line;
}

std::vector<Line> splitLines(std::string_view text)
{
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t lf = text.find('\n', pos);
        if (lf == std::string_view::npos) {
            // A text cut off right after the CR of a CRLF still ends that line.
            const std::size_t contentEnd = text.back() == '\r' ? text.size() - 1 : text.size();
            lines.push_back(classify(text, pos, contentEnd, text.size()));
            break;
        }
        const std::size_t contentEnd = (lf > pos && text[lf - 1] == '\r') ? lf - 1 : lf;
        lines.push_back(classify(text, pos, contentEnd, lf + 1));
        pos = lf + 1;
    }
    return lines;
}

std::string_view dropOuterQuotes(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// The lines of the first section named `section`: the index of its header and one past
// its last line. Nothing when the text has no such section.
struct SectionRange
{
    std::size_t header = 0;
    std::size_t end = 0;
};

std::optional<SectionRange> findSection(const std::vector<Line>& lines, std::string_view section)
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind == LineKind::Header && equalsIgnoringCase(lines[i].name, section)) {
            std::size_t end = i + 1;
            while (end < lines.size() && lines[end].kind != LineKind::Header) {
                ++end;
            }
            return SectionRange{i, end};
        }
    }
    return std::nullopt;
}

std::optional<std::size_t> findKey(const std::vector<Line>& lines, SectionRange range, std::string_view key)
{
    for (std::size_t i = range.header + 1; i < range.end; ++i) {
        if (lines[i].kind == LineKind::Key && equalsIgnoringCase(lines[i].name, key)) {
            return i;
        }
    }
    return std::nullopt;
}

// What must follow a line so that another line can come after it: nothing when it has a
// full line end, the missing LF after a trailing CR, or a whole line end.
std::string_view completion(std::string_view text, const Line& line, std::string_view eol)
{
    if (line.contentEnd == line.end) {
        return eol;
    }
    if (text[line.end - 1] == '\r') {
        return "\n";
    }
    return {};
}

} // namespace

std::string_view profileFirstPart(std::string_view text)
{
    if (text.size() <= kProfileMaxBytes) {
        return text;
    }
    const std::size_t lastLineEnd = text.substr(0, kProfileMaxBytes).rfind('\n');
    return lastLineEnd == std::string_view::npos ? std::string_view() : text.substr(0, lastLineEnd + 1);
}

std::string_view trimBlanks(std::string_view text)
{
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

std::optional<std::string> findProfileValue(std::string_view text, std::string_view section, std::string_view key)
{
    section = trimBlanks(section);
    key = trimBlanks(key);
    if (section.empty() || key.empty()) {
        return std::nullopt;
    }
    const std::vector<Line> lines = splitLines(text);
    const std::optional<SectionRange> range = findSection(lines, section);
    if (!range) {
        return std::nullopt;
    }
    const std::optional<std::size_t> index = findKey(lines, *range, key);
    if (!index) {
        return std::nullopt;
    }
    return std::string(dropOuterQuotes(lines[*index].value));
}

bool isStorableProfileEntry(std::string_view section, std::string_view key, std::string_view value)
{
    section = trimBlanks(section);
    key = trimBlanks(key);
    if (section.empty() || section.find_first_of("\r\n]") != std::string_view::npos) {
        return false;
    }
    if (key.empty() || key.find_first_of("\r\n=") != std::string_view::npos || key.front() == '[' ||
        key.front() == ';') {
        return false;
    }
    return value.find_first_of("\r\n") == std::string_view::npos;
}

std::string setProfileValue(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value)
{
    if (!isStorableProfileEntry(section, key, value)) {
        return std::string(text);
    }
    section = trimBlanks(section);
    key = trimBlanks(key);
    const std::vector<Line> lines = splitLines(text);
    const std::string_view eol =
        (!lines.empty() && lines.front().contentEnd != lines.front().end && text[lines.front().contentEnd] == '\r')
            ? "\r\n"
            : "\n";

    std::string out;
    out.reserve(text.size() + section.size() + key.size() + value.size() + 8);

    const std::optional<SectionRange> range = findSection(lines, section);
    if (!range) {
        out.append(text);
        if (!lines.empty()) {
            const Line& last = lines.back();
            out.append(completion(text, last, eol));
            if (!trimBlanks(text.substr(last.begin, last.contentEnd - last.begin)).empty()) {
                out.append(eol);
            }
        }
        out.append("[").append(section).append("]").append(eol);
        out.append(key).append("=").append(value).append(eol);
        return out;
    }

    if (const std::optional<std::size_t> index = findKey(lines, *range, key)) {
        // Keep what stands before the "=" (indentation and the key as the file spells it),
        // minus the blanks between key and "=".
        const Line& line = lines[*index];
        std::string_view before = text.substr(line.begin, line.keyEnd - line.begin);
        while (!before.empty() && isBlank(before.back())) {
            before.remove_suffix(1);
        }
        out.append(text.substr(0, line.begin));
        out.append(before).append("=").append(value);
        out.append(text.substr(line.contentEnd));
        return out;
    }

    std::size_t after = range->header;
    for (std::size_t i = range->header + 1; i < range->end; ++i) {
        if (lines[i].kind == LineKind::Key) {
            after = i;
        }
    }
    const Line& anchor = lines[after];
    out.append(text.substr(0, anchor.end));
    out.append(completion(text, anchor, eol));
    out.append(key).append("=").append(value).append(eol);
    out.append(text.substr(anchor.end));
    return out;
}

std::int32_t parseProfileInt(std::string_view value)
{
    std::size_t pos = 0;
    while (pos < value.size() && isBlank(value[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < value.size() && (value[pos] == '+' || value[pos] == '-')) {
        negative = value[pos] == '-';
        ++pos;
    }
    // Unsigned arithmetic wraps where a signed accumulator would overflow.
    std::uint32_t result = 0;
    for (; pos < value.size() && value[pos] >= '0' && value[pos] <= '9'; ++pos) {
        result = result * 10U + static_cast<std::uint32_t>(value[pos] - '0');
    }
    if (negative) {
        result = 0U - result;
    }
    return static_cast<std::int32_t>(result);
}

std::string profileReadString(std::optional<std::string_view> fileText, std::string_view section, std::string_view key,
                              std::string_view defaultValue, std::size_t maxChars)
{
    if (fileText) {
        if (std::optional<std::string> value = findProfileValue(*fileText, section, key)) {
            if (value->size() > maxChars) {
                value->resize(maxChars);
            }
            return *value;
        }
    }
    while (!defaultValue.empty() && isBlank(defaultValue.back())) {
        defaultValue.remove_suffix(1);
    }
    return std::string(defaultValue.substr(0, maxChars));
}

std::int32_t profileReadInt(std::optional<std::string_view> fileText, std::string_view section, std::string_view key,
                            std::int32_t defaultValue)
{
    if (!fileText) {
        return defaultValue;
    }
    const std::optional<std::string> value = findProfileValue(*fileText, section, key);
    if (!value || value->empty()) {
        return defaultValue;
    }
    return parseProfileInt(*value);
}

} // namespace velora::platform
