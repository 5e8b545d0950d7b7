// Formatted input over a text, with the rules of the C library's fscanf for the directives
// that description files use: literal characters, white space, "%x" and "%d".
//
// Description files are read one line per call with formats such as "VHFLow=0x%x\n", and
// the results of the calls are never looked at; what a malformed file yields therefore
// depends on exactly how far each call reads. This reader keeps the C library's behaviour
// to the character:
// - a white-space directive skips any run of white space, none included;
// - a literal character must match the next character; at the first mismatch the call
//   stops and the mismatching character stays unread for the next call;
// - "%x" and "%d" skip white space, take an optional sign, then digits ("%x" also takes a
//   "0x" or "0X" prefix); a conversion without digits stores nothing and stops the call,
//   the sign it took staying consumed;
// - numbers out of range are cut the way the C library does (strtoul or strtol, then the
//   low 32 bits).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <variant>

namespace velora {

class FormattedInput
{
public:
    // Where a conversion stores its value: "%x" needs an unsigned field, "%d" a signed one.
    using Target = std::variant<std::monostate, std::uint32_t*, std::int32_t*>;

    explicit FormattedInput(std::string_view text) : m_text(text) {}

    // Reads input by the format, storing the value of its one conversion (if any) into target.
    // Returns the number of values stored, or -1 when the input ended before the first
    // conversion (as fscanf returns EOF).
    int scan(std::string_view format, Target target = std::monostate{});

    // How many characters have been consumed so far.
    std::size_t position() const { return m_pos; }

private:
    bool atEnd() const { return m_pos >= m_text.size(); }
    unsigned char peek() const { return static_cast<unsigned char>(m_text[m_pos]); }
    void skipSpace();
    enum class Conversion { Stored, Failed, InputEnded };
    Conversion convert(char specifier, Target target);

    std::string_view m_text;
    std::size_t m_pos = 0;
};

} // namespace velora
