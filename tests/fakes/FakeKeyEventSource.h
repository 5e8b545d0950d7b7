// An event source whose events the test hands in: deliver() calls the engine's handler at
// once, on the test's thread, as the source's own thread would.
#pragma once

#include <string>
#include <vector>

#include "platform/KeyEventSource.h"

namespace velora::test {

class FakeKeyEventSource final : public platform::KeyEventSource
{
public:
    bool start(KeyHandler onKey, NoticeHandler onNotice) override
    {
        if (running) {
            return false;
        }
        running = true;
        ++starts;
        m_onKey = std::move(onKey);
        m_onNotice = std::move(onNotice);
        return true;
    }
    void stop() override
    {
        running = false;
        m_onKey = nullptr;
        m_onNotice = nullptr;
    }
    void reconnect() override
    {
        if (running) {
            ++reconnects;
        }
    }

    // A LIRC button by name, or an input device's key by number.
    void deliver(const std::string& name, platform::KeyAction action = platform::KeyAction::Press)
    {
        if (m_onKey) {
            m_onKey(platform::KeyEvent{name, -1, action});
        }
    }
    void deliver(int code, platform::KeyAction action = platform::KeyAction::Press)
    {
        if (m_onKey) {
            m_onKey(platform::KeyEvent{"", code, action});
        }
    }
    void notice(const std::string& line)
    {
        if (m_onNotice) {
            m_onNotice(line);
        }
    }

    bool running = false;
    int starts = 0;
    int reconnects = 0;

private:
    KeyHandler m_onKey;
    NoticeHandler m_onNotice;
};

} // namespace velora::test
