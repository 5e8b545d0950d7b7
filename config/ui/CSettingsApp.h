// The settings tool's application: start-up, one modal dialog, end.
#pragma once

#include <QApplication>

#include <string>

namespace velora::config {

// The configuration file, located at start-up: velora.ini beside the program, or the
// per-user one when the program's folder cannot be written.
extern std::string g_iniPath;

class CSettingsApp : public QApplication
{
    Q_OBJECT

public:
    // Command-line arguments are ignored (Qt's own, such as -platform, still apply). The
    // application name, shown in message-box captions, is the program's file name.
    CSettingsApp(int& argc, char** argv);

    // Makes the program's folder the working directory, locates velora.ini, runs the
    // settings dialog on the system's lists until it closes, whichever way. Returns false:
    // no event loop follows and the program ends.
    bool InitInstance();
};

} // namespace velora::config
