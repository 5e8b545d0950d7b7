#include "shell/ui/FileOpener.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include <vector>

namespace velora::shell::ui {

FileOpener::FileOpener(QObject* parent) : QObject(parent) {}

namespace {

// Openers still running when the shell closes: left to run, and kept reachable from here
// until the shell's process ends (the list itself is never destroyed).
std::vector<QProcess*>& leftRunning()
{
    static auto* const processes = new std::vector<QProcess*>();
    return *processes;
}

} // namespace

FileOpener::~FileOpener()
{
    // An opener may still be running, or may itself have become the program that shows the
    // file (a player the user is watching): it is left to run. A QProcess destroyed while
    // its process runs would kill it, so the object is let go instead.
    for (QProcess* process : findChildren<QProcess*>(Qt::FindDirectChildrenOnly)) {
        process->disconnect(this);
        if (process->state() != QProcess::NotRunning) {
            process->setParent(nullptr);
            leftRunning().push_back(process);
        }
    }
}

void FileOpener::open(const std::string& path)
{
    const QString file = QFile::decodeName(QByteArray::fromStdString(path));
    const QString name = QFileInfo(file).fileName();
    auto* process = new QProcess(this);
    // What the opener and the program it starts print goes where the shell's own output goes,
    // and they read nothing.
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    connect(process, &QProcess::finished, this, [this, process, name](int exitCode, QProcess::ExitStatus status) {
        if (status != QProcess::NormalExit || exitCode != 0) {
            emit failed(name);
        }
        process->deleteLater();
    });
    connect(process, &QProcess::errorOccurred, this, [this, process, name](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            emit failed(name);
            process->deleteLater();
        }
    });
    // The URL as the desktop services of Qt hand it over: percent-encoded.
    process->start(QStringLiteral("xdg-open"),
                   {QString::fromLatin1(QUrl::fromLocalFile(file).toEncoded(QUrl::FullyEncoded))});
}

} // namespace velora::shell::ui
