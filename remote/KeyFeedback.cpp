#include "remote/KeyFeedback.h"

#include <cstdio>

#include "remote/MacroText.h"

namespace velora::remote {
namespace {

constexpr std::size_t kMaxDescription = 60;

// The chord's key names joined by "+", up to its "]"; pos ends after the "]".
std::string describeChord(std::string_view text, std::size_t& pos)
{
    std::string chord;
    pos += forEachChordKey(
        text.substr(pos), [&chord](std::string_view name) { chord += (chord.empty() ? "" : "+") + std::string(name); });
    if (pos < text.size()) {
        ++pos;
    }
    return chord;
}

// The program a command line starts: its first word without the folder.
std::string programName(std::string_view commandLine)
{
    std::size_t start = 0;
    while (start < commandLine.size() && isMacroSpace(commandLine[start])) {
        ++start;
    }
    std::size_t end = start;
    while (end < commandLine.size() && !isMacroSpace(commandLine[end])) {
        ++end;
    }
    std::string_view program = commandLine.substr(start, end - start);
    if (const std::size_t slash = program.find_last_of("/\\"); slash != std::string_view::npos) {
        program.remove_prefix(slash + 1);
    }
    return std::string(program);
}

} // namespace

std::string describeMacro(std::string_view text)
{
    std::string description;
    const auto add = [&description](const std::string& part) {
        if (!part.empty()) {
            description += (description.empty() ? "" : ", ") + part;
        }
    };
    std::size_t pos = 0;
    while (pos < text.size() && description.size() <= kMaxDescription) {
        const char command = text[pos++];
        switch (command) {
        case '"': {
            const std::size_t close = text.find('"', pos);
            const std::size_t end = close == std::string_view::npos ? text.size() : close;
            add("\"" + std::string(text.substr(pos, end - pos)) + "\"");
            pos = end == text.size() ? end : end + 1;
            break;
        }
        case '[':
            add(describeChord(text, pos));
            break;
        case '&':
        case '@': {
            const std::size_t close = text.find(command, pos);
            if (close == std::string_view::npos) {
                pos = text.size(); // acts on nothing
                break;
            }
            const std::string_view argument = text.substr(pos, close - pos);
            add(command == '&' ? "started " + programName(argument)
                               : "brought '" + std::string(argument) + "' to the front");
            pos = close + 1;
            break;
        }
        case '%':
            if (pos < text.size()) {
                add(text[pos] == '0' ? "minimised" : text[pos] == '1' ? "maximised" : "");
                ++pos;
            }
            break;
        default:
            break;
        }
    }
    if (description.empty()) {
        return "nothing";
    }
    if (description.size() > kMaxDescription) {
        description.resize(kMaxDescription);
        description += "...";
    }
    return description;
}

std::string describeMouseAction(RemoteKey key)
{
    switch (key) {
    case keys::Digit1:
        return "pointer up-left";
    case keys::Digit1 + 1:
        return "pointer up";
    case keys::Digit1 + 2:
        return "pointer up-right";
    case keys::Digit1 + 3:
        return "pointer left";
    case keys::Digit1 + 4:
        return "left click";
    case keys::Digit1 + 5:
        return "pointer right";
    case keys::Digit1 + 6:
        return "pointer down-left";
    case keys::Digit1 + 7:
        return "pointer down";
    case keys::Digit1 + 8:
        return "pointer down-right";
    case keys::Digit0:
        return "right click";
    case keys::Cancel:
        return "left button";
    case keys::Enter:
        return "right button";
    case keys::AirCable:
        return "double click";
    case keys::Inc:
        return "faster";
    case keys::Dec:
        return "slower";
    default:
        return "nothing in mouse mode";
    }
}

std::string keyFeedback(RemoteKey key, std::string_view what)
{
    const char* name = keyName(key);
    return std::string(name != nullptr ? name : "?") + ": " + std::string(what);
}

std::string unknownKeyFeedback(std::uint32_t code)
{
    char text[32];
    std::snprintf(text, sizeof text, "Unknown key 0x%02x", code);
    return text;
}

std::string unknownKeyFeedback(std::string_view name)
{
    return "Unknown key " + std::string(name);
}

} // namespace velora::remote
