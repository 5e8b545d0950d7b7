#include "remote/RemoteLog.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace velora::remote {

void RemoteLog::WriteLog(const char* format, ...)
{
    if (logSuppressed.load()) {
        return;
    }
    va_list args;
    va_start(args, format);
    write(format, args);
    va_end(args);
}

void RemoteLog::WriteNotice(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    write(format, args);
    va_end(args);
}

void RemoteLog::write(const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    char small[256];
    const int length = std::vsnprintf(small, sizeof small, format, args);
    if (length < 0) {
        va_end(copy);
        return;
    }
    if (static_cast<std::size_t>(length) < sizeof small) {
        va_end(copy);
        m_file.append(std::string_view(small, static_cast<std::size_t>(length)));
        return;
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, copy);
    va_end(copy);
    text.resize(static_cast<std::size_t>(length));
    m_file.append(text);
}

} // namespace velora::remote
