// What a macro text does that its writer may not mean: the parts the player cuts short or
// cannot act on. The loader reports these for each bound key line, so that a typo shows up
// in remote.log with its line rather than as a key that silently does something else.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velora::remote {

// One sentence per finding, "what and why", in the order of the text: a program start or
// window activation without its closing character (it does nothing) or longer than the 99
// characters kept, a chord of more than 100 keys or with a key name over 99 characters (both
// cut), and a chord name that starts like a virtual-key name but is none ("VK_RETRUN" presses
// the key of its first letter). Empty for a text that plays as written.
std::vector<std::string> checkMacroText(std::string_view text);

} // namespace velora::remote
