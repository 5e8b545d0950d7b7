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
    // The command line has been read before (ui/ProgramStart); Qt's own options, such as
    // -platform, apply. The application name, shown in message-box captions, is
    // "VeloraConfig", set once the application exists.
    CSettingsApp(int& argc, char** argv);

    // Makes the program's folder the working directory, locates velora.ini, runs the
    // settings dialog on the system's lists until it closes, whichever way. Returns false:
    // no event loop follows and the program ends.
    bool InitInstance();
};

} // namespace velora::config
