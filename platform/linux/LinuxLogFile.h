// The log file on Linux: every text is appended with one write() on a descriptor opened
// with O_APPEND for that text alone, so that the file can be moved or deleted between two
// texts and other processes appending to the same file never overwrite each other.
#pragma once

#include "platform/LogFile.h"

#include <cstddef>
#include <mutex>
#include <string>

namespace velora::platform {

class LinuxLogFile final : public LogFile
{
public:
    // A relative path is taken from the current folder at the time of each append, as the
    // daemon's "remote.log" is: the daemon makes its own folder current at start. With a
    // rotateAt above 0, a text that finds the file at that size or larger first moves it to
    // "<path>.1" (replacing an older one) and starts a new file: the log keeps its latest
    // texts and one older file, and never grows without end.
    explicit LinuxLogFile(std::string path, std::size_t rotateAt = 0);

    // Creates a missing file with mode 0644 less the umask.
    void append(std::string_view text) override;

private:
    int openLog();

    const std::string m_path;
    const std::size_t m_rotateAt;
    std::mutex m_mutex;
};

} // namespace velora::platform
