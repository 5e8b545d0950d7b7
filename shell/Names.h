// Names in the shell's list: how a name is shown, what kind of file it names, and the order
// of a directory listing.
#pragma once

#include "shell/EntryList.h"

#include <cstddef>
#include <span>
#include <string_view>

namespace velora::shell {

// Every ASCII capital after the first character becomes lower case; the first keeps its
// case (AUTOEXEC.BAT becomes Autoexec.bat). Other bytes are left alone.
void PrettifyName(std::span<char> name);

// Whether a name holds no ASCII lower-case letter, the test for prettifying it.
bool hasNoLowerCase(std::string_view name);

// Copies at most kNameMax bytes of text into out (kNameMax + 1 bytes) with a terminating
// NUL, and returns the length copied. A cut never ends inside a UTF-8 sequence.
std::size_t copyCut(std::string_view text, char* out);

// The kind of a file (not a directory) by its full name: the first of the extension groups
// "cpp"; "jpg", "jpeg", "gif", "tga", "pcx", "bmp"; "mp3", "wav"; "mp" that follows a dot
// anywhere in the name, ignoring case, else OtherFile. So clip.mpeg is a video and
// photo.bmp.txt an image.
EntryKind ClassifyFile(std::string_view name);

// Byte order with the ASCII letters compared as lower case; a prefix comes first.
int compareIgnoringCase(std::string_view a, std::string_view b);

// The order of a directory listing: by kind (directories, the typed kinds in contiguous
// groups, other files), then by name ignoring case. Names that differ only in case (one
// directory can hold both on Linux) are ordered by their bytes, so that no two different
// entries compare equal. Negative when a comes first.
int CompareEntries(const ShellEntry& a, const ShellEntry& b);

} // namespace velora::shell
