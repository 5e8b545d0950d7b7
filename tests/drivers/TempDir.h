// A private temporary folder for one test, removed with everything in it afterwards, so that
// tests of the virtual card never touch the user's real card state.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace velora::testing {

class TempDir
{
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "velora-card-test-XXXXXX").string();
        if (char* made = ::mkdtemp(pattern.data())) {
            m_path = made;
        }
    }
    ~TempDir()
    {
        std::error_code ignored;
        if (!m_path.empty()) {
            std::filesystem::remove_all(m_path, ignored);
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool valid() const { return !m_path.empty(); }
    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

} // namespace velora::testing
