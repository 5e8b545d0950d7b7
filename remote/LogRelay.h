// Lines for remote.log from a part that starts before the daemon's log exists and may go on
// writing from a thread of its own (the Wayland desktop): they are kept until a log is
// attached, then written through it, so that its switch (Debug) holds for them too. Lines
// that come while no log is attached after one was detached are dropped.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "remote/RemoteLog.h"

namespace velora::remote {

class LogRelay
{
public:
    // Safe from any thread.
    void add(const std::string& line)
    {
        std::lock_guard lock(m_mutex);
        if (m_log != nullptr) {
            m_log->WriteLog("%s\n", line.c_str());
        } else if (!m_detached) {
            m_kept.push_back(line);
        }
    }
    // Writes the lines kept so far, and from then on each as it comes.
    void attach(RemoteLog& log)
    {
        std::lock_guard lock(m_mutex);
        m_log = &log;
        for (const std::string& line : m_kept) {
            log.WriteLog("%s\n", line.c_str());
        }
        m_kept.clear();
    }
    // Before the log goes: once this returns, nothing is written to it any more.
    void detach()
    {
        std::lock_guard lock(m_mutex);
        m_log = nullptr;
        m_detached = true;
    }

private:
    std::mutex m_mutex;
    RemoteLog* m_log = nullptr;
    bool m_detached = false;
    std::vector<std::string> m_kept;
};

} // namespace velora::remote
