// The process's current folder for a test that changes it: changed to a folder while this
// lives, and back to the one it was before afterwards, whatever the test changed it to.
#pragma once

#include <filesystem>

namespace velora::test {

class CurrentFolder
{
public:
    explicit CurrentFolder(const std::filesystem::path& folder) { std::filesystem::current_path(folder); }
    ~CurrentFolder()
    {
        std::error_code ignored;
        std::filesystem::current_path(m_previous, ignored);
    }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    std::filesystem::path m_previous = std::filesystem::current_path();
};

} // namespace velora::test
