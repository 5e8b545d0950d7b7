#include "tuner/FormattedInput.h"

#include <cstdio>
#include <string>
#include <type_traits>

namespace velora {

// fscanf stores "%x" into an unsigned int and "%d" into an int: the fields must be those.
static_assert(std::is_same_v<std::uint32_t, unsigned int> && std::is_same_v<std::int32_t, int>);

FormattedInput::FormattedInput(std::string_view text) : m_stream(std::string(text)) {}

int FormattedInput::scan(const char* format, std::uint32_t* field)
{
    return m_stream.get() != nullptr ? std::fscanf(m_stream.get(), format, field) : EOF;
}

int FormattedInput::scan(const char* format, std::int32_t* field)
{
    return m_stream.get() != nullptr ? std::fscanf(m_stream.get(), format, field) : EOF;
}

std::size_t FormattedInput::position() const
{
    const long position = m_stream.get() != nullptr ? std::ftell(m_stream.get()) : 0;
    return position > 0 ? static_cast<std::size_t>(position) : 0;
}

} // namespace velora
