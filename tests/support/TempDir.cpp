#include "tests/support/TempDir.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace velora::test {

TempDir::TempDir(const std::string& prefix)
{
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (char* made = ::mkdtemp(pattern.data())) {
        m_path = made;
    }
}

TempDir::~TempDir()
{
    if (m_path.empty()) {
        return;
    }
    // A test may have made parts read-only; give them back first so that all can go.
    std::error_code ignored;
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
        }
    }
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    std::filesystem::remove_all(m_path, ignored);
}

std::filesystem::path TempDir::write(const std::string& relative, const std::string& bytes) const
{
    const std::filesystem::path file = m_path / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
    return file;
}

std::filesystem::path TempDir::makeFolder(const std::string& relative) const
{
    std::filesystem::create_directories(m_path / relative);
    return m_path / relative;
}

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace velora::test
