// Opening files with the desktop's program for their type: xdg-open, run without waiting for
// it, so that the shell goes on while the desktop looks for a program (or while the program
// xdg-open started runs, as it does on desktops without their own opener).
#pragma once

#include <QObject>
#include <QString>

#include <string>

namespace velora::shell::ui {

class FileOpener : public QObject
{
    Q_OBJECT

public:
    explicit FileOpener(QObject* parent = nullptr);
    // Openers still running are left to run, with the programs they started.
    ~FileOpener() override;

    // Hands the file (an absolute path) to xdg-open as a file URL, in the current directory,
    // and returns at once.
    void open(const std::string& path);

signals:
    // The opener could not be started, or ended with a failure (xdg-open: no program for the
    // type, or the program failed); fileName is the file's name without its folder.
    void failed(const QString& fileName);
};

} // namespace velora::shell::ui
