// Data files found in more than one place: a relative path that is not found from the current
// folder is looked for in further folders, in order. The system-wide install uses it to find
// the suite folder's data files and then the user's own ones ($XDG_DATA_HOME/velora).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace velora::platform {

class SearchPathFileSystem final : public FileSystem
{
public:
    // folders: where a relative path is looked for after the current folder; empty entries
    // are skipped. Without folders this behaves as base does.
    SearchPathFileSystem(FileSystem& base, std::vector<std::string> folders);

    // The path from the current folder when it is found there (or when it is absolute), else
    // the first folder's that has it, each matched as base matches (without regard to case).
    std::optional<std::string> findIgnoringCase(const std::string& path) override;
    std::optional<std::string> readText(const std::string& path) override { return m_base.readText(path); }

    const std::vector<std::string>& folders() const { return m_folders; }

private:
    FileSystem& m_base;
    std::vector<std::string> m_folders;
};

} // namespace velora::platform
