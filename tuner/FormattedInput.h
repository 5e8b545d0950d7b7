// Formatted input over a text by the C library's own scanner: the text goes to fscanf
// through a memory stream (platform/MemoryStream.h), so that every rule of the directives
// description files use (white space, literal characters, "%x" and "%d" with their signs,
// "0x" prefixes and out-of-range values) holds exactly as the C library has it.
//
// Description files are read one line per call with formats such as "VHFLow=0x%x\n", and
// the results of the calls are never looked at; what a malformed file yields therefore
// depends on exactly how far each call reads, which is why the scanner is the C library's
// and not a second implementation of its rules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/MemoryStream.h"

namespace velora {

class FormattedInput
{
public:
    explicit FormattedInput(std::string_view text);

    // Reads input by a format with one conversion, "%x" for an unsigned field or "%d" for a
    // signed one, and stores its value into the field. Returns what fscanf returns: the
    // number of values stored, or -1 (EOF) when the input ended before the first conversion.
    int scan(const char* format, std::uint32_t* field);
    int scan(const char* format, std::int32_t* field);

    // How many characters have been consumed so far.
    std::size_t position() const;

private:
    platform::MemoryStream m_stream;
};

} // namespace velora
