// The remote-control engine of KavoRemote, without any window: every 10 ms it samples the
// card's receiver, and each new key either plays the macro that the loaded macro file binds
// for the window in front (keyboard mode) or moves and clicks the mouse (mouse mode). The
// "MouseMode" key switches between the two unless a macro is bound to it.
//
// Threads: the tick and everything it calls run on the periodic timer's thread; the delayed
// key release on a one-shot timer's thread. The owner's thread (the window thread of the
// daemon) starts and stops the tick, arms and disarms the receiver while the tick is
// stopped, and may at any time change the mode and the step, ask for re-arming, or reload
// the macro file: a reload builds new tables and swaps them in whole, and the tables a key
// is being played from stay alive until it is done.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "hw/CaptureCard.h"
#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/FileSystem.h"
#include "platform/LogFile.h"
#include "platform/ProgramStarter.h"
#include "platform/TimerService.h"
#include "remote/MacroFile.h"
#include "remote/MacroPlayer.h"
#include "remote/MouseControl.h"
#include "remote/Receiver.h"
#include "remote/RemoteLog.h"

namespace velora::remote {

struct RemoteServices
{
    platform::Clock& clock;
    platform::TimerService& timers;
    platform::Desktop& desktop;
    platform::ProgramStarter& programs;
    platform::LogFile& log;
    platform::FileSystem& files;
};

class RemoteEngine
{
public:
    // The sampling period of the receiver.
    static constexpr std::uint32_t kTickMs = 10;

    explicit RemoteEngine(const RemoteServices& services);
    // Shuts down (shutdown()).
    ~RemoteEngine();

    RemoteEngine(const RemoteEngine&) = delete;
    RemoteEngine& operator=(const RemoteEngine&) = delete;

    // Settings: the log is written only while not suppressed; mouse mode is any non-zero
    // value; the step is in pixels per key and may be zero or negative.
    void setLogSuppressed(bool suppressed) { m_log.setSuppressed(suppressed); }
    int mouseMode() const { return m_mouseMode.load(); }
    void setMouseMode(int mode) { m_mouseMode.store(mode); }
    int mouseStep() const { return m_mouseStep.load(); }
    void setMouseStep(int step) { m_mouseStep.store(step); }

    // Loads a macro file into fresh tables and puts them in force. When the file cannot be
    // read, the tables in force stay and false is returned.
    bool LoadMacroFile(const std::string& path);
    std::shared_ptr<const MacroTables> macroTables() const;

    // The receiver, on the card the owner keeps. Arm and disarm only while the tick is
    // stopped; re-arming may be asked for at any time.
    void ArmReceiver(CaptureCard& card) { m_receiver.ArmReceiver(card); }
    void DisarmReceiver() { m_receiver.DisarmReceiver(); }
    void RequestReinit() { m_receiver.requestReinit(); }

    // Starts and stops the 10 ms tick; stopping waits for a tick in progress. After
    // shutdown() the tick does not start again.
    void startTick();
    void stopTick();
    bool isTicking() const { return m_tick != 0; }

    // The end of the engine, on the owner's thread: a macro being played is cut short (a
    // pause in it ends at once), the tick is stopped for good, and every key and mouse button
    // that the engine still holds down is released. Arming and disarming stay the owner's.
    // Safe to call more than once.
    void shutdown();
    bool isShutDown() const { return m_shutDown.load(); }

    // Called on the tick's thread after a tick changed the mode, with the new mode. Set it
    // before starting the tick.
    void setModeListener(std::function<void(int)> listener) { m_modeListener = std::move(listener); }

    // One tick: sample, then dispatch every queued key.
    void RemoteTick();
    void DispatchKey(RemoteKey key);
    // Plays the macro bound to the key for the window in front; false when none applies.
    bool RunBoundMacro(RemoteKey key);

    Receiver& receiver() { return m_receiver; }
    RemoteLog& log() { return m_log; }

private:
    RemoteServices m_services;
    RemoteLog m_log;
    Receiver m_receiver;
    std::atomic<int> m_mouseMode{0};
    std::atomic<int> m_mouseStep{4};
    MacroPlayer m_player;
    MouseControl m_mouse;

    mutable std::mutex m_tablesLock;
    std::shared_ptr<const MacroTables> m_tables;

    std::function<void(int)> m_modeListener;
    platform::TimerId m_tick = 0;
    std::atomic<bool> m_shutDown{false};
};

} // namespace velora::remote
