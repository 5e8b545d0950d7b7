// A profile kept in memory: the text of each file, keyed by the path exactly as callers
// pass it (no folder is resolved). Reads and writes go through the same text functions as
// the real profile, so the format behaves the same; tests look at or set the file texts
// directly and can make writes fail.
#pragma once

#include "platform/Profile.h"
#include "platform/ProfileFormat.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace velora::test {

class MemoryProfile : public platform::Profile
{
public:
    // The text of a file, or nothing when it does not exist.
    std::optional<std::string> text(std::string_view path) const
    {
        const auto found = m_files.find(std::string(path));
        if (found == m_files.end()) {
            return std::nullopt;
        }
        return found->second;
    }

    void setText(std::string_view path, std::string_view text) { m_files[std::string(path)] = std::string(text); }

    void removeFile(std::string_view path) { m_files.erase(std::string(path)); }

    // While set, every write returns false and changes nothing, like a write to a full disk.
    void setFailWrites(bool fail) { m_failWrites = fail; }

    // How many writes were asked for, successful or not.
    int writeCount() const { return m_writeCount; }

    std::string readString(std::string_view path, std::string_view section, std::string_view key,
                           std::string_view defaultValue, std::size_t maxChars = platform::kProfileTextMax) override
    {
        return platform::profileReadString(view(path), section, key, defaultValue, maxChars);
    }

    std::int32_t readInt(std::string_view path, std::string_view section, std::string_view key,
                         std::int32_t defaultValue) override
    {
        return platform::profileReadInt(view(path), section, key, defaultValue);
    }

    bool writeString(std::string_view path, std::string_view section, std::string_view key,
                     std::string_view value) override
    {
        ++m_writeCount;
        if (m_failWrites || path.empty() || !platform::isStorableProfileEntry(section, key, value)) {
            return false;
        }
        std::string& file = m_files[std::string(path)];
        file = platform::setProfileValue(file, section, key, value);
        return true;
    }

private:
    std::optional<std::string_view> view(std::string_view path) const
    {
        const auto found = m_files.find(std::string(path));
        if (found == m_files.end()) {
            return std::nullopt;
        }
        return std::string_view(found->second);
    }

    std::map<std::string, std::string> m_files;
    bool m_failWrites = false;
    int m_writeCount = 0;
};

} // namespace velora::test
