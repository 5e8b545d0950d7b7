// Starting other programs from a command line, as a macro's "&...&" command does.
//
// Threads: start may be called from any thread, also at the same time (macros play on the
// remote daemon's timer threads); it returns without waiting for the program. A program name
// found in the current folder is looked up in the process's current directory at the moment
// of the call (see Directories.h).
#pragma once

#include <string_view>

namespace velora::platform {

class ProgramStarter
{
public:
    virtual ~ProgramStarter() = default;

    // Starts the command line as a program of its own, without a shell, and returns at once:
    // the program runs on after the caller, and its end is not waited for. A program name
    // without a "/" is looked for in the starting program's own folder, then in the current
    // folder, then on PATH. Returns false when no such program could be started; callers
    // that have nothing to say about it may ignore the result.
    virtual bool start(std::string_view commandLine) = 0;
};

} // namespace velora::platform
