// A private temporary folder for one test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <string>

namespace velora::test {

class TempDir
{
public:
    // The folder's name starts with prefix, under the system's temporary folder.
    explicit TempDir(const std::string& prefix = "velora-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool valid() const { return !m_path.empty(); }
    const std::filesystem::path& path() const { return m_path; }
    std::string file(const std::string& name) const { return (m_path / name).string(); }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

    // Writes a file below the folder, making the folders on the way; its path.
    std::filesystem::path write(const std::string& relative, const std::string& bytes) const;
    // Makes a folder below this one (and those on the way); its path.
    std::filesystem::path makeFolder(const std::string& relative) const;

private:
    std::filesystem::path m_path;
};

// The whole of a file, empty when it cannot be read.
std::string readFile(const std::filesystem::path& path);

} // namespace velora::test
