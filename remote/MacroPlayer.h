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
// on a one-shot timer thread. It remembers every key it has pressed and not yet released (a
// delayed chord releases only its first key), so that the program can let them all go when
// it ends, and its pauses can be cut short from another thread so that ending never waits
// for a long macro.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string_view>
#include <vector>

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

    // Releases every key still held (releaseHeldKeys), so that no key stays down.
    ~MacroPlayer();

    MacroPlayer(const MacroPlayer&) = delete;
    MacroPlayer& operator=(const MacroPlayer&) = delete;

    void PlayMacro(std::string_view text);

    // Whether playing the text does nothing but press and release keys (typed text, chords,
    // delayed releases): no program start, window command or window activation. Only such
    // macros are played again while their key is held.
    static bool onlyPressesKeys(std::string_view text);

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

    // From any thread: the macro being played stops at its next command, a pause in it ends
    // at once, and every later macro plays nothing. For the end of the program.
    void interrupt() { m_interrupt.raise(); }

    // Cancels a pending delayed release and releases every key this player pressed and has
    // not released, the latest pressed first. Call it while no macro is being played.
    void releaseHeldKeys();

private:
    void typeText(std::string_view text);
    void press(std::uint8_t key);
    void release(std::uint8_t key);
    void scheduleRelease(std::uint8_t key);
    // Cancels the pending delayed release, without releasing its key.
    void cancelPendingRelease();

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

    platform::Interrupt m_interrupt;
    // Keys pressed and not released, in the order of their presses; touched by the tick
    // thread and the release callback.
    std::mutex m_heldLock;
    std::vector<std::uint8_t> m_held;
};

} // namespace velora::remote
