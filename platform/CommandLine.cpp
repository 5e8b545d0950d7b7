#include "platform/CommandLine.h"

#include <utility>

namespace velora::platform {

std::vector<std::string> splitCommandLine(std::string_view commandLine)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false; // a word has begun, possibly with an empty pair of quotes
    bool quoted = false;
    for (const char c : commandLine) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (inWord) {
                words.push_back(std::move(word));
                word.clear();
                inWord = false;
            }
        } else {
            word += c;
            inWord = true;
        }
    }
    // An unterminated quote simply runs to the end of the line.
    if (inWord) {
        words.push_back(std::move(word));
    }
    return words;
}

} // namespace velora::platform
