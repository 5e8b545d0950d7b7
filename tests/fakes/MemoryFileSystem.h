// Files held in memory by path. Lookups ignore case per path component as the real file
// system backend does, preferring an exact match.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/FileSystem.h"
#include "platform/ProfileFormat.h"

namespace velora::test {

class MemoryFileSystem final : public platform::FileSystem
{
public:
    void put(const std::string& path, std::string text) { m_files[path] = std::move(text); }
    void remove(const std::string& path) { m_files.erase(path); }

    std::optional<std::string> findIgnoringCase(const std::string& path) override
    {
        if (m_files.count(path) != 0) {
            return path;
        }
        for (const auto& entry : m_files) {
            if (platform::equalsIgnoringCase(entry.first, path)) {
                return entry.first;
            }
        }
        return std::nullopt;
    }

    std::optional<std::string> readText(const std::string& path) override
    {
        const auto it = m_files.find(path);
        if (it == m_files.end()) {
            return std::nullopt;
        }
        std::string text;
        const std::string& raw = it->second;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (!(raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')) {
                text.push_back(raw[i]);
            }
        }
        return text;
    }

private:
    std::map<std::string, std::string> m_files;
};

} // namespace velora::test
