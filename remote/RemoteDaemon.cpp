#include "remote/RemoteDaemon.h"

#include <cstdlib>
#include <string>

#include "platform/VirtualKeys.h"

namespace velora::remote {
namespace {

constexpr const char* kNotFound = "BT848 not found! Check DLLs";
constexpr const char* kDefaultLircSocket = "/run/lirc/lircd";

// The number a control of the options window holds, when it lies in the key's range.
std::optional<int> numberInRange(std::string_view text, int RemoteSettings::*field)
{
    const auto value = parseFormInteger(text);
    return value && settingRange(field).contains(*value) ? value : std::nullopt;
}

OptionsError rangeError(OptionsError::Field control, int RemoteSettings::*field)
{
    const SettingRange range = settingRange(field);
    return OptionsError{control, "Please enter an integer between " + std::to_string(range.minimum) + " and " +
                                     std::to_string(range.maximum) + "."};
}

// atoi: leading blanks, a sign, digits; 0 when there is no number.
int atoiOf(std::string_view text)
{
    return std::atoi(std::string(text).c_str());
}

} // namespace

std::optional<int> parseFormInteger(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        negative = text[pos] == '-';
        ++pos;
    }
    long long value = 0;
    std::size_t digits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        value = value * 10 + (text[pos] - '0');
        if (value > 2147483648LL) {
            return std::nullopt;
        }
        ++pos;
        ++digits;
    }
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) {
        ++pos;
    }
    if (digits == 0 || pos != text.size()) {
        return std::nullopt;
    }
    value = negative ? -value : value;
    if (value > 2147483647LL) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

RemoteDaemon::RemoteDaemon(const DaemonServices& services, DaemonWindow& window, std::string iniPath)
    : m_services(services), m_window(window), m_iniPath(std::move(iniPath)), m_engine(services.engine)
{
    const RemoteSettings settings = readRemoteSettings(m_services.profile, m_iniPath);
    m_engine.setMouseMode(settings.InitialMode);
    AutoInit = settings.AutoInit;
    AutoInitTimeout = settings.AutoInitTimeout;
    MacroPath = settings.MacroPath;
    ReinitHotKey = settings.ReinitHotKey;
    MouseSpeed = settings.MouseSpeed;
    m_engine.setLogSuppressed(settings.Debug != 0);
    m_engine.setMouseStep(MouseSpeed);
    KeySource = settings.KeySource;
    LircSocket = settings.LircSocket;
    InputDevice = settings.InputDevice;
    RepeatKeys = settings.RepeatKeys;
    m_engine.setRepeatKeys(RepeatKeys != 0);
    Feedback = settings.Feedback;
    m_engine.setFeedbackOn(Feedback != 0);
    m_engine.setFeedbackListener([this](const std::string& text) { m_window.showFeedback(text); });
    if (!keySourceKind(KeySource)) {
        m_engine.log().WriteLog("KeySource '%s' is not card, lirc or input: the card serves\n", KeySource.c_str());
    }
    restartCountdown();
    m_engine.LoadMacroFile(MacroPath);
    // A key that changes the mode shows on the icon; the window hands it to its thread.
    m_engine.setModeListener([this](int mode) { m_window.updateTrayIcon(mode); });
}

RemoteDaemon::~RemoteDaemon()
{
    shutdown();
}

bool RemoteDaemon::start()
{
    if (m_shutDown.load()) {
        return false;
    }
    m_started = true;
    updateTimers();
    watchMacroFile();
    if (keySourceKind(KeySource).value_or(KeySourceKind::Card) != KeySourceKind::Card) {
        // LIRC and input devices need no card: the source waits for what it reads itself.
        openEventSource();
        return true;
    }
    m_card = std::make_unique<CaptureCard>(m_services.loader, m_services.engine.clock, CardRelease::UnmapThenUnload);
    if (!m_card->IsFound()) {
        m_window.showFailure(kNotFound);
        return false;
    }
    m_engine.ArmReceiver(*m_card);
    m_engine.startTick();
    return true;
}

bool RemoteDaemon::openEventSource()
{
    platform::KeySourceFactory* factory = m_services.keySources;
    const bool lirc = keySourceKind(KeySource) == KeySourceKind::Lirc;
    if (factory != nullptr) {
        // An empty socket is lircd's usual one.
        m_eventSource = lirc ? factory->makeLirc(LircSocket.empty() ? kDefaultLircSocket : LircSocket)
                             : factory->makeInput(InputDevice);
    }
    if (!m_eventSource || !m_engine.startEvents(*m_eventSource)) {
        m_eventSource.reset();
        m_engine.log().WriteLog("The key source %s could not be started\n", keySourceName(*keySourceKind(KeySource)));
        return false;
    }
    return true;
}

void RemoteDaemon::shutdown()
{
    std::call_once(m_shutdownDone, [this] {
        m_shutDown.store(true);
        m_macroWatch.reset(); // waits for a change being reported
        m_engine.shutdown();  // stops the event source as well
        m_eventSource.reset();
        updateTimers();
        m_engine.DisarmReceiver();
        m_card.reset();
    });
}

void RemoteDaemon::RequestReinit()
{
    if (m_shutDown.load()) {
        return;
    }
    restartCountdown();
    updateTimers();
    if (usesEvents()) {
        m_engine.reconnectEvents();
    } else {
        m_engine.RequestReinit();
    }
}

bool RemoteDaemon::hotKeyDown()
{
    std::uint8_t functionKey = 0;
    switch (ReinitHotKey) {
    case 1:
        functionKey = platform::VK_F10;
        break;
    case 2:
        functionKey = platform::VK_F11;
        break;
    case 3:
        functionKey = platform::VK_F12;
        break;
    default:
        return false;
    }
    platform::Desktop& desktop = m_services.engine.desktop;
    return desktop.isKeyDown(platform::VK_CONTROL) && desktop.isKeyDown(functionKey);
}

void RemoteDaemon::windowTimer()
{
    if (m_shutDown.load()) {
        return;
    }
    const bool hot = !m_hotKeyWatched && hotKeyDown();
    if (reinitCountdown > 0) {
        --reinitCountdown;
        if (reinitCountdown == 0) {
            RequestReinit();
            return;
        }
    }
    if (hot) {
        RequestReinit();
    }
    updateTimers();
}

void RemoteDaemon::hotKeyPressed()
{
    if (!m_shutDown.load() && m_hotKeyWatched && hotKeyDown()) {
        RequestReinit();
    }
}

void RemoteDaemon::updateTimers()
{
    const bool running = m_started && !m_shutDown.load();
    const bool hotKey = running && ReinitHotKey >= 1 && ReinitHotKey <= 3;
    platform::Desktop& desktop = m_services.engine.desktop;
    if (hotKey && !m_hotKeyWatched) {
        // The desktop calls on a thread of its own; the check belongs to the window thread.
        m_hotKeyWatched = desktop.watchKeyPresses([this] { m_window.post([this] { hotKeyPressed(); }); });
    } else if (!hotKey && m_hotKeyWatched) {
        desktop.watchKeyPresses({});
        m_hotKeyWatched = false;
    }
    const bool timer = running && (reinitCountdown > 0 || (hotKey && !m_hotKeyWatched));
    if (timer != m_windowTimerRunning) {
        if (timer) {
            m_window.startWindowTimer();
        } else {
            m_window.stopWindowTimer();
        }
        m_windowTimerRunning = timer;
    } else if (timer) {
        m_window.windowTimerChanged();
    }
}

int RemoteDaemon::windowTicksDue() const
{
    const bool polled = ReinitHotKey >= 1 && ReinitHotKey <= 3 && !m_hotKeyWatched;
    return polled || reinitCountdown <= 0 ? 1 : reinitCountdown;
}

void RemoteDaemon::setMode(int mode)
{
    m_engine.setMouseMode(mode);
    m_window.updateTrayIcon(mode);
}

void RemoteDaemon::keyboardModeCommand()
{
    setMode(0);
}

void RemoteDaemon::mouseModeCommand()
{
    setMode(1);
}

void RemoteDaemon::iconLeftClick()
{
    if (m_engine.mouseMode() != 0) {
        keyboardModeCommand();
    } else {
        mouseModeCommand();
    }
}

void RemoteDaemon::ReloadDrivers()
{
    if (m_shutDown.load()) {
        return;
    }
    m_engine.stopTick();
    m_engine.stopEvents();
    m_eventSource.reset();
    if (m_windowTimerRunning) {
        m_window.stopWindowTimer(); // not counting while the drivers are away
        m_windowTimerRunning = false;
    }
    m_engine.DisarmReceiver();
    m_card.reset();
    if (keySourceKind(KeySource).value_or(KeySourceKind::Card) != KeySourceKind::Card) {
        openEventSource();
        updateTimers();
        return;
    }
    m_card = std::make_unique<CaptureCard>(m_services.loader, m_services.engine.clock, CardRelease::UnmapThenUnload);
    if (!m_card->IsFound()) {
        m_window.showFailure(kNotFound);
        if (m_shutDown.load()) {
            return; // ended while the message was shown: the new card is gone already
        }
    }
    m_engine.ArmReceiver(*m_card);
    m_engine.startTick();
    updateTimers();
}

bool RemoteDaemon::reloadMacroFile()
{
    return !m_shutDown.load() && m_engine.LoadMacroFile(MacroPath);
}

void RemoteDaemon::macroFileChanged()
{
    if (m_shutDown.load()) {
        return;
    }
    if (m_engine.LoadMacroFile(MacroPath)) {
        m_engine.log().WriteNotice("Reloaded key tables from '%s' after it changed\n", MacroPath.c_str());
    }
}

void RemoteDaemon::watchMacroFile()
{
    m_macroWatch.reset();
    if (m_services.fileWatches == nullptr || m_shutDown.load()) {
        return;
    }
    const std::string path = m_engine.macroFileOnDisk(MacroPath);
    m_macroWatch = m_services.fileWatches->watchFile(path, kMacroSettleMs, kMacroMaxWaitMs,
                                                     [this] { m_window.post([this] { macroFileChanged(); }); });
    if (!m_macroWatch) {
        m_engine.log().WriteNotice("The folder of '%s' cannot be watched: changes to it need \"Reload key tables\"\n",
                                   path.c_str());
    }
}

void RemoteDaemon::speedEdited(std::string_view text)
{
    const int speed = atoiOf(text);
    if (speed != 0) {
        m_engine.setMouseStep(speed);
        MouseSpeed = speed;
    }
}

std::optional<OptionsError> RemoteDaemon::takeOptions(const OptionsForm& form)
{
    AutoInit = form.autoInit ? 1 : 0;
    const auto timeout = numberInRange(form.timeoutText, &RemoteSettings::AutoInitTimeout);
    if (!timeout) {
        return rangeError(OptionsError::Field::Timeout, &RemoteSettings::AutoInitTimeout);
    }
    AutoInitTimeout = *timeout;
    MacroPath = form.macroPath;
    const auto speed = numberInRange(form.speedText, &RemoteSettings::MouseSpeed);
    if (!speed) {
        return rangeError(OptionsError::Field::Speed, &RemoteSettings::MouseSpeed);
    }
    MouseSpeed = *speed;
    ReinitHotKey = form.hotKeyIndex;
    KeySource = keySourceName(form.keySourceIndex == 1   ? KeySourceKind::Lirc
                              : form.keySourceIndex == 2 ? KeySourceKind::Input
                                                         : KeySourceKind::Card);
    LircSocket = form.lircSocket;
    InputDevice = form.inputDevice;
    RepeatKeys = form.repeatKeys ? 1 : 0;
    m_engine.setRepeatKeys(form.repeatKeys);
    Feedback = form.feedback ? 1 : 0;
    m_engine.setFeedbackOn(form.feedback);
    updateTimers();
    return std::nullopt;
}

OptionsForm RemoteDaemon::options() const
{
    return OptionsForm{AutoInit != 0,   std::to_string(AutoInitTimeout),
                       MacroPath,       std::to_string(MouseSpeed),
                       ReinitHotKey,    static_cast<int>(keySourceKind(KeySource).value_or(KeySourceKind::Card)),
                       LircSocket,      InputDevice,
                       RepeatKeys != 0, Feedback != 0};
}

std::optional<OptionsError> RemoteDaemon::saveOptions(const OptionsForm& form)
{
    if (auto error = takeOptions(form)) {
        return error;
    }
    restartCountdown();
    updateTimers();
    RemoteSettings settings;
    settings.InitialMode = m_engine.mouseMode();
    settings.AutoInit = AutoInit;
    settings.AutoInitTimeout = AutoInitTimeout;
    settings.ReinitHotKey = ReinitHotKey;
    settings.MouseSpeed = MouseSpeed;
    settings.MacroPath = MacroPath;
    settings.KeySource = KeySource;
    settings.LircSocket = LircSocket;
    settings.InputDevice = InputDevice;
    settings.RepeatKeys = RepeatKeys;
    settings.Feedback = Feedback;
    if (!writeRemoteSettings(m_services.profile, m_iniPath, settings)) {
        m_window.showFailure("The options could not be saved to '" + m_iniPath + "'.");
    }
    return std::nullopt;
}

std::optional<OptionsError> RemoteDaemon::reloadKeyTables(const OptionsForm& form)
{
    if (m_shutDown.load()) {
        return std::nullopt;
    }
    if (auto error = takeOptions(form)) {
        return error;
    }
    m_engine.LoadMacroFile(MacroPath);
    if (m_windowTimerRunning) {
        watchMacroFile(); // the path may have changed; watched from the start on
    }
    // Shown also when the file could not be read: the earlier tables then stay in force.
    m_window.showMessage("Loaded key tables from '" + MacroPath + "'.");
    return std::nullopt;
}

} // namespace velora::remote
