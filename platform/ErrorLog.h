// Where a program reports a failure that the user should be able to find afterwards, beside
// any message box it shows: on Linux, standard error and the system log (the journal).
#pragma once

#include <string_view>

namespace velora::platform {

class ErrorLog
{
public:
    virtual ~ErrorLog() = default;

    // Reports one failure: a text of one line, without a line end. Never fails outward.
    virtual void report(std::string_view text) = 0;
};

// The system's: a line "<program>: <text>" on standard error, where <program> is the name
// the program was started by, and the text at error priority in syslog.
ErrorLog& systemErrorLog();

} // namespace velora::platform
