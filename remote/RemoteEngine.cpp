#include "remote/RemoteEngine.h"

namespace velora::remote {

RemoteEngine::RemoteEngine(const RemoteServices& services)
    : m_services(services), m_log(services.log), m_receiver(services.clock, m_log),
      m_player(services.desktop, services.clock, services.timers, services.programs),
      m_mouse(services.desktop, m_mouseStep), m_tables(std::make_shared<MacroTables>())
{}

RemoteEngine::~RemoteEngine()
{
    shutdown();
}

void RemoteEngine::shutdown()
{
    m_shutDown.store(true);
    m_player.interrupt();
    stopTick();
    m_player.releaseHeldKeys();
    m_mouse.releaseHeldButtons();
}

bool RemoteEngine::LoadMacroFile(const std::string& path)
{
    auto text = m_services.files.readText(path);
    if (!text) {
        // Macro files are data files: "Default.MAC" serves for "default.mac".
        if (const auto found = m_services.files.findIgnoringCase(path)) {
            text = m_services.files.readText(*found);
        }
    }
    if (!text) {
        return false;
    }
    std::shared_ptr<const MacroTables> tables = parseMacroFile(*text);
    std::lock_guard lock(m_tablesLock);
    m_tables.swap(tables);
    // The old tables go when the last key played from them is done.
    return true;
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
    if (key == keys::MouseMode) {
        if (!RunBoundMacro(key)) {
            int mode = m_mouseMode.load();
            // A change from the window thread between load and store wins over this toggle.
            m_mouseMode.compare_exchange_strong(mode, mode == 0 ? 1 : 0);
        }
        return;
    }
    if (m_mouseMode.load() != 0) {
        m_mouse.MouseAction(key);
        return;
    }
    RunBoundMacro(key);
}

bool RemoteEngine::RunBoundMacro(RemoteKey key)
{
    // Held for the whole play, so that a reload cannot free the text being played.
    const std::shared_ptr<const MacroTables> tables = macroTables();
    const std::string title = tables->hasWindowScopes() ? m_services.desktop.foregroundTitle() : std::string();
    const std::string* macro = tables->lookup(key, title);
    if (macro == nullptr) {
        return false;
    }
    m_player.PlayMacro(*macro);
    return true;
}

} // namespace velora::remote
