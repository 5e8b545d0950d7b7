#include "remote/MacroCheck.h"

#include "remote/MacroPlayer.h"
#include "remote/MacroText.h"
#include "remote/VirtualKeys.h"

namespace velora::remote {
namespace {

bool isVirtualKeyName(std::string_view name)
{
    for (const VirtualKeyName& row : VirtualKeyTable) {
        if (name == row.name) {
            return true;
        }
    }
    return false;
}

// The chord that starts the text (after its "["), read as the player reads it; returns the
// position of its "]" or the end.
std::size_t checkChord(std::string_view text, std::vector<std::string>& findings)
{
    std::size_t keys = 0;
    return forEachChordKey(text, [&](std::string_view name) {
        if (++keys == MacroPlayer::kMaxChordKeys + 1) {
            findings.push_back("chord of more than " + std::to_string(MacroPlayer::kMaxChordKeys) +
                               " keys: the keys after the first " + std::to_string(MacroPlayer::kMaxChordKeys) +
                               " are dropped");
        }
        if (name.size() > MacroPlayer::kMaxKeyName) {
            findings.push_back("key name of " + std::to_string(name.size()) + " characters in a chord: cut at " +
                               std::to_string(MacroPlayer::kMaxKeyName));
        } else if (name.size() > 3 && name.substr(0, 3) == "VK_" && !isVirtualKeyName(name)) {
            findings.push_back("unknown key name '" + std::string(name) + "' in a chord: it presses the key " +
                               std::string(1, static_cast<char>(LookupVirtualKey(name))) + " instead");
        }
    });
}

} // namespace

std::vector<std::string> checkMacroText(std::string_view text)
{
    std::vector<std::string> findings;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char command = text[pos++];
        const std::string_view rest = text.substr(pos);
        switch (command) {
        case '"': {
            const std::size_t close = rest.find('"');
            pos = close == std::string_view::npos ? text.size() : pos + close + 1;
            break;
        }
        case '[':
            pos += checkChord(rest, findings);
            break;
        case '&':
        case '@': {
            const bool start = command == '&';
            const std::size_t close = rest.find(command);
            if (close == std::string_view::npos) {
                findings.push_back(std::string("'") + command + "' without its closing '" + command +
                                   "': " + (start ? "no program is started" : "no window is brought to the front"));
                return findings;
            }
            if (close > MacroPlayer::kMaxCommandText) {
                findings.push_back(std::string(start ? "command line" : "window title") + " of " +
                                   std::to_string(close) + " characters: cut at " +
                                   std::to_string(MacroPlayer::kMaxCommandText));
            }
            pos += close + 1;
            break;
        }
        case '%':
            ++pos;
            break;
        default:
            break;
        }
    }
    return findings;
}

} // namespace velora::remote
