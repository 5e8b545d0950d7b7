#include "remote/MacroFile.h"

#include <cstring>

namespace velora::remote {
namespace {

// fgets reads at most 511 characters into a 512-byte buffer, up to and including a line feed.
constexpr std::size_t kLineMax = 511;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The C library's strtok over a string_view: skips leading delimiters, returns the token up
// to the next delimiter, and continues after that one delimiter on the next call.
class Tokenizer
{
public:
    explicit Tokenizer(std::string_view text) : m_rest(text) {}

    std::optional<std::string_view> next(std::string_view delimiters)
    {
        if (m_done) {
            return std::nullopt;
        }
        const std::size_t start = m_rest.find_first_not_of(delimiters);
        if (start == std::string_view::npos) {
            m_done = true;
            return std::nullopt;
        }
        const std::size_t end = m_rest.find_first_of(delimiters, start);
        const std::string_view token = m_rest.substr(start, end == std::string_view::npos ? end : end - start);
        if (end == std::string_view::npos) {
            m_done = true;
        } else {
            m_rest = m_rest.substr(end + 1);
        }
        return token;
    }

private:
    std::string_view m_rest;
    bool m_done = false;
};

class MacroFileParser
{
public:
    explicit MacroFileParser(MacroTables& tables) : m_tables(tables) {}

    void line(std::string_view text)
    {
        // The string functions stop at a zero byte, as they do in a C buffer.
        if (const auto nul = text.find('\0'); nul != std::string_view::npos) {
            text = text.substr(0, nul);
        }
        if (m_scope == nullptr) {
            betweenSections(text);
        } else {
            insideSection(text);
        }
    }

private:
    void betweenSections(std::string_view text)
    {
        if (!text.empty() && text.front() == '#') {
            return;
        }
        const std::size_t end = text.find_first_of("\r\n");
        if (end != std::string_view::npos) {
            text = text.substr(0, end);
        }
        Tokenizer tokens(text);
        const auto token = tokens.next(" \"");
        if (!token) {
            return;
        }
        if (*token == "Default") {
            m_scope = &m_tables.scopes[0];
            m_scope->titlePattern.reset();
            return;
        }
        if (*token == "WhenActive") {
            const auto pattern = tokens.next("\"");
            if (!pattern) {
                return; // no title: no section opens
            }
            if (m_tables.scopeCount >= kMaxScopes) {
                // No room for another scope: the section is read, so that its lines are not
                // taken for headers, but its bindings go nowhere.
                m_discarded = MacroScope{};
                m_scope = &m_discarded;
                return;
            }
            m_scope = &m_tables.scopes[static_cast<std::size_t>(m_tables.scopeCount++)];
            m_scope->titlePattern = std::string(*pattern);
        }
    }

    void insideSection(std::string_view text)
    {
        std::size_t start = 0;
        while (start < text.size() && isSpace(text[start])) {
            ++start;
        }
        Tokenizer tokens(text.substr(start));
        const auto token = tokens.next(": \n");
        if (!token) {
            return;
        }
        if (*token == "End") {
            m_scope = nullptr;
            return;
        }
        const auto key = findKeyName(*token);
        if (!key) {
            return;
        }
        const auto macro = tokens.next("\n");
        auto& entry = m_scope->macros[static_cast<std::size_t>(*key)];
        if (macro) {
            entry = std::string(*macro);
        } else {
            entry.reset();
        }
    }

    MacroTables& m_tables;
    MacroScope* m_scope = nullptr;
    MacroScope m_discarded;
};

} // namespace

const std::string* MacroTables::lookup(RemoteKey key, std::string_view title) const
{
    if (key < 0 || key >= kKeyCount) {
        return nullptr;
    }
    const auto index = static_cast<std::size_t>(key);
    for (int i = 1; i < scopeCount; ++i) {
        const MacroScope& scope = scopes[static_cast<std::size_t>(i)];
        if (title.find(*scope.titlePattern) == std::string_view::npos) {
            continue;
        }
        if (scope.macros[index]) {
            return &*scope.macros[index];
        }
    }
    return scopes[0].macros[index] ? &*scopes[0].macros[index] : nullptr;
}

std::unique_ptr<MacroTables> parseMacroFile(std::string_view text)
{
    auto tables = std::make_unique<MacroTables>();
    MacroFileParser parser(*tables);
    while (!text.empty()) {
        // One fgets: up to and including a line feed, at most 511 characters.
        std::size_t length = text.find('\n');
        length = length == std::string_view::npos ? text.size() : length + 1;
        if (length > kLineMax) {
            length = kLineMax;
        }
        parser.line(text.substr(0, length));
        text.remove_prefix(length);
    }
    return tables;
}

} // namespace velora::remote
