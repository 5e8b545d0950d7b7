// KavoRemote: turns the card's remote control into keyboard and mouse input for the program
// in front. It runs in the background with an icon in the notification area.
//
// How it ends, and its exit status:
//   0  Exit in its menu or window, or SIGTERM, SIGINT, SIGHUP (its terminal closed) or
//      SIGQUIT; also a second start while a copy runs
//   1  it could not start: no card ("BT848 not found! Check DLLs")
//   2  the X server or the Wayland compositor went away (a logout, a crash, a killed server)
//      while the program ran on it
// Every end is the same orderly shutdown: a macro being played is cut short, the sampling
// tick stops, the keys and buttons it holds are released, the receiver is disarmed and the
// card let go (mapping released, then the driver library unloaded). Without an X server the
// process then ends at once, rather than take down windows on a connection that is gone.
// SIGPIPE is ignored; SIGUSR1 reloads the macro file, as "Reload key tables" does but
// without the message; so does a change to the macro file on disk, once it has settled. Before all this, --help and
// --version answer and end with 0, an unknown option ends with 2 after one line on standard error, and a display that
// cannot be opened at the start ends the program with 1 after one line on standard error and in the system log.
#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/ExecutablePath.h"
#include "platform/NullDesktop.h"
#include "platform/SearchPathFileSystem.h"
#include "platform/UserFolders.h"
#include "platform/linux/LinuxFileWatch.h"
#include "platform/linux/LinuxKeySourceFactory.h"
#include "platform/linux/LinuxLogFile.h"
#include "platform/linux/LinuxProgramStarter.h"
#include "platform/linux/LinuxTimerService.h"
#include "platform/linux/UinputDesktop.h"
#include "platform/wayland/WaylandDesktop.h"
#include "platform/x11/X11Desktop.h"
#include "remote/DesktopChoice.h"
#include "remote/LogRelay.h"
#include "remote/RemoteSettings.h"
#include "remote/ui/RemoteDialog.h"
#include "ui/ProgramStart.h"
#include "ui/SingleInstance.h"

namespace {

constexpr int kExitEnded = 0;
constexpr int kExitNoCard = 1;
constexpr int kExitDisplayLost = 2;

// remote.log moves to remote.log.1 once it has reached this size.
constexpr std::size_t kLogRotateAt = 1u << 20;

// What reaches the window thread through the event pipe, one byte each: the number of a
// signal, or this for the X server gone.
constexpr char kDisplayLost = 'X';

int g_eventPipe[2] = {-1, -1};

// Ends the process at once with a status, past Qt's teardown and the static destructors.
[[noreturn]] void endNow(int status)
{
    std::fflush(nullptr);
    std::_Exit(status);
}

// From signal handlers and from whichever thread noticed the X server gone: only a write.
void postToWindowThread(char event)
{
    [[maybe_unused]] const ssize_t written = write(g_eventPipe[1], &event, 1);
}

void onSignal(int number)
{
    const int saved = errno;
    postToWindowThread(static_cast<char>(number));
    errno = saved;
}

// Libraries may end the process with exit() behind the program's back: Qt's X11 plugin does
// when its connection to the X server breaks. exit() then runs the static destructors, the
// driver library's among them, while the tick thread still reads the card. This handler runs
// before them (it is registered again after every load of the driver library, so that it
// comes first): it ends the daemon in order and leaves at once. Two of Qt's threads may see a
// broken connection at the same time; the second waits here until the first has ended the
// process, so that it cannot end it in the middle of the shutdown.
std::atomic<velora::remote::ui::RemoteDialog*> g_running{nullptr};
// The status the program has decided on once it ends, until Qt has let go of the display;
// -1 otherwise.
std::atomic<int> g_status{-1};
std::recursive_mutex g_ending;

extern "C" void endBeforeExit()
{
    const std::lock_guard ending(g_ending);
    if (velora::remote::ui::RemoteDialog* dialog = g_running.exchange(nullptr)) {
        dialog->daemon().shutdown();
        g_status.store(kExitDisplayLost);
    }
    const int status = g_status.load();
    if (status >= 0) {
        endNow(status);
    }
}

// Qt's Wayland plugin ends the process with _exit() when its connection to the compositor
// breaks (the compositor died, the session ended), right after saying so through Qt's message
// handler, so no atexit handler runs then. This handler, installed on the Wayland platform,
// passes every message on and, on that one, ends the daemon in order first, as endBeforeExit
// does for the X11 plugin's exit().
QtMessageHandler g_qtMessages = nullptr;

void onQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    g_qtMessages(type, context, message);
    if (type != QtDebugMsg && type != QtInfoMsg && message.startsWith(QLatin1String("The Wayland connection "))) {
        endBeforeExit();
    }
}

// The system's loader, with endBeforeExit registered after each load (see there).
class ExitGuardedLoader final : public velora::platform::LibraryLoader
{
public:
    explicit ExitGuardedLoader(velora::platform::LibraryLoader& loader) : m_loader(loader) {}
    velora::platform::LibraryHandle load(const char* fileName) override
    {
        velora::platform::LibraryHandle library = m_loader.load(fileName);
        std::atexit(endBeforeExit);
        return library;
    }
    velora::platform::EntryPoint resolve(velora::platform::LibraryHandle library, const char* name) override
    {
        return m_loader.resolve(library, name);
    }
    void unload(velora::platform::LibraryHandle library) override { m_loader.unload(library); }

private:
    velora::platform::LibraryLoader& m_loader;
};

bool isSet(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

velora::remote::SessionFacts sessionFacts()
{
    const char* type = std::getenv("XDG_SESSION_TYPE");
    return {isSet("DISPLAY"), isSet("WAYLAND_DISPLAY"), type != nullptr ? type : ""};
}

} // namespace

namespace velora::remote::ui {

class RemoteApp : public QApplication
{
public:
    RemoteApp(int& argc, char** argv) : QApplication(argc, argv)
    {
        setApplicationName(QStringLiteral("KavoRemote"));
        setOrganizationName(QStringLiteral("Orvek"));
        setQuitOnLastWindowClosed(false);
    }

    int run()
    {
        // Signals are taken from the start; what they ask for waits in the pipe until the
        // window is there to act on it.
        std::signal(SIGPIPE, SIG_IGN);
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_eventPipe) == 0) {
            struct sigaction action
            {};
            action.sa_handler = onSignal;
            sigemptyset(&action.sa_mask);
            action.sa_flags = SA_RESTART;
            for (const int number : {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGUSR1}) {
                sigaction(number, &action, nullptr);
            }
        }
        std::atexit(endBeforeExit);
        if (platformName() == QLatin1String("wayland")) {
            g_qtMessages = qInstallMessageHandler(onQtMessage);
        }

        velora::ui::SingleInstance instance(QStringLiteral("KavoRemote"));
        if (!instance.acquire(false)) {
            return kExitEnded; // another copy runs: leave it alone, silently
        }
        const std::string folder = platform::executableDirectory();
        std::string iniPath = "velora.ini";
        std::string logPath = "remote.log";
        const bool systemWide = platform::isSystemWideInstall(folder);
        std::vector<std::string> dataFolders;
        if (!folder.empty()) {
            // A relative macro path is taken from the program's folder, as are the settings
            // and the log, unless this user cannot write there: then they live in the
            // per-user configuration folder. A system-wide install keeps each user's files in
            // the XDG folders: the user's copy of the site's default.mac makes the
            // configuration folder the current one, and a macro file not found there comes
            // from the suite folder or the user's data folder.
            platform::copySiteDefaults(folder);
            const std::string settings = platform::settingsFolder(folder);
            QDir::setCurrent(QString::fromLocal8Bit((systemWide ? settings : folder).c_str()));
            iniPath = settings + "/velora.ini";
            logPath = platform::logFolder(folder) + "/remote.log";
            if (systemWide) {
                dataFolders = {folder, platform::userDataFolder()};
            }
        }
        platform::SearchPathFileSystem files(platform::systemFileSystem(), dataFolders);

        // The desktop the keys go to: the one Desktop names in velora.ini, or the session's.
        std::string uinputError;
        DesktopOpeners openers;
        openers.x11 = [] { return platform::openX11Desktop(nullptr, [] { postToWindowThread(kDisplayLost); }); };
        // What the Wayland desktop says (a protocol the compositor lacks) goes to remote.log
        // once the daemon's log exists; it outlives the desktop.
        LogRelay desktopLines;
        openers.wayland = [&desktopLines] {
            return platform::openWaylandDesktop(
                nullptr, [&desktopLines](const std::string& line) { desktopLines.add(line); },
                [] { postToWindowThread(kDisplayLost); });
        };
        openers.uinput = [&uinputError] {
            platform::UinputOptions options;
            // VELORA_UINPUT_DEVICE: another device file, for tests.
            if (const char* path = std::getenv("VELORA_UINPUT_DEVICE"); path != nullptr && *path != '\0') {
                options.devicePath = path;
            }
            if (const QScreen* screen = QGuiApplication::primaryScreen()) {
                const QRect area = screen->virtualGeometry();
                options.screenWidth = area.width();
                options.screenHeight = area.height();
            }
            return platform::openUinputDesktop(options, &uinputError);
        };
        const std::string desktopSetting = readRemoteSettings(platform::systemProfile(), iniPath).Desktop;
        OpenedDesktop opened = openDesktop(desktopCandidates(desktopSetting, sessionFacts()), openers);
        const bool canEmulate = opened.desktop != nullptr;
        const std::string desktopLine = desktopLogLine(opened);
        std::unique_ptr<platform::Desktop> desktop = std::move(opened.desktop);
        if (!canEmulate) {
            desktop = std::make_unique<platform::NullDesktop>();
        }
        platform::LinuxTimerService timers;
        platform::LinuxProgramStarter programs(folder);
        platform::LinuxLogFile log(logPath, kLogRotateAt);
        ExitGuardedLoader loader(platform::systemLibraryLoader());
        platform::LinuxKeySourceFactory keySources;
        platform::LinuxFileWatchService fileWatches;
        int status = kExitEnded;
        RemoteDialog dialog(
            DaemonServices{RemoteServices{platform::systemClock(), timers, *desktop, programs, log, files}, loader,
                           platform::systemProfile(), &keySources, &fileWatches},
            iniPath);
        // "Browse..." starts among the user's own macro files when there are any.
        QStringList macroFolders;
        if (systemWide) {
            macroFolders.append(QString::fromLocal8Bit(platform::userDataFolder().c_str()));
        }
        macroFolders.append(QDir::currentPath());
        if (systemWide) {
            macroFolders.append(QString::fromLocal8Bit(folder.c_str()));
        }
        dialog.setMacroFolders(macroFolders);
        if (!desktopSetting.empty() && !desktopKind(desktopSetting)) {
            dialog.daemon().engine().log().WriteLog(
                "Desktop '%s' is not x11, wayland or uinput: chosen by the session\n", desktopSetting.c_str());
        }
        if (!uinputError.empty()) {
            dialog.daemon().engine().log().WriteLog("uinput: %s\n", uinputError.c_str());
        }
        if (!desktopLine.empty()) {
            dialog.daemon().engine().log().WriteLog("%s", desktopLine.c_str());
        }
        dialog.setDesktopInUse(canEmulate ? std::optional(opened.kind) : std::nullopt);
        desktopLines.attach(dialog.daemon().engine().log());
        struct DetachLines
        {
            LogRelay& lines;
            ~DetachLines() { lines.detach(); } // before the dialog and its log go
        } detachLines{desktopLines};
        // From here until the dialog has ended, an exit() from a library ends the daemon first.
        g_running.store(&dialog);
        const auto end = [&dialog, &status](int why) {
            if (!dialog.hasEnded()) {
                status = why;
                g_status.store(why);
                dialog.endDialog(0);
            }
        };
        connect(&dialog, &RemoteDialog::ended, this, [&status] {
            g_running.store(nullptr);
            g_status.store(status);
            QCoreApplication::exit(status);
        });

        std::unique_ptr<QSocketNotifier> events;
        if (g_eventPipe[0] >= 0) {
            events = std::make_unique<QSocketNotifier>(g_eventPipe[0], QSocketNotifier::Read);
            connect(events.get(), &QSocketNotifier::activated, &dialog, [&dialog, &end] {
                char event = 0;
                while (read(g_eventPipe[0], &event, 1) == 1) {
                    if (event == SIGUSR1) {
                        dialog.reloadMacroFileCommand();
                    } else {
                        end(event == kDisplayLost ? kExitDisplayLost : kExitEnded);
                    }
                }
            });
        }

        if (!dialog.initialise()) {
            g_running.store(nullptr);
            // A start without a card fails, whatever else came meanwhile, unless the display went.
            if (status == kExitDisplayLost) {
                endNow(status);
            }
            g_status.store(kExitNoCard);
            return kExitNoCard;
        }
        if (!canEmulate) {
            dialog.showFailure("KavoRemote cannot send keys or move the pointer on this desktop: it needs an X11 "
                               "session with the XTEST extension, a Wayland compositor with the virtual-keyboard "
                               "protocol, or write access to /dev/uinput.");
        }
        // A signal that came while a message box was open may have ended the dialog already.
        if (!dialog.hasEnded()) {
            exec();
        }
        g_running.store(nullptr);
        if (status == kExitDisplayLost) {
            endNow(status);
        }
        return status;
    }
};

} // namespace velora::remote::ui

namespace {

const velora::ui::ProgramInfo kProgram{
    "KavoRemote", "KavoRemote", "kavoremote",
    "KavoRemote turns the TV card's remote control into keyboard and mouse input for the program in "
    "front. It runs in the background with an icon in the notification area: a left click on the icon "
    "switches between keyboard and mouse mode, a right click opens its menu and options.\n\n"
    "In keyboard mode each remote key plays what the macro file binds to it for the window in front "
    "(keys, text, program starts, window commands); in mouse mode the digit keys move the pointer and "
    "click. Its settings are in section [KavoRemote] of velora.ini; it takes no arguments."};

} // namespace

int main(int argc, char** argv)
{
    if (const auto status = velora::ui::handleCommandLine(argc, argv, kProgram)) {
        return *status;
    }
    int status = kExitEnded;
    {
        velora::ui::StartGuard start(kProgram);
        velora::remote::ui::RemoteApp app(argc, argv);
        start.started();
        status = app.run();
    }
    // Qt has let go of the display: from here on the process ends as usual.
    g_status.store(-1);
    return status;
}
