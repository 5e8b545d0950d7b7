#include "platform/SearchPathFileSystem.h"

#include <utility>

namespace velora::platform {

SearchPathFileSystem::SearchPathFileSystem(FileSystem& base, std::vector<std::string> folders) : m_base(base)
{
    for (std::string& folder : folders) {
        if (!folder.empty()) {
            m_folders.push_back(std::move(folder));
        }
    }
}

std::optional<std::string> SearchPathFileSystem::findIgnoringCase(const std::string& path)
{
    if (auto found = m_base.findIgnoringCase(path)) {
        return found;
    }
    if (path.empty() || path.front() == '/') {
        return std::nullopt;
    }
    for (const std::string& folder : m_folders) {
        const bool separator = folder.back() != '/';
        if (auto found = m_base.findIgnoringCase(folder + (separator ? "/" : "") + path)) {
            return found;
        }
    }
    return std::nullopt;
}

} // namespace velora::platform
