// The remote-control engine of KavoRemote, without any window. Its keys come from one source:
// the card's receiver, sampled every 10 ms, or an event source (LIRC, a Linux input device)
// that wakes the engine only when a key arrives. Each new key either plays the macro that the
// loaded macro file binds for the window in front (keyboard mode) or moves and clicks the
// mouse (mouse mode). The "MouseMode" key switches between the two unless a macro is bound
// to it. Event sources also say when a key is held: its macro is played again while it is
// held, if it only presses keys, and a held direction key in mouse mode glides the pointer
// ever faster.
//
// Threads: the tick and everything it calls run on the periodic timer's thread, and so do
// an event source's keys on the source's own thread (only one of the two runs); the delayed
// key release and the pointer's glide run on timer threads of their own. The owner's thread (the window thread of the
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
#include "platform/KeyEventSource.h"
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
    // read, the tables in force stay, the log says so and false is returned. Every line the
    // loader skips or cuts gives one line "file:line: what and why" in the log, whatever the
    // Debug setting says. Safe from any thread.
    bool LoadMacroFile(const std::string& path);
    std::shared_ptr<const MacroTables> macroTables() const;
    // The file LoadMacroFile reads for this path ("Default.MAC" for "default.mac"): the path
    // itself when there is no such file.
    std::string macroFileOnDisk(const std::string& path) const;

    // The on-screen feedback: after each key is dispatched, the listener gets a short text of
    // the key and what it did (KeyFeedback.h), on the thread that dispatched it. Set the
    // listener before keys come; switch it on and off at any time.
    void setFeedbackListener(std::function<void(const std::string&)> listener) { m_feedback = std::move(listener); }
    void setFeedbackOn(bool on) { m_feedbackOn.store(on); }
    bool feedbackOn() const { return m_feedbackOn.load(); }

    // The receiver, on the card the owner keeps. Arm and disarm only while the tick is
    // stopped; re-arming may be asked for at any time.
    void ArmReceiver(CaptureCard& card) { m_receiver.ArmReceiver(card); }
    void DisarmReceiver() { m_receiver.DisarmReceiver(); }
    void RequestReinit() { m_receiver.requestReinit(); }

    // Held keys of event sources: repeated at all (the setting RepeatKeys), and from how long
    // after the press a repeat counts (a quick press on many remotes already sends a repeat
    // or two).
    void setRepeatKeys(bool on) { m_repeatKeys.store(on); }
    bool repeatKeys() const { return m_repeatKeys.load(); }
    static constexpr std::uint32_t kRepeatDelayMs = 300;
    // The glide of a held direction key in mouse mode: one move every kGlideMs, of the step
    // times a factor that grows from 1 by 15 a second, up to 16; it pauses while a repeat is
    // late, and ends with the key's release or when no repeat has come for kHoldEndMs.
    static constexpr std::uint32_t kGlideMs = 40;
    static constexpr std::uint32_t kHoldEndMs = 300;
    static constexpr int kGlideMaxFactor = 16;

    // An event source instead of the tick: its keys are dispatched on its thread as they
    // come. The source must outlive stopEvents(); start and stop on the owner's thread.
    bool startEvents(platform::KeyEventSource& source);
    void stopEvents();
    bool hasEventSource() const { return m_events != nullptr; }
    // Asks the event source to reconnect; nothing without one.
    void reconnectEvents();
    // One event of an event source, on its thread.
    void KeyEventArrived(const platform::KeyEvent& event);

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
    // Dispatches every queued key, and tells the listener when that changed the mode.
    void DispatchQueued();
    void DispatchKey(RemoteKey key);
    // Plays the macro bound to the key for the window in front; false when none applies.
    bool RunBoundMacro(RemoteKey key);

    Receiver& receiver() { return m_receiver; }
    RemoteLog& log() { return m_log; }

private:
    struct Hold
    {
        RemoteKey key = -1;          // the key held, -1 when none
        std::uint32_t pressedAt = 0; // tick count of its press
        std::uint32_t lastEventAt = 0;
        std::uint32_t interval = 0; // between its latest two repeats, 0 before the second
        int dx = 0, dy = 0;         // its direction in mouse mode
        platform::TimerId glide = 0;
    };

    void keyHeld(RemoteKey key);
    // The macro bound to the key for the window in front, from the tables given.
    const std::string* boundMacro(const MacroTables& tables, RemoteKey key);
    // Plays the bound macro; its text goes to played when one was played.
    bool runBound(RemoteKey key, std::string* played);
    void showFeedback(const std::string& text);
    void glideStep();
    // Ends the hold and its glide; the caller cancels the returned timer outside the lock.
    platform::TimerId endHold();

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
    std::function<void(const std::string&)> m_feedback;
    std::atomic<bool> m_feedbackOn{false};
    platform::TimerId m_tick = 0;
    platform::KeyEventSource* m_events = nullptr;
    std::atomic<bool> m_repeatKeys{true};
    std::mutex m_holdLock;
    Hold m_hold;
    std::atomic<bool> m_shutDown{false};
};

} // namespace velora::remote
