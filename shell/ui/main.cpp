// KavoShell: a full-screen list of directories, drives and favourites, worked from across
// the room with a handful of keys (or a remote through KavoRemote).
#include "platform/Directories.h"
#include "platform/ExecutablePath.h"
#include "platform/FileSystem.h"
#include "platform/MountTable.h"
#include "platform/Profile.h"
#include "platform/UserFolders.h"
#include "shell/EntryList.h"
#include "shell/Listing.h"
#include "shell/ui/MimeFileTypes.h"
#include "shell/ui/ShellPainter.h"
#include "shell/ui/ShellWindow.h"
#include "ui/ProgramStart.h"
#include "ui/SingleInstance.h"

#include <QApplication>
#include <QThread>

#include <thread>

#include <fontconfig/fontconfig.h>

namespace {

// The list of the process: in static storage, so that listing allocates nothing, and built
// at compile time as zero bytes, so that it costs neither file size nor start-up time.
constinit velora::shell::EntryList g_list;

const velora::ui::ProgramInfo kProgram{
    "KavoShell", velora::shell::ui::kWindowClass, "kavoshell",
    "KavoShell is a full-screen list of folders, drives and favourites, made to be worked from across "
    "the room with a few keys or with the TV card's remote control through KavoRemote.\n\n"
    "Up and Down move the highlight, Enter opens a folder or hands a file to the desktop's program for "
    "it, Backspace goes up a folder, F1 lists the drives, F2 the drives and the favourites of fav.dat, "
    "Escape closes the shell. It starts in the folder it showed last (LastDir in section [KavoShell] "
    "of velora.ini). It takes no arguments."};

} // namespace

int main(int argc, char** argv)
{
    using namespace velora;
    if (const auto status = ui::handleCommandLine(argc, argv, kProgram)) {
        return *status;
    }
    // A user's first start of a system-wide install: the site's velora.ini and fav.dat.
    platform::copySiteDefaults(platform::executableDirectory());
    shell::ShellSystem system{platform::systemDirectories(),   platform::systemMountTable(),
                              platform::systemFileSystem(),    platform::systemProfile(),
                              platform::executableDirectory(), platform::userConfigFolder()};
    shell::ReadShellSettings(system);
    shell::LoadLastDirectory(system);

    // While Qt connects to the display, which takes as long, the folder is listed with the
    // kinds of its files from the MIME database, and fontconfig reads its configuration,
    // which Qt would otherwise do only when the first text is drawn. None needs the others.
    // Qt takes the first thread that asks it for thread data as the program's main thread:
    // this one, before the listing thread asks.
    QThread::currentThread();
    shell::ui::MimeFileTypes fileTypes;
    system.fileTypes = &fileTypes;
    std::jthread listing([&system] { shell::ListDirectory(g_list, system); });
    std::jthread fonts([] { FcInit(); });

    ui::StartGuard start(kProgram);
    QApplication app(argc, argv);
    start.started();
    // The class half of the window's WM_CLASS.
    QApplication::setApplicationName(QString::fromLatin1(shell::ui::kWindowClass));

    ui::SingleInstance instance(QString::fromLatin1(shell::ui::kWindowTitle));
    if (!instance.acquire(true)) {
        return 0;
    }

    const shell::ui::KindIcons icons;
    listing.join();
    fonts.join();
    shell::ui::ShellWindow window(g_list, system, icons);
    QObject::connect(&instance, &ui::SingleInstance::activationRequested, &window,
                     [&window] { window.showOverScreen(); });
    window.showOverScreen();
    return app.exec();
}
