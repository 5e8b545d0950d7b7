// Sets a key in arbitrary profile text and checks what a write promises: the key reads back
// as written, every other line of the old text is still there in order, and writing the same
// value again changes nothing. Entries that could not be read back must leave the text alone.
#include "platform/ProfileFormat.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace velora::platform;

namespace {

void check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

// Removes what a name or value of a real file cannot hold, so that the entry is storable.
std::string clean(std::string text, const char* forbidden, bool isKey)
{
    std::string out;
    for (const char c : text) {
        if (c != '\r' && c != '\n' && std::string_view(forbidden).find(c) == std::string_view::npos) {
            out += c;
        }
    }
    std::string_view trimmed = trimBlanks(out);
    while (isKey && !trimmed.empty() && (trimmed.front() == '[' || trimmed.front() == ';')) {
        trimmed = trimBlanks(trimmed.substr(1));
    }
    return std::string(trimmed);
}

// The text's lines, each with its own line end (the last one may have none).
std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t lf = text.find('\n', pos);
        const std::size_t end = lf == std::string::npos ? text.size() : lf + 1;
        result.push_back(text.substr(pos, end - pos));
        pos = end;
    }
    return result;
}

// An old line is kept when it is unchanged; a last line without LF may have gained one.
bool kept(const std::string& before, const std::string& after, bool lastWithoutLf)
{
    if (before == after) {
        return true;
    }
    if (!lastWithoutLf || after.compare(0, before.size(), before) != 0) {
        return false;
    }
    const std::string added = after.substr(before.size());
    return added == "\n" || (added == "\r\n" && (before.empty() || before.back() != '\r'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::string rawSection = input.ConsumeRandomLengthString(32);
    const std::string rawKey = input.ConsumeRandomLengthString(32);
    const std::string rawValue = input.ConsumeRandomLengthString(64);
    const std::string text = input.ConsumeRemainingBytesAsString();

    if (!isStorableProfileEntry(rawSection, rawKey, rawValue)) {
        check(setProfileValue(text, rawSection, rawKey, rawValue) == text);
    }

    std::string section = clean(rawSection, "]", false);
    std::string key = clean(rawKey, "=", true);
    const std::string value = clean(rawValue, "", false);
    if (section.empty()) {
        section = "S";
    }
    if (key.empty()) {
        key = "K";
    }
    check(isStorableProfileEntry(section, key, value));

    const std::string updated = setProfileValue(text, section, key, value);
    std::string expected = value;
    if (expected.size() >= 2 && (expected.front() == '"' || expected.front() == '\'') &&
        expected.back() == expected.front()) {
        expected = expected.substr(1, expected.size() - 2);
    }
    check(findProfileValue(updated, section, key) == expected);
    check(setProfileValue(updated, section, key, value) == updated);

    // The change is one block: old lines [prefix, old.size() - suffix) became new lines
    // [prefix, new.size() - suffix). At most the replaced key line may be gone from the old
    // text, and at most a blank line, a header and the key line may have come in.
    const std::vector<std::string> before = lines(text);
    const std::vector<std::string> after = lines(updated);
    const bool lastWithoutLf = !text.empty() && text.back() != '\n';
    std::size_t prefix = 0;
    while (prefix < before.size() && prefix < after.size() &&
           kept(before[prefix], after[prefix], lastWithoutLf && prefix + 1 == before.size())) {
        ++prefix;
    }
    std::size_t suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
        ++suffix;
    }
    const std::size_t removed = before.size() - prefix - suffix;
    check(removed <= 1);
    check(after.size() - prefix - suffix <= 3);
    if (removed == 1) {
        const std::string& line = before[prefix];
        const std::size_t eq = line.find('=');
        check(eq != std::string::npos && equalsIgnoringCase(trimBlanks(std::string_view(line).substr(0, eq)), key));
    }
    return 0;
}
