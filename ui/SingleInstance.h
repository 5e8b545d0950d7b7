// One running copy per user and program: a lock file decides who runs, and a local socket
// lets a second start tell the running copy to come to the front.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

namespace velora::ui {

class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // name identifies the program ("KavoShell"); the lock and the socket are per user, in
    // the user's runtime folder.
    explicit SingleInstance(const QString& name, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this is the only running copy (it then listens for later starts). False when
    // another copy runs; with notifyRunning, that copy is first asked to come to the front.
    bool acquire(bool notifyRunning);

signals:
    // A later start asked this copy to come to the front.
    void activationRequested();

private:
    QString m_name;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<QLocalServer> m_server;
};

} // namespace velora::ui
