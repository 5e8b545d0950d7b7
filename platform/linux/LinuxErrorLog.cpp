// Failures go to standard error, prefixed with the name the program was started by as
// command-line tools do, and to syslog at error priority, where the journal keeps them.
#include "platform/ErrorLog.h"

#include <cerrno>
#include <string>

#include <syslog.h>
#include <unistd.h>

namespace velora::platform {
namespace {

class LinuxErrorLog final : public ErrorLog
{
public:
    void report(std::string_view text) override
    {
        // One line each way: line ends inside the text would split it in the journal.
        std::string line(text);
        for (char& c : line) {
            if (c == '\n' || c == '\r') {
                c = ' ';
            }
        }
        syslog(LOG_ERR, "%s", line.c_str());
        std::string out = std::string(program_invocation_short_name) + ": " + line + "\n";
        // One write call, so that lines from several threads do not interleave.
        if (::write(STDERR_FILENO, out.data(), out.size()) < 0) {
            // Nothing sensible to do when standard error is gone; the journal has it.
        }
    }
};

} // namespace

ErrorLog& systemErrorLog()
{
    static LinuxErrorLog log;
    return log;
}

} // namespace velora::platform
