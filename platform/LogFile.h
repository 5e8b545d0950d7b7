// An append-only diagnostic log, such as the remote daemon's "remote.log".
#pragma once

#include <string_view>

namespace velora::platform {

class LogFile
{
public:
    virtual ~LogFile() = default;

    // Appends the text to the end of the log file: the file is opened (and created when
    // missing) for this one text and closed again, so that it can be read, moved or deleted
    // at any time. When the file cannot be opened the text is lost; nothing else happens.
    // Safe from any thread; texts from different threads do not interleave.
    virtual void append(std::string_view text) = 0;
};

} // namespace velora::platform
