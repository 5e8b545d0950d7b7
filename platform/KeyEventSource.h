// Remote-control keys that come as events rather than by sampling: from LIRC's lircd, which
// names each button, or from a Linux input device, which numbers each key. A source waits on
// a thread of its own and wakes only when something arrives.
#pragma once

#include <functional>
#include <string>

namespace velora::platform {

enum class KeyAction {
    Press,   // the key went down (LIRC: repeat count 0; input: value 1)
    Repeat,  // the key is held (LIRC: repeat count above 0; input: the kernel's auto-repeat, value 2)
    Release, // the key went up (input only: value 0; LIRC does not say)
};

struct KeyEvent
{
    std::string name; // LIRC's name of the button ("KEY_UP", "ChannelUp"); empty from an input device
    int code = -1;    // the input device's key number (EV_KEY code); -1 from LIRC
    KeyAction action = KeyAction::Press;
};

class KeyEventSource
{
public:
    virtual ~KeyEventSource() = default;

    using KeyHandler = std::function<void(const KeyEvent&)>;
    // One line for the daemon's log, without its line feed: the source is not there, has gone
    // or is back. Said once for each change, never once per retry.
    using NoticeHandler = std::function<void(const std::string&)>;

    // Starts the source's thread: it opens what it reads (waiting for it, with retries, while
    // it is not there), and calls onKey for every key event and onNotice for every notice, on
    // that thread, one at a time. False when no thread could be started, or it runs already.
    virtual bool start(KeyHandler onKey, NoticeHandler onNotice) = 0;

    // Stops the thread and closes what it reads; waits for a callback that is running. No
    // callback comes after it returns. Safe to call when not started, and more than once.
    virtual void stop() = 0;

    // Closes what the source reads and opens it again at once (a re-initialisation). Safe
    // from any thread while it runs; nothing when it does not.
    virtual void reconnect() = 0;
};

} // namespace velora::platform
