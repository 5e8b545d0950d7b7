// One ordered record of what the fakes saw, so that a test can check driver calls, register
// writes and waits in the order they happened, as compact strings.
#pragma once

#include <string>
#include <vector>

namespace velora::test {

class EventLog
{
public:
    void add(std::string event) { m_events.push_back(std::move(event)); }
    const std::vector<std::string>& events() const { return m_events; }
    void clear() { m_events.clear(); }

    // The events joined by single spaces.
    std::string joined() const
    {
        std::string text;
        for (const auto& event : m_events) {
            if (!text.empty()) {
                text += ' ';
            }
            text += event;
        }
        return text;
    }

private:
    std::vector<std::string> m_events;
};

} // namespace velora::test
