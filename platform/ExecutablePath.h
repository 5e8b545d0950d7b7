// Where the running program lives.
#pragma once

#include <string>

namespace velora::platform {

// The full path of the running program's executable file, or an empty text when the
// system cannot tell.
std::string executablePath();

// The folder that holds the running program, without a trailing separator; empty when
// unknown.
std::string executableDirectory();

// The folder of the binary that holds this code: the shared library it is built into (the
// tuner library, inside a viewer's process) or else the program. Empty when unknown.
std::string moduleDirectory();

} // namespace velora::platform
