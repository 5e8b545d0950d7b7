// A desktop that records what the engine does to it as compact strings in an EventLog:
// "+SHIFT +B -SHIFT -B" for keys (letters and digits as themselves, other keys by their
// virtual-key name without "VK_", unknown codes in hex), "+LMB -LMB" and "+RMB" for mouse
// buttons, "goto 10,20" for pointer moves, "minimise", "maximise", "activate Title".
#pragma once

#include <cstdio>
#include <functional>
#include <mutex>
#include <set>
#include <string>

#include "fakes/EventLog.h"
#include "platform/Desktop.h"
#include "platform/ProgramStarter.h"
#include "remote/VirtualKeys.h"

namespace velora::test {

inline std::string keyLabel(std::uint8_t code)
{
    if ((code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z')) {
        return std::string(1, static_cast<char>(code));
    }
    if (const char* name = remote::virtualKeyName(code)) {
        return std::string(name + 3);
    }
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", code);
    return text;
}

class RecordingDesktop final : public platform::Desktop
{
public:
    explicit RecordingDesktop(EventLog& log) : m_log(log) {}

    std::string title;
    platform::PointerPosition pointer{100, 100};
    std::set<std::string> windows;   // titles that activateWindow finds
    std::set<std::uint8_t> keysDown; // the keys held, as isKeyDown sees them
    int titleReads = 0;
    // Whether watchKeyPresses works here, and who watches: a test presses a key through it.
    bool canWatchKeys = false;
    std::function<void()> keyWatcher;
    platform::WindowClass windowClass; // of the window in front
    int classReads = 0;

    void keyEvent(std::uint8_t virtualKey, bool down) override { add((down ? "+" : "-") + keyLabel(virtualKey)); }
    void mouseButton(platform::MouseButton button, bool down) override
    {
        add(std::string(down ? "+" : "-") + (button == platform::MouseButton::Left ? "LMB" : "RMB"));
    }
    platform::PointerPosition pointerPosition() override
    {
        std::lock_guard lock(m_mutex);
        return pointer;
    }
    void setPointerPosition(int x, int y) override
    {
        {
            std::lock_guard lock(m_mutex);
            pointer = {x, y};
        }
        add("goto " + std::to_string(x) + "," + std::to_string(y));
    }
    std::string foregroundTitle() override
    {
        std::lock_guard lock(m_mutex);
        ++titleReads;
        return title;
    }
    platform::WindowClass foregroundClass() override
    {
        std::lock_guard lock(m_mutex);
        ++classReads;
        return windowClass;
    }
    void minimiseForeground() override { add("minimise"); }
    void maximiseForeground() override { add("maximise"); }
    bool activateWindow(const std::string& windowTitle) override
    {
        add("activate " + windowTitle);
        std::lock_guard lock(m_mutex);
        return windows.count(windowTitle) != 0;
    }
    bool isKeyDown(std::uint8_t virtualKey) override
    {
        std::lock_guard lock(m_mutex);
        return keysDown.count(virtualKey) != 0;
    }
    bool watchKeyPresses(std::function<void()> pressed) override
    {
        if (!canWatchKeys) {
            return false;
        }
        add(pressed ? "watch keys" : "unwatch keys");
        keyWatcher = std::move(pressed);
        return true;
    }

    // The events so far, for tests that read them while other threads still add to them.
    std::vector<std::string> events()
    {
        std::lock_guard lock(m_mutex);
        return m_log.events();
    }

private:
    void add(std::string event)
    {
        std::lock_guard lock(m_mutex);
        m_log.add(std::move(event));
    }

    EventLog& m_log;
    std::mutex m_mutex;
};

// Records "start <command line>" instead of starting anything.
class RecordingProgramStarter final : public platform::ProgramStarter
{
public:
    explicit RecordingProgramStarter(EventLog& log) : m_log(log) {}
    bool start(std::string_view commandLine) override
    {
        m_log.add("start " + std::string(commandLine));
        return true;
    }

private:
    EventLog& m_log;
};

} // namespace velora::test
