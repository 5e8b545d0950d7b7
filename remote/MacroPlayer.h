// Plays macro texts: typed text, key chords, delayed releases, program starts and window
// commands, as synthetic input for the program in front.
//
//   "text"       types each character as one key (Shift for upper-case letters)
//   [A B C]      presses the named keys in order and releases them in reverse order
//   !            from here on, each chord releases only its first key, 100 ms later
//   &cmd args&   starts a program
//   %0  %1       minimises / maximises the window in front
//   @Title@      after 200 ms, brings the window with exactly this title to the front
//
// Everything else is skipped. The player runs on the tick thread; the delayed release runs
// on a one-shot timer thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string_view>

#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/ProgramStarter.h"
#include "platform/TimerService.h"

namespace velora::remote {

class MacroPlayer
{
public:
    MacroPlayer(platform::Desktop& desktop, platform::Clock& clock, platform::TimerService& timers,
                platform::ProgramStarter& programs);

    // Cancels a pending delayed release and lets its key go, so that no key stays down.
    ~MacroPlayer();

    MacroPlayer(const MacroPlayer&) = delete;
    MacroPlayer& operator=(const MacroPlayer&) = delete;

    void PlayMacro(std::string_view text);

    // Plays the chord whose key names start the text (the text after a "["); returns the
    // position of its "]" in the text, or the text's length when it has none.
    std::size_t PlayChord(std::string_view text);

    // Limits of the daemon's fixed buffers: longer texts and names are cut, further keys of
    // a chord are dropped.
    static constexpr std::size_t kMaxCommandText = 99;
    static constexpr std::size_t kMaxKeyName = 99;
    static constexpr std::size_t kMaxChordKeys = 100;
    static constexpr std::uint32_t kReleaseDelayMs = 100;
    static constexpr std::uint32_t kActivationPauseMs = 200;

    // The pending delayed release, 0 when none.
    platform::TimerId pendingRelease() const;

private:
    void typeText(std::string_view text);
    void press(std::uint8_t key) { m_desktop.keyEvent(key, true); }
    void release(std::uint8_t key) { m_desktop.keyEvent(key, false); }
    void scheduleRelease(std::uint8_t key);

    platform::Desktop& m_desktop;
    platform::Clock& m_clock;
    platform::TimerService& m_timers;
    platform::ProgramStarter& m_programs;

    // Lives for one macro text, on the tick thread only.
    std::uint32_t releaseDelay = 0;

    // Shared with the release callback's thread.
    mutable std::mutex m_releaseLock;
    platform::TimerId releaseTimer = 0;
    std::uint8_t releaseKey = 0;
    std::uint64_t m_releaseSerial = 0;
};

} // namespace velora::remote
