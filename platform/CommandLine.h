// Command lines as a macro's "&...&" command writes them: words at blanks, with double quotes
// grouping blanks into a word. The program starters split a line with this before they look
// the program up. A pure function: it may be called from any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velora::platform {

// Splits a command line into words at blanks; double quotes group blanks into a word and
// are removed ("a \"b c\" d" gives a, b c, d). Empty quotes give an empty word.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

} // namespace velora::platform
