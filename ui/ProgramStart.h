// The start of each Qt program of the suite, up to its QApplication: the command line and a
// window system that cannot be reached.
//
// The programs take no arguments of their own beyond --help and --version, which answer
// without a display, so that they work in a terminal, over ssh and for help2man. Qt's own
// options (-platform, -display, -style, ...) pass on to Qt; any other option is refused.
#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace velora::ui {

struct ProgramInfo
{
    // The program's name, as --version shows it.
    const char* name;
    // The application name: message-box captions and the class of the program's windows
    // (the StartupWMClass of its desktop entry).
    const char* windowClass;
    // The base name of the program's desktop entry (and its icon), such as "kavoremote".
    const char* desktopFile;
    // What --help says about the program: paragraphs separated by empty lines.
    const char* description;
};

// Reads the command line. --help and --version print to standard output and give exit
// status 0; an unknown option gives one line on standard error and status 2. Nothing when
// the program is to start. Words that are not options are ignored, as they always were.
std::optional<int> handleCommandLine(int argc, char** argv, const ProgramInfo& info);

// The text of --help for a program started as argv0.
QString helpText(const ProgramInfo& info, const QString& argv0);

// Watches the construction of the QApplication: when Qt cannot open the display (no DISPLAY,
// a server that refuses the connection, no usable platform plugin), the program says so in
// one line on standard error and in the system log and exits with status 1, where Qt would
// abort. Qt's messages while the application starts are held back and passed on once it has
// started.
class StartGuard
{
public:
    explicit StartGuard(const ProgramInfo& info);
    ~StartGuard();
    StartGuard(const StartGuard&) = delete;
    StartGuard& operator=(const StartGuard&) = delete;

    // The application exists: sets its name, version and desktop entry name, installs the
    // translations for the user's language, and hands Qt's messages back to the handler
    // that was there before.
    void started();

private:
    const ProgramInfo& m_info;
    QtMessageHandler m_previous = nullptr;
    bool m_active = true;
};

} // namespace velora::ui
