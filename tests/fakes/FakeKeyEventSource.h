// An event source whose events the test hands in: deliver() calls the engine's handler at
// once, on the test's thread, as the source's own thread would.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "fakes/EventLog.h"
#include "platform/KeyEventSource.h"
#include "platform/KeySourceFactory.h"

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

// Makes fake sources and notes each one it makes ("lirc /run/lirc/lircd", "input (any)") in
// an EventLog. The source made last stays reachable while it lives.
class FakeKeySourceFactory final : public platform::KeySourceFactory
{
public:
    explicit FakeKeySourceFactory(EventLog& log) : m_log(log) {}

    std::unique_ptr<platform::KeyEventSource> makeLirc(const std::string& socketPath) override
    {
        return make("lirc " + socketPath);
    }
    std::unique_ptr<platform::KeyEventSource> makeInput(const std::string& device) override
    {
        return make("input " + (device.empty() ? std::string("(any)") : device));
    }

    // The latest source made, or null; valid while its owner keeps it.
    FakeKeyEventSource* latest = nullptr;
    int made = 0;

private:
    std::unique_ptr<platform::KeyEventSource> make(const std::string& what)
    {
        m_log.add(what);
        ++made;
        auto source = std::make_unique<FakeKeyEventSource>();
        latest = source.get();
        return source;
    }

    EventLog& m_log;
};

} // namespace velora::test
