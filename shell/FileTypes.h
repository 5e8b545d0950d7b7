// The kind of a file that the extension table does not know, from the desktop's database of
// file types (the names of video, sound, picture and source files of every kind).
#pragma once

#include "shell/EntryList.h"

#include <string_view>

namespace velora::shell {

class FileTypes
{
public:
    virtual ~FileTypes() = default;

    // The kind of a file (not a directory) by its name alone, without reading it: VideoFile,
    // AudioFile, ImageFile, SourceFile, or OtherFile for every other type and unknown names.
    virtual EntryKind kindOf(std::string_view fileName) = 0;
};

} // namespace velora::shell
