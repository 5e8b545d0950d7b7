#include "config/ui/CSettingsApp.h"

#include "config/linux/LinuxDataFolders.h"
#include "config/linux/V4l2CaptureDrivers.h"
#include "config/linux/XrandrDisplayModes.h"
#include "config/ui/CSettingsDlg.h"
#include "config/ui/QtFontFaces.h"
#include "platform/ExecutablePath.h"
#include "platform/Profile.h"
#include "platform/UserFolders.h"

#include <QDir>

namespace velora::config {

std::string g_iniPath;

CSettingsApp::CSettingsApp(int& argc, char** argv) : QApplication(argc, argv) {}

bool CSettingsApp::InitInstance()
{
    const std::string folder = platform::executableDirectory();
    // A system-wide install keeps each user's velora.ini in the user's configuration folder,
    // starting from the site's; its data folders come with the user's own descriptions.
    const bool systemWide = platform::isSystemWideInstall(folder);
    bool writable = false;
    if (!folder.empty()) {
        QDir::setCurrent(QString::fromLocal8Bit(folder.c_str()));
        platform::copySiteDefaults(folder);
        writable = !systemWide && platform::isWritableFolder(folder);
    }
    g_iniPath = LocateIniFile(folder, writable);

    LinuxDataFolders suiteFolders(folder);
    const std::string userFolder = systemWide ? platform::userDataFolder() : std::string();
    LinuxDataFolders userFolders(userFolder);
    UserDataFolders dataFolders(suiteFolders, userFolder.empty() ? nullptr : &userFolders);
    V4l2CaptureDrivers captureDrivers;
    QtFontFaces fonts;
    XrandrDisplayModes displayModes;
    CSettingsDlg dialog(platform::systemProfile(), g_iniPath, {dataFolders, captureDrivers, fonts, displayModes});
    dialog.exec();
    return false;
}

} // namespace velora::config
