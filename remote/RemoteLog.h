// The daemon's diagnostic log, "remote.log": one formatted text per line, appended and the
// file closed again each time. Suppressed until the settings say otherwise (setting Debug 0
// turns it on, any other value off).
#pragma once

#include <atomic>

#include "platform/LogFile.h"

namespace velora::remote {

class RemoteLog
{
public:
    explicit RemoteLog(platform::LogFile& file) : m_file(file) {}

    // Formats and appends one text, unless suppressed. Safe from any thread.
    void WriteLog(const char* format, ...) __attribute__((format(printf, 2, 3)));

    void setSuppressed(bool suppressed) { logSuppressed.store(suppressed); }
    bool suppressed() const { return logSuppressed.load(); }

private:
    platform::LogFile& m_file;
    std::atomic<bool> logSuppressed{true};
};

} // namespace velora::remote
