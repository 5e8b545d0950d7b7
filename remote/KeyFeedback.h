// The short texts the on-screen feedback shows for each remote key: the key's name and what
// it did, "Down: VK_DOWN", "FullScreen: started KavoShell", "Mouse mode", "Unknown key 0x07".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "remote/RemoteKeys.h"

namespace velora::remote {

// What playing a macro text does, in a few words: chords as their key names joined by "+"
// ("VK_CONTROL+C"), typed text in quotes, "started" and the program's name, "brought 'title'
// to the front", "minimised" or "maximised", separated by commas; "nothing" for a text that
// plays nothing. Long descriptions end in "...".
std::string describeMacro(std::string_view text);

// What a key does in mouse mode: "pointer up-left", "left click", "faster", ...
std::string describeMouseAction(RemoteKey key);

// "Name: what" for a key that played a macro or acted in mouse mode.
std::string keyFeedback(RemoteKey key, std::string_view what);

// For a code the remote's receiver or an event source does not know.
std::string unknownKeyFeedback(std::uint32_t code);
std::string unknownKeyFeedback(std::string_view name);

} // namespace velora::remote
