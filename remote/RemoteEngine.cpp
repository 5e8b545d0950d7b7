#include "remote/RemoteEngine.h"

#include <algorithm>

#include "remote/KernelKeys.h"
#include "remote/KeyFeedback.h"

namespace velora::remote {

RemoteEngine::RemoteEngine(const RemoteServices& services)
    : m_services(services), m_log(services.log), m_receiver(services.clock, m_log),
      m_player(services.desktop, services.clock, services.timers, services.programs),
      m_mouse(services.desktop, m_mouseStep), m_tables(std::make_shared<MacroTables>())
{
    m_receiver.setUnknownCodeListener([this](std::uint32_t code) { showFeedback(unknownKeyFeedback(code)); });
}

RemoteEngine::~RemoteEngine()
{
    shutdown();
}

void RemoteEngine::shutdown()
{
    m_shutDown.store(true);
    m_player.interrupt();
    stopTick();
    stopEvents();
    m_player.releaseHeldKeys();
    m_mouse.releaseHeldButtons();
}

bool RemoteEngine::LoadMacroFile(const std::string& path)
{
    std::string read = path;
    auto text = m_services.files.readText(path);
    if (!text) {
        // Macro files are data files: "Default.MAC" serves for "default.mac".
        if (const auto found = m_services.files.findIgnoringCase(path)) {
            read = *found;
            text = m_services.files.readText(*found);
        }
    }
    if (!text) {
        m_log.WriteNotice("The macro file '%s' could not be read: the key tables in force stay\n", path.c_str());
        return false;
    }
    std::vector<MacroDiagnostic> diagnostics;
    std::shared_ptr<const MacroTables> tables = parseMacroFile(*text, &diagnostics);
    {
        std::lock_guard lock(m_tablesLock);
        m_tables.swap(tables);
        // The old tables go when the last key played from them is done.
    }
    for (const MacroDiagnostic& diagnostic : diagnostics) {
        m_log.WriteNotice("%s:%d: %s\n", read.c_str(), diagnostic.line, diagnostic.message.c_str());
    }
    return true;
}

std::string RemoteEngine::macroFileOnDisk(const std::string& path) const
{
    if (m_services.files.readText(path)) {
        return path;
    }
    return m_services.files.findIgnoringCase(path).value_or(path);
}

void RemoteEngine::showFeedback(const std::string& text)
{
    if (m_feedbackOn.load() && m_feedback) {
        m_feedback(text);
    }
}

std::shared_ptr<const MacroTables> RemoteEngine::macroTables() const
{
    std::lock_guard lock(m_tablesLock);
    return m_tables;
}

void RemoteEngine::startTick()
{
    if (m_tick == 0 && !m_shutDown.load()) {
        m_tick = m_services.timers.startPeriodic(kTickMs, [this] { RemoteTick(); });
    }
}

void RemoteEngine::stopTick()
{
    if (m_tick != 0) {
        m_services.timers.cancel(m_tick);
        m_tick = 0;
    }
}

void RemoteEngine::RemoteTick()
{
    m_receiver.PollReceiver();
    DispatchQueued();
}

void RemoteEngine::DispatchQueued()
{
    const int modeBefore = m_mouseMode.load();
    KeyQueue& queue = m_receiver.queue();
    while (!queue.isEmpty()) {
        DispatchKey(queue.take());
    }
    const int modeAfter = m_mouseMode.load();
    if (modeAfter != modeBefore && m_modeListener) {
        m_modeListener(modeAfter);
    }
}

void RemoteEngine::DispatchKey(RemoteKey key)
{
    // The feedback is described after the key has acted, so that it never delays the key.
    const bool feedback = m_feedbackOn.load() && m_feedback;
    std::string played;
    if (key == keys::MouseMode) {
        if (runBound(key, feedback ? &played : nullptr)) {
            if (feedback) {
                showFeedback(keyFeedback(key, describeMacro(played)));
            }
            return;
        }
        int mode = m_mouseMode.load();
        // A change from the window thread between load and store wins over this toggle.
        m_mouseMode.compare_exchange_strong(mode, mode == 0 ? 1 : 0);
        if (feedback) {
            showFeedback(m_mouseMode.load() != 0 ? "Mouse mode" : "Keyboard mode");
        }
        return;
    }
    if (m_mouseMode.load() != 0) {
        m_mouse.MouseAction(key);
        if (feedback) {
            showFeedback(keyFeedback(key, describeMouseAction(key)));
        }
        return;
    }
    const bool bound = runBound(key, feedback ? &played : nullptr);
    if (feedback) {
        showFeedback(keyFeedback(key, bound ? describeMacro(played) : "nothing bound"));
    }
}

bool RemoteEngine::RunBoundMacro(RemoteKey key)
{
    return runBound(key, nullptr);
}

const std::string* RemoteEngine::boundMacro(const MacroTables& tables, RemoteKey key)
{
    const std::string title = tables.hasTitleScopes ? m_services.desktop.foregroundTitle() : std::string();
    const platform::WindowClass windowClass =
        tables.hasClassScopes ? m_services.desktop.foregroundClass() : platform::WindowClass{};
    return tables.lookup(key, title, windowClass);
}

bool RemoteEngine::runBound(RemoteKey key, std::string* played)
{
    // Held for the whole play, so that a reload cannot free the text being played.
    const std::shared_ptr<const MacroTables> tables = macroTables();
    const std::string* macro = boundMacro(*tables, key);
    if (macro == nullptr) {
        return false;
    }
    m_player.PlayMacro(*macro);
    if (played != nullptr) {
        *played = *macro;
    }
    return true;
}

} // namespace velora::remote

namespace velora::remote {

bool RemoteEngine::startEvents(platform::KeyEventSource& source)
{
    if (m_events != nullptr || m_shutDown.load()) {
        return false;
    }
    m_events = &source;
    const bool started = source.start([this](const platform::KeyEvent& event) { KeyEventArrived(event); },
                                      [this](const std::string& line) { m_log.WriteLog("%s\n", line.c_str()); });
    if (!started) {
        m_events = nullptr;
    }
    return started;
}

void RemoteEngine::stopEvents()
{
    if (m_events == nullptr) {
        return;
    }
    m_events->stop();
    m_events = nullptr;
    platform::TimerId glide = 0;
    {
        std::lock_guard lock(m_holdLock);
        glide = endHold();
    }
    if (glide != 0) {
        m_services.timers.cancel(glide);
    }
}

void RemoteEngine::reconnectEvents()
{
    if (m_events != nullptr) {
        m_events->reconnect();
    }
}

platform::TimerId RemoteEngine::endHold()
{
    const platform::TimerId glide = m_hold.glide;
    m_hold = Hold{};
    return glide;
}

void RemoteEngine::KeyEventArrived(const platform::KeyEvent& event)
{
    if (m_shutDown.load()) {
        return;
    }
    const std::optional<RemoteKey> key = event.code >= 0 ? findKernelKeyCode(event.code) : findButtonName(event.name);
    if (!key) {
        // Logged as an unknown code of the card is, by the source's own name for it.
        if (event.action == platform::KeyAction::Press) {
            if (event.code >= 0) {
                m_log.WriteLog("    RK_MAKE(0x%03x, RK_UNKNOWN),\n", static_cast<unsigned>(event.code));
                showFeedback(unknownKeyFeedback(static_cast<std::uint32_t>(event.code)));
            } else {
                m_log.WriteLog("    RK_MAKE(%s, RK_UNKNOWN),\n", event.name.c_str());
                showFeedback(unknownKeyFeedback(event.name));
            }
        }
        return;
    }
    const std::uint32_t now = m_services.clock.tickCount();
    platform::TimerId ended = 0;
    bool press = false;
    bool repeat = false;
    {
        std::lock_guard lock(m_holdLock);
        switch (event.action) {
        case platform::KeyAction::Press:
            press = true;
            break;
        case platform::KeyAction::Repeat:
            // A repeat of a key whose press was missed (the source was reconnected while it
            // was held) counts as its press.
            press = m_hold.key != *key;
            if (!press && now - m_hold.pressedAt >= kRepeatDelayMs) {
                m_hold.interval = m_hold.lastEventAt != m_hold.pressedAt ? now - m_hold.lastEventAt : 0;
                repeat = true;
            }
            if (!press) {
                m_hold.lastEventAt = now;
            }
            break;
        case platform::KeyAction::Release:
            if (m_hold.key == *key) {
                ended = endHold();
            }
            break;
        }
        if (press) {
            ended = endHold();
            m_hold.key = *key;
            m_hold.pressedAt = now;
            m_hold.lastEventAt = now;
        }
    }
    if (ended != 0) {
        m_services.timers.cancel(ended);
    }
    if (press) {
        m_receiver.queue().put(*key);
        DispatchQueued();
    } else if (repeat && m_repeatKeys.load()) {
        keyHeld(*key);
    }
}

void RemoteEngine::keyHeld(RemoteKey key)
{
    // Never again for a key that switches the mode, starts a program or works on windows.
    if (key == keys::MouseMode) {
        return;
    }
    if (m_mouseMode.load() != 0) {
        const std::optional<MouseControl::Direction> direction = MouseControl::directionOf(key);
        if (!direction) {
            return; // clicks, button toggles and step changes happen once per press
        }
        std::lock_guard lock(m_holdLock);
        if (m_hold.key == key && m_hold.glide == 0) {
            m_hold.dx = direction->dx;
            m_hold.dy = direction->dy;
            m_hold.glide = m_services.timers.startPeriodic(kGlideMs, [this] { glideStep(); });
        }
        return;
    }
    const std::shared_ptr<const MacroTables> tables = macroTables();
    const std::string* macro = boundMacro(*tables, key);
    if (macro != nullptr && MacroPlayer::onlyPressesKeys(*macro)) {
        m_player.PlayMacro(*macro);
    }
}

void RemoteEngine::glideStep()
{
    MouseControl::Direction direction{0, 0};
    int factor = 1;
    platform::TimerId ended = 0;
    {
        std::lock_guard lock(m_holdLock);
        if (m_hold.glide == 0) {
            return;
        }
        const std::uint32_t now = m_services.clock.tickCount();
        const std::uint32_t sinceEvent = now - m_hold.lastEventAt;
        if (sinceEvent > kHoldEndMs || m_mouseMode.load() == 0) {
            ended = endHold();
        } else {
            // A repeat is late: the key may have been let go, so wait for it rather than
            // glide on past where the user stopped.
            const std::uint32_t expected = std::max(m_hold.interval, kGlideMs) + kGlideMs / 2;
            if (sinceEvent > expected) {
                return;
            }
            const std::uint32_t held = now - m_hold.pressedAt;
            factor = static_cast<int>(std::min<std::uint32_t>(kGlideMaxFactor, 1 + 15 * held / 1000));
            direction = {m_hold.dx, m_hold.dy};
        }
    }
    if (ended != 0) {
        m_services.timers.cancel(ended); // its own timer: stops without waiting
        return;
    }
    m_mouse.move(direction, m_mouseStep.load() * factor);
}

} // namespace velora::remote
