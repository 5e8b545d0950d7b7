// Starting programs on Linux: the command line is split into words (no shell), the program
// is looked up and started with posix_spawn as a detached process of its own.
//
// The child gets the caller's environment, a session of its own (so that it does not share
// the daemon's terminal or die with its process group), /dev/null as standard input, no
// blocked signals and every signal at its default action (a Qt program blocks and ignores
// some), and none of the caller's descriptors beyond 0, 1 and 2 (closed explicitly where
// the C library offers it, glibc 2.34 and later; before that only descriptors opened with
// O_CLOEXEC stay behind). A detached thread waits for the child, so that no zombie stays
// behind; nothing else waits for it.
#pragma once

#include "platform/ProgramStarter.h"

#include <optional>
#include <string>

namespace velora::platform {

class LinuxProgramStarter final : public ProgramStarter
{
public:
    // programFolder is the starting program's own folder, searched first for names without
    // a "/"; empty skips that step.
    explicit LinuxProgramStarter(std::string programFolder);

    // False for an empty command line, a program that is not an executable regular file
    // where it was looked for, or a failed spawn; nothing is printed in any case.
    bool start(std::string_view commandLine) override;

private:
    std::optional<std::string> findProgram(const std::string& name) const;

    const std::string m_programFolder;
};

} // namespace velora::platform
