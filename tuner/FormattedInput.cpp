#include "tuner/FormattedInput.h"

#include <limits>
#include <string>

namespace velora {
namespace {

bool isSpace(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int digitValue(unsigned char c, int base)
{
    int value = -1;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        value = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        value = c - 'A' + 10;
    }
    return value < base ? value : -1;
}

// The magnitude of a digit string, saturated at the largest 64-bit value, as strtoul and
// strtol see it before they apply the sign.
std::uint64_t magnitude(std::string_view digits, int base, bool& overflow)
{
    std::uint64_t value = 0;
    overflow = false;
    const auto max = std::numeric_limits<std::uint64_t>::max();
    for (const char c : digits) {
        const auto digit = static_cast<std::uint64_t>(digitValue(static_cast<unsigned char>(c), base));
        if (value > (max - digit) / static_cast<std::uint64_t>(base)) {
            overflow = true;
            return max;
        }
        value = value * static_cast<std::uint64_t>(base) + digit;
    }
    return value;
}

// "%x": strtoul on a 64-bit long, then the low 32 bits into the unsigned field.
std::uint32_t unsignedValue(bool negative, std::string_view digits)
{
    bool overflow = false;
    std::uint64_t value = magnitude(digits, 16, overflow);
    if (!overflow && negative) {
        value = 0 - value;
    }
    return static_cast<std::uint32_t>(value);
}

// "%d": strtol on a 64-bit long (saturating at its limits), then the low 32 bits.
std::int32_t signedValue(bool negative, std::string_view digits)
{
    bool overflow = false;
    const std::uint64_t value = magnitude(digits, 10, overflow);
    const std::uint64_t limit = negative ? (std::uint64_t{1} << 63) : (std::uint64_t{1} << 63) - 1;
    std::uint64_t bits = overflow || value > limit ? limit : value;
    if (negative) {
        bits = 0 - bits;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(bits));
}

} // namespace

void FormattedInput::skipSpace()
{
    while (!atEnd() && isSpace(peek())) {
        ++m_pos;
    }
}

FormattedInput::Conversion FormattedInput::convert(char specifier, Target target)
{
    const int base = specifier == 'x' ? 16 : 10;
    skipSpace();
    if (atEnd()) {
        return Conversion::InputEnded;
    }
    bool negative = false;
    if (peek() == '-' || peek() == '+') {
        negative = peek() == '-';
        ++m_pos;
    }
    std::string digits;
    if (!atEnd() && peek() == '0') {
        digits.push_back('0');
        ++m_pos;
        if (base == 16 && !atEnd() && (peek() == 'x' || peek() == 'X')) {
            ++m_pos; // the prefix, not a digit; it stays consumed even when no digit follows
        }
    }
    while (!atEnd() && digitValue(peek(), base) >= 0) {
        digits.push_back(static_cast<char>(peek()));
        ++m_pos;
    }
    if (digits.empty()) {
        return Conversion::Failed;
    }
    if (auto* field = std::get_if<std::uint32_t*>(&target); field != nullptr && *field != nullptr) {
        **field =
            base == 16 ? unsignedValue(negative, digits) : static_cast<std::uint32_t>(signedValue(negative, digits));
    } else if (auto* signedField = std::get_if<std::int32_t*>(&target);
               signedField != nullptr && *signedField != nullptr) {
        **signedField =
            base == 16 ? static_cast<std::int32_t>(unsignedValue(negative, digits)) : signedValue(negative, digits);
    }
    return Conversion::Stored;
}

int FormattedInput::scan(std::string_view format, Target target)
{
    int stored = 0;
    for (std::size_t f = 0; f < format.size(); ++f) {
        const auto fc = static_cast<unsigned char>(format[f]);
        if (isSpace(fc)) {
            skipSpace();
            continue;
        }
        if (fc == '%' && f + 1 < format.size() && (format[f + 1] == 'x' || format[f + 1] == 'd')) {
            ++f;
            switch (convert(format[f], target)) {
            case Conversion::Stored:
                ++stored;
                continue;
            case Conversion::Failed:
                return stored;
            case Conversion::InputEnded:
                return stored == 0 ? -1 : stored;
            }
        }
        // A literal character ("%%" is not needed by any format and is read as "%").
        if (atEnd()) {
            return stored == 0 ? -1 : stored;
        }
        if (peek() != fc) {
            return stored;
        }
        ++m_pos;
    }
    return stored;
}

} // namespace velora
