// The daemon's diagnostic log, "remote.log": one formatted text per line, appended and the
// file closed again each time. Suppressed until the settings say otherwise (setting Debug 0
// turns it on, any other value off).
#pragma once

#include <atomic>
#include <cstdarg>

#include "platform/LogFile.h"

namespace velora::remote {

class RemoteLog
{
public:
    explicit RemoteLog(platform::LogFile& file) : m_file(file) {}

    // Formats and appends one text, unless suppressed. Safe from any thread.
    void WriteLog(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // The same, written whatever Debug says: for what the user needs to know (a macro file's
    // skipped lines, its reloads), not for debugging.
    void WriteNotice(const char* format, ...) __attribute__((format(printf, 2, 3)));

    void setSuppressed(bool suppressed) { logSuppressed.store(suppressed); }
    bool suppressed() const { return logSuppressed.load(); }

private:
    void write(const char* format, va_list args) __attribute__((format(printf, 2, 0)));

    platform::LogFile& m_file;
    std::atomic<bool> logSuppressed{true};
};

} // namespace velora::remote
