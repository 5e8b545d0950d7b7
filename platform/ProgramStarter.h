// Starting other programs from a command line, as a macro's "&...&" command does.
#pragma once

#include <string>
#include <string_view>
#include <vector>

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

// Splits a command line into words at blanks; double quotes group blanks into a word and
// are removed ("a \"b c\" d" gives a, b c, d). Empty quotes give an empty word.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

} // namespace velora::platform
