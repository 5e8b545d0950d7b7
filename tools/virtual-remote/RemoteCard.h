// The virtual remote's side of the virtual card: presses keys on the card's receiver and
// reads back what the card shows (tuned frequency, sync, last key) for the status line.
#pragma once

#include "drivers/virtualcard/CardStateFile.h"
#include "drivers/virtualcard/VirtualChip.h"
#include "remote/RemoteKeys.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace velora::vremote {

// What the status line shows of the card.
struct CardReading
{
    std::optional<std::int64_t> frequencyHz; // nothing while the tuner has no frequency
    bool sync = false;
    std::optional<std::uint8_t> lastKey; // code of the last key pressed on the card
};

// One line: "55.225 MHz, locked, last key 0x98 Down" or "tuner idle, no signal, no key yet".
std::string statusLine(const CardReading& reading);

class RemoteCard
{
public:
    using Sleeper = virtualcard::VirtualChip::Sleeper;

    // Presses beyond this many waiting ones are dropped rather than queued without end.
    static constexpr std::size_t kMaxWaitingPresses = 16;

    // path is the card's state file (CardStateFile::defaultPath() in the program); sleep
    // replaces the 30 ms pause between two presses of the same key (for tests). The file
    // is opened at once when it can be.
    explicit RemoteCard(std::string path, Sleeper sleep = {});
    // Lets the presses already queued reach the card before it returns.
    ~RemoteCard();
    RemoteCard(const RemoteCard&) = delete;
    RemoteCard& operator=(const RemoteCard&) = delete;

    // Opens the state file unless it is open; true when it is. A file that could not be used
    // (a missing runtime folder, a file of another user) is tried again at every call.
    bool open();

    // The card's state now, after trying to open the file; nothing when it cannot be used.
    std::optional<CardReading> read();

    // The status line: the card's state, or why the state file cannot be used.
    std::string status();

    // Hands a key press to the press thread, so that the pause of a repeated key never
    // blocks the caller. False, and nothing pressed, for a key without a receiver code
    // (Power), when the state file cannot be used, or when too many presses wait already.
    bool press(remote::RemoteKey key);

    // Returns once every press handed over so far has reached the card.
    void waitIdle();

private:
    struct Press
    {
        std::shared_ptr<virtualcard::CardStateFile> file;
        std::uint8_t code;
    };

    void pressLoop();

    const std::string m_path;
    const Sleeper m_sleep;
    // Used by the caller's thread only; each queued press holds its own reference.
    std::shared_ptr<virtualcard::CardStateFile> m_file;
    std::string m_error;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Press> m_presses;
    bool m_pressing = false;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace velora::vremote
