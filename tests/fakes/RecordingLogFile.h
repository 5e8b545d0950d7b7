#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/LogFile.h"

namespace velora::test {

class RecordingLogFile final : public platform::LogFile
{
public:
    void append(std::string_view text) override
    {
        std::lock_guard lock(m_mutex);
        m_lines.emplace_back(text);
    }
    std::vector<std::string> lines() const
    {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }

    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_lines.clear();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

} // namespace velora::test
