#include "remote/MacroPlayer.h"

#include <algorithm>
#include <string>
#include <vector>

#include "remote/MacroText.h"
#include "remote/VirtualKeys.h"

namespace velora::remote {
namespace {

std::uint8_t upper(unsigned char c)
{
    return static_cast<std::uint8_t>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
}

} // namespace

MacroPlayer::MacroPlayer(platform::Desktop& desktop, platform::Clock& clock, platform::TimerService& timers,
                         platform::ProgramStarter& programs)
    : m_desktop(desktop), m_clock(clock), m_timers(timers), m_programs(programs)
{}

MacroPlayer::~MacroPlayer()
{
    releaseHeldKeys();
}

void MacroPlayer::press(std::uint8_t key)
{
    {
        std::lock_guard lock(m_heldLock);
        if (std::find(m_held.begin(), m_held.end(), key) == m_held.end()) {
            m_held.push_back(key);
        }
    }
    m_desktop.keyEvent(key, true);
}

void MacroPlayer::release(std::uint8_t key)
{
    {
        std::lock_guard lock(m_heldLock);
        m_held.erase(std::remove(m_held.begin(), m_held.end(), key), m_held.end());
    }
    m_desktop.keyEvent(key, false);
}

// The callback of a cancelled timer that is already running finds the serial moved on and
// leaves releaseTimer alone.
void MacroPlayer::cancelPendingRelease()
{
    platform::TimerId pending = 0;
    {
        std::lock_guard lock(m_releaseLock);
        pending = releaseTimer;
        releaseTimer = 0;
        ++m_releaseSerial;
    }
    if (pending != 0) {
        m_timers.cancel(pending); // waits for a release callback that is running right now
    }
}

void MacroPlayer::releaseHeldKeys()
{
    cancelPendingRelease();
    std::vector<std::uint8_t> held;
    {
        std::lock_guard lock(m_heldLock);
        held.swap(m_held);
    }
    for (auto it = held.rbegin(); it != held.rend(); ++it) {
        m_desktop.keyEvent(*it, false);
    }
}

platform::TimerId MacroPlayer::pendingRelease() const
{
    std::lock_guard lock(m_releaseLock);
    return releaseTimer;
}

bool MacroPlayer::onlyPressesKeys(std::string_view text)
{
    // Read as PlayMacro reads it: characters inside quotes and chords are keys, not commands.
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char command = text[pos++];
        switch (command) {
        case '"':
        case '[': {
            const std::size_t close = text.find(command == '"' ? '"' : ']', pos);
            pos = close == std::string_view::npos ? text.size() : close + 1;
            break;
        }
        case '&':
        case '@':
            return false;
        case '%':
            if (pos < text.size() && (text[pos] == '0' || text[pos] == '1')) {
                return false;
            }
            ++pos;
            break;
        default:
            break;
        }
    }
    return true;
}

void MacroPlayer::PlayMacro(std::string_view text)
{
    releaseDelay = 0;
    std::size_t pos = 0;
    while (true) {
        while (pos < text.size() && isMacroSpace(text[pos])) {
            ++pos;
        }
        if (pos >= text.size() || m_interrupt.raised()) {
            return;
        }
        const char command = text[pos++];
        const std::string_view rest = text.substr(pos);
        switch (command) {
        case '"': {
            const std::size_t close = rest.find('"');
            typeText(rest.substr(0, close));
            pos = close == std::string_view::npos ? text.size() : pos + close + 1;
            break;
        }
        case '[':
            pos += PlayChord(rest);
            break;
        case '!':
            releaseDelay = kReleaseDelayMs;
            break;
        case '&':
        case '@': {
            const std::size_t close = rest.find(command);
            if (close == std::string_view::npos) {
                // Without its closing character the command has no end: it acts on nothing.
                return;
            }
            const std::string argument(rest.substr(0, std::min(close, kMaxCommandText)));
            pos += close + 1;
            if (command == '&') {
                m_programs.start(argument);
            } else {
                if (!m_clock.interruptibleSleep(kActivationPauseMs, m_interrupt)) {
                    return;
                }
                m_desktop.activateWindow(argument);
            }
            break;
        }
        case '%':
            if (pos < text.size()) {
                const char which = text[pos++];
                if (which == '0') {
                    m_desktop.minimiseForeground();
                } else if (which == '1') {
                    m_desktop.maximiseForeground();
                }
            }
            break;
        default:
            break;
        }
    }
}

void MacroPlayer::typeText(std::string_view text)
{
    for (const char c : text) {
        const auto character = static_cast<unsigned char>(c);
        const bool capital = character >= 'A' && character <= 'Z';
        const std::uint8_t key = upper(character);
        if (capital) {
            press(platform::VK_SHIFT);
        }
        press(key);
        if (capital) {
            release(platform::VK_SHIFT);
        }
        release(key);
    }
}

std::size_t MacroPlayer::PlayChord(std::string_view text)
{
    std::vector<std::uint8_t> keys;
    const std::size_t pos = forEachChordKey(text, [&keys](std::string_view name) {
        if (keys.size() < kMaxChordKeys) {
            keys.push_back(LookupVirtualKey(name.substr(0, kMaxKeyName)));
        }
    });
    if (releaseDelay != 0 && !keys.empty()) {
        scheduleRelease(keys.front());
    }
    for (const std::uint8_t key : keys) {
        press(key);
    }
    if (releaseDelay == 0) {
        for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
            release(*it);
        }
    }
    return pos;
}

void MacroPlayer::scheduleRelease(std::uint8_t key)
{
    // An earlier pending release is cancelled and its key is not released: a chord that
    // starts with the same key keeps it down until 100 ms after the latest chord.
    cancelPendingRelease();
    std::lock_guard lock(m_releaseLock);
    releaseKey = key;
    const std::uint64_t serial = ++m_releaseSerial;
    // The lock is held across the start, so that the callback cannot see the state before
    // this timer's identifier is stored.
    releaseTimer = m_timers.startOneShot(releaseDelay, [this, key, serial] {
        release(key);
        std::lock_guard callbackLock(m_releaseLock);
        if (m_releaseSerial == serial) {
            releaseTimer = 0;
        }
    });
}

} // namespace velora::remote
