#include "remote/MacroFile.h"

#include <cstring>

#include "remote/MacroCheck.h"
#include "remote/MacroText.h"

namespace velora::remote {
namespace {

// fgets reads at most 511 characters into a 512-byte buffer, up to and including a line feed.
constexpr std::size_t kLineMax = 511;

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

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

bool isHeaderKeyword(std::string_view token)
{
    return token == "Default" || token == "WhenActive" || token == "WhenClass";
}

// The key whose name the token spells in other letter case, if any.
const char* keyNameIgnoringCase(std::string_view token)
{
    for (RemoteKey key = 0; key < kKeyCount; ++key) {
        if (equalsIgnoringCase(token, keyName(key))) {
            return keyName(key);
        }
    }
    return nullptr;
}

class MacroFileParser
{
public:
    MacroFileParser(MacroTables& tables, std::vector<MacroDiagnostic>* diagnostics)
        : m_tables(tables), m_diagnostics(diagnostics)
    {}

    // The number in the file of the lines that follow, from 1.
    void setLineNumber(int number) { m_lineNumber = number; }

    void report(std::string message)
    {
        if (m_diagnostics != nullptr) {
            m_diagnostics->push_back(MacroDiagnostic{m_lineNumber, std::move(message)});
        }
    }

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
        if (*token == "WhenActive" || *token == "WhenClass") {
            const bool byClass = *token == "WhenClass";
            const auto pattern = tokens.next("\"");
            if (!pattern) {
                // No title: no section opens.
                report(std::string(*token) + " without a " + (byClass ? "class" : "title") +
                       ": no section opens, and the key lines up to the next header are ignored");
                return;
            }
            if (m_tables.scopeCount >= kMaxScopes) {
                // No room for another scope: the section is read, so that its lines are not
                // taken for headers, but its bindings go nowhere.
                report("more than " + std::to_string(kMaxScopes - 1) +
                       " WhenActive and WhenClass sections: this section is ignored");
                m_discarded = MacroScope{};
                m_scope = &m_discarded;
                return;
            }
            m_scope = &m_tables.scopes[static_cast<std::size_t>(m_tables.scopeCount++)];
            m_scope->titlePattern = std::string(*pattern);
            m_scope->matchesClass = byClass;
            (byClass ? m_tables.hasClassScopes : m_tables.hasTitleScopes) = true;
            return;
        }
        if (*token == "End") {
            report("End outside a section: ignored");
        } else if (equalsIgnoringCase(*token, "Default") || equalsIgnoringCase(*token, "WhenActive") ||
                   equalsIgnoringCase(*token, "WhenClass")) {
            report("'" + std::string(*token) +
                   "' is not a section header: Default, WhenActive and WhenClass are written in this letter case; "
                   "the line is ignored");
        } else {
            report("'" + std::string(*token) +
                   "' is not a section header (Default, WhenActive \"title\" or WhenClass \"class\"): "
                   "the line is ignored");
        }
    }

    // Why a key line's token is no key name.
    void reportUnknownKey(std::string_view token)
    {
        if (token.front() == '#') {
            return; // a comment
        }
        const std::string quoted = "'" + std::string(token) + "'";
        if (isHeaderKeyword(token)) {
            report(quoted + " inside a section (is the End before it missing?): the line is ignored");
        } else if (const char* name = keyNameIgnoringCase(token)) {
            report("unknown key name " + quoted + ": key names are case-sensitive (" + name + "); the line is ignored");
        } else if (const std::size_t tab = token.find('\t');
                   tab != std::string_view::npos && findKeyName(token.substr(0, tab))) {
            report("a tab after the key name " + std::string(token.substr(0, tab)) +
                   " does not end it (write a colon or a space): the line is ignored");
        } else {
            report("unknown key name " + quoted + ": the line is ignored");
        }
    }

    void insideSection(std::string_view text)
    {
        std::size_t start = 0;
        while (start < text.size() && isMacroSpace(text[start])) {
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
            if (m_diagnostics != nullptr) {
                reportUnknownKey(*token);
            }
            return;
        }
        const auto macro = tokens.next("\n");
        auto& entry = m_scope->macros[static_cast<std::size_t>(*key)];
        if (macro) {
            entry = std::string(*macro);
            if (m_diagnostics != nullptr) {
                for (std::string& finding : checkMacroText(*macro)) {
                    report(std::string(*token) + ": " + finding);
                }
            }
        } else {
            entry.reset();
        }
    }

    MacroTables& m_tables;
    std::vector<MacroDiagnostic>* m_diagnostics;
    int m_lineNumber = 1;
    MacroScope* m_scope = nullptr;
    MacroScope m_discarded;
};

} // namespace

const std::string* MacroTables::lookup(RemoteKey key, std::string_view title,
                                       const platform::WindowClass& windowClass) const
{
    if (key < 0 || key >= kKeyCount) {
        return nullptr;
    }
    const auto index = static_cast<std::size_t>(key);
    for (int i = 1; i < scopeCount; ++i) {
        const MacroScope& scope = scopes[static_cast<std::size_t>(i)];
        const std::string& pattern = *scope.titlePattern;
        const bool matches =
            scope.matchesClass ? (!windowClass.instance.empty() && equalsIgnoringCase(pattern, windowClass.instance)) ||
                                     (!windowClass.name.empty() && equalsIgnoringCase(pattern, windowClass.name))
                               : title.find(pattern) != std::string_view::npos;
        if (!matches) {
            continue;
        }
        if (scope.macros[index]) {
            return &*scope.macros[index];
        }
    }
    return scopes[0].macros[index] ? &*scopes[0].macros[index] : nullptr;
}

std::unique_ptr<MacroTables> parseMacroFile(std::string_view text, std::vector<MacroDiagnostic>* diagnostics)
{
    auto tables = std::make_unique<MacroTables>();
    MacroFileParser parser(*tables, diagnostics);
    int lineNumber = 1;
    bool lineStart = true;
    while (!text.empty()) {
        // One fgets: up to and including a line feed, at most 511 characters.
        const std::size_t feed = text.find('\n');
        std::size_t length = feed == std::string_view::npos ? text.size() : feed + 1;
        parser.setLineNumber(lineNumber);
        if (length > kLineMax) {
            if (lineStart) {
                parser.report("line of " + std::to_string(feed == std::string_view::npos ? length : feed) +
                              " characters: read as several lines of at most " + std::to_string(kLineMax));
            }
            length = kLineMax;
        }
        parser.line(text.substr(0, length));
        lineStart = text[length - 1] == '\n';
        if (lineStart) {
            ++lineNumber;
        }
        text.remove_prefix(length);
    }
    return tables;
}

} // namespace velora::remote
