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
    bool writable = false;
    if (!folder.empty()) {
        QDir::setCurrent(QString::fromLocal8Bit(folder.c_str()));
        writable = platform::isWritableFolder(folder);
    }
    g_iniPath = LocateIniFile(folder, writable);

    LinuxDataFolders dataFolders(folder);
    V4l2CaptureDrivers captureDrivers;
    QtFontFaces fonts;
    XrandrDisplayModes displayModes;
    CSettingsDlg dialog(platform::systemProfile(), g_iniPath, {dataFolders, captureDrivers, fonts, displayModes});
    dialog.exec();
    return false;
}

} // namespace velora::config
