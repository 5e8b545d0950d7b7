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

} // namespace velora::platform
