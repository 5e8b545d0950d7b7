// KavoRemote's behaviour behind its window: the settings, the card it owns, the engine that
// samples and dispatches, the re-initialisation countdown and hot key, and every command of
// its menu, icon and options window. The window (Qt in the program, a fake in tests) shows
// what this asks it to show and hands the controls' contents in as an OptionsForm.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "hw/CaptureCard.h"
#include "platform/FileWatch.h"
#include "platform/KeySourceFactory.h"
#include "platform/LibraryLoader.h"
#include "platform/Profile.h"
#include "remote/RemoteEngine.h"
#include "remote/RemoteSettings.h"

namespace velora::remote {

// What the daemon needs from its window.
class DaemonWindow
{
public:
    virtual ~DaemonWindow() = default;

    // A message box with an OK button, captioned "KavoRemote".
    virtual void showMessage(std::string_view text) = 0;
    // The same for a failure, which a window also reports where the system keeps failures
    // (standard error and the system log on Linux). By default just the box.
    virtual void showFailure(std::string_view text) { showMessage(text); }
    // A message box with Yes and No buttons and a question icon; true for Yes.
    virtual bool askYesNo(std::string_view text) = 0;
    // Shows the mode on the notification icon: its icon and tip. Called on the window
    // thread, and on the tick thread when a remote key changed the mode: an implementation
    // hands the latter over to its window thread.
    virtual void updateTrayIcon(int mouseMode) = 0;
    // Window timer 1, every 100 ms on the window thread, calling RemoteDaemon::windowTimer.
    // The daemon runs it only while there is something to count down or to poll. Until
    // windowTicksDue ticks have passed, nothing but the countdown happens, so a window may
    // sleep that long and make the calls it skipped at once; after windowTimerChanged it asks
    // again.
    virtual void startWindowTimer() = 0;
    virtual void stopWindowTimer() = 0;
    virtual void windowTimerChanged() {}
    // Runs the call on the window thread, later; may be called from any thread. A window that
    // has gone meanwhile drops it.
    virtual void post(std::function<void()> call) = 0;
    // Shows the on-screen feedback text (a remote key and what it did) for about a second.
    // Called on the thread that dispatched the key: an implementation hands it over to its
    // window thread and never takes the focus. By default nothing is shown.
    virtual void showFeedback(const std::string& text) { static_cast<void>(text); }
};

struct DaemonServices
{
    RemoteServices engine;
    platform::LibraryLoader& loader;
    platform::Profile& profile;
    // The event key sources (KeySource lirc or input); without it only the card serves.
    platform::KeySourceFactory* keySources = nullptr;
    // Watches the macro file in use, to reload it when it changes; without it no live reload.
    platform::FileWatchService* fileWatches = nullptr;
};

// The options window's controls, as their contents stand.
struct OptionsForm
{
    bool autoInit = false;   // check box "Auto-reinitialization every"
    std::string timeoutText; // edit 1005
    std::string macroPath;   // edit 1009
    std::string speedText;   // edit 1013
    int hotKeyIndex = -1;    // selection of the hot-key list, -1 when none
    // The group "Key source", below the others.
    int keySourceIndex = 0;    // list: 0 Card, 1 LIRC, 2 Input device
    std::string lircSocket{};  // edit "LIRC socket"
    std::string inputDevice{}; // edit "Input device"
    bool repeatKeys = true;    // check box "Repeat held keys"
    bool feedback = true;      // check box "Show keys on screen", beside the group
};

// A value of the options window out of its range: which control, and the message to show.
struct OptionsError
{
    enum class Field { Timeout, Speed } field;
    std::string message;
};

class RemoteDaemon
{
public:
    // Reads the settings from iniPath, puts the mode, the log switch, the step and the
    // countdown in force and loads the macro file. Relative paths (the macro file, the log)
    // are taken from the current directory, which the program has made its own folder.
    RemoteDaemon(const DaemonServices& services, DaemonWindow& window, std::string iniPath);
    ~RemoteDaemon();

    RemoteDaemon(const RemoteDaemon&) = delete;
    RemoteDaemon& operator=(const RemoteDaemon&) = delete;

    // Starts window timer 1 and opens the key source. For the card: creates it and, when it
    // is found, arms the receiver and starts the 10 ms tick; without a card it says "BT848 not
    // found! Check DLLs" and returns false: the program then ends through shutdown(). For LIRC
    // or an input device: starts the source, which needs no card and waits for what it reads
    // by itself.
    bool start();

    // The end of the program: a macro being played is cut short, the tick and window timer 1
    // stop, every key and button still held down is released, the receiver is disarmed and
    // the card destroyed (the mapping is released, then the driver library unloaded).
    //
    // It may come at any moment, also while a command waits in a message box, and is final:
    // afterwards no command re-arms the receiver, starts a timer or shows a message, and a
    // command that was waiting goes no further. Safe to call more than once, also from two
    // threads at once: a second call returns only when the first has finished, so that a
    // caller that ends the process afterwards never cuts the shutdown short.
    void shutdown();
    bool isShutDown() const { return m_shutDown.load(); }

    // The commands.
    void RequestReinit();
    void windowTimer();
    // The window-timer ticks before one does more than count down: 1 while the hot key is
    // polled, else what is left of the countdown (1 when it is off).
    int windowTicksDue() const;
    void keyboardModeCommand();
    void mouseModeCommand();
    void iconLeftClick();
    void ReloadDrivers();
    // Before the options window is shown: the speed field takes the step now in force.
    void prepareOptions() { MouseSpeed = m_engine.mouseStep(); }
    // Each change of the speed edit: a non-zero number is put in force at once, unchecked.
    void speedEdited(std::string_view text);
    // Copies the controls into the fields, in the window's order, up to the first value out
    // of range. Hide, save and reload all start with it and stop when it fails.
    std::optional<OptionsError> takeOptions(const OptionsForm& form);
    // The fields as the controls show them.
    OptionsForm options() const;
    // Writes the settings; when velora.ini cannot be written, says so as a failure.
    std::optional<OptionsError> saveOptions(const OptionsForm& form);
    std::optional<OptionsError> reloadKeyTables(const OptionsForm& form);
    // Reloads the macro file in force (MacroPath) without asking the options window and
    // without a message: for a reload that a script asks for. False when the file could not
    // be read (the earlier tables then stay).
    bool reloadMacroFile();
    // The watched macro file has changed on disk and settled: reloads it as reloadMacroFile
    // does, with one line in the log. On the window thread.
    void macroFileChanged();
    // How long a changed macro file must stay unchanged before it is read, and the longest
    // wait for a writer that keeps it open.
    static constexpr std::uint32_t kMacroSettleMs = 150;
    static constexpr std::uint32_t kMacroMaxWaitMs = 2000;
    // A file chosen with "Browse...": becomes MacroPath; the caller shows it, then asks.
    void macroFileChosen(const std::string& path) { MacroPath = path; }
    static std::string loadQuestion(const std::string& path) { return "Load '" + path + "' now ?"; }
    bool confirmExit() { return !m_shutDown.load() && m_window.askYesNo("Are you sure you want to quit ?"); }

    RemoteEngine& engine() { return m_engine; }
    CaptureCard* card() const { return m_card.get(); }
    const std::string& iniPath() const { return m_iniPath; }

    // The options window's fields.
    int AutoInit = 0;
    int AutoInitTimeout = 0;
    std::string MacroPath;
    int MouseSpeed = 0;
    int ReinitHotKey = -1;
    // Window-timer ticks left until the next automatic re-initialisation; 0 when off.
    int reinitCountdown = 0;
    // Where the keys come from: KeySource ("card", "lirc" or "input"; any other text is the
    // card) with its socket or device, and whether held keys repeat. A changed source applies
    // at the next ReloadDrivers; RepeatKeys at once.
    std::string KeySource;
    std::string LircSocket;
    std::string InputDevice;
    int RepeatKeys = 1;
    // The on-screen feedback on (1) or off (0); applies at once.
    int Feedback = 1;

private:
    // Watches the file that MacroPath names now (or stops watching, without a watch service).
    void watchMacroFile();
    void restartCountdown() { reinitCountdown = AutoInit != 0 ? AutoInitTimeout * 10 : 0; }
    bool hotKeyDown();
    // Puts the hot key's watch and window timer 1 in step with what they serve: the hot key is
    // watched through the desktop's key presses where it can tell them, else polled by the
    // timer, which otherwise runs only while the countdown does. Nothing runs before start or
    // after shutdown.
    void updateTimers();
    void hotKeyPressed();
    void setMode(int mode);
    // The key source in force is an event source, rather than the card.
    bool usesEvents() const { return m_eventSource != nullptr; }
    // Starts the event source that KeySource names; false (and a line in the log) when it
    // cannot be had.
    bool openEventSource();

    DaemonServices m_services;
    DaemonWindow& m_window;
    std::string m_iniPath;
    RemoteEngine m_engine;
    std::unique_ptr<CaptureCard> m_card;
    std::unique_ptr<platform::KeyEventSource> m_eventSource;
    bool m_started = false;
    std::unique_ptr<platform::FileWatch> m_macroWatch;
    bool m_windowTimerRunning = false;
    bool m_hotKeyWatched = false;
    std::atomic<bool> m_shutDown{false};
    std::once_flag m_shutdownDone;
};

// An integer as the options window reads one: optional blanks and sign, then digits and
// nothing else. Nothing for any other text.
std::optional<int> parseFormInteger(std::string_view text);

} // namespace velora::remote
