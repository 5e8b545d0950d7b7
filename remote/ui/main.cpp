// KavoRemote: turns the card's remote control into keyboard and mouse input for the program
// in front. It runs in the background with an icon in the notification area.
#include <QApplication>
#include <QDir>
#include <QSocketNotifier>

#include <csignal>
#include <memory>
#include <string>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

#include "platform/ExecutablePath.h"
#include "platform/NullDesktop.h"
#include "platform/SearchPathFileSystem.h"
#include "platform/UserFolders.h"
#include "platform/linux/LinuxLogFile.h"
#include "platform/linux/LinuxProgramStarter.h"
#include "platform/linux/LinuxTimerService.h"
#include "platform/x11/X11Desktop.h"
#include "remote/ui/RemoteDialog.h"
#include "ui/ProgramStart.h"
#include "ui/SingleInstance.h"

namespace {

int g_signalPipe[2] = {-1, -1};

// remote.log moves to remote.log.1 once it has reached this size.
constexpr std::size_t kLogRotateAt = 1u << 20;

void onTerminate(int)
{
    const char byte = 1;
    // Only a write from the handler; the window thread does the rest.
    [[maybe_unused]] const ssize_t written = write(g_signalPipe[1], &byte, 1);
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
        velora::ui::SingleInstance instance(QStringLiteral("KavoRemote"));
        if (!instance.acquire(false)) {
            return 0; // another copy runs: leave it alone, silently
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

        std::unique_ptr<platform::Desktop> desktop = platform::X11Desktop::open();
        const bool canEmulate = desktop != nullptr;
        if (!canEmulate) {
            desktop = std::make_unique<platform::NullDesktop>();
        }
        platform::LinuxTimerService timers;
        platform::LinuxProgramStarter programs(folder);
        platform::LinuxLogFile log(logPath, kLogRotateAt);
        RemoteDialog dialog(
            DaemonServices{RemoteServices{platform::systemClock(), timers, *desktop, programs, log, files},
                           platform::systemLibraryLoader(), platform::systemProfile()},
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
        connect(&dialog, &RemoteDialog::ended, this, [] { QCoreApplication::exit(0); });

        // SIGTERM and SIGINT end the program as Exit does, without the question.
        std::unique_ptr<QSocketNotifier> terminate;
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) == 0) {
            terminate = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
            connect(terminate.get(), &QSocketNotifier::activated, &dialog, [&dialog] { dialog.endDialog(0); });
            struct sigaction action
            {};
            action.sa_handler = onTerminate;
            sigemptyset(&action.sa_mask);
            action.sa_flags = SA_RESTART;
            sigaction(SIGTERM, &action, nullptr);
            sigaction(SIGINT, &action, nullptr);
        }

        if (!dialog.initialise()) {
            return 1;
        }
        if (!canEmulate) {
            dialog.showFailure("KavoRemote cannot send keys or move the pointer on this desktop: it needs an X11 "
                               "session with the XTEST extension.");
        }
        // A signal that came while a message box was open has ended the dialog already.
        return dialog.hasEnded() ? 0 : exec();
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
    velora::ui::StartGuard start(kProgram);
    velora::remote::ui::RemoteApp app(argc, argv);
    start.started();
    return app.run();
}
