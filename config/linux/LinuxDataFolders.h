// The data folders beside the program, read from the file system.
#pragma once

#include "config/SystemLists.h"

#include <string>
#include <string_view>
#include <vector>

namespace velora::config {

class LinuxDataFolders final : public DataFolderSource
{
public:
    // base is the folder that holds the data folders (the program's own folder).
    explicit LinuxDataFolders(std::string base);

    // The folder is the entry of base with exactly that name when it is a folder, else the
    // first folder, in byte order, whose name equals it without regard to case. Lists the
    // regular files in it (symbolic links to regular files included), dot files too.
    std::vector<std::string> fileNames(std::string_view folder) override;

private:
    std::string m_base;
};

} // namespace velora::config
