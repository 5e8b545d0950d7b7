#include "ui/SingleInstance.h"

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

#include <unistd.h>

namespace velora::ui {
namespace {

// The user's runtime folder ($XDG_RUNTIME_DIR, private to the user and emptied at logout):
// both the lock and the socket live there, not in the shared /tmp.
QString lockFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        folder = QDir::tempPath();
    }
    return folder;
}

} // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent) : QObject(parent), m_name(name) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::acquire(bool notifyRunning)
{
    const QString base = lockFolder() + QLatin1Char('/') + QStringLiteral("velora-%1-%2").arg(m_name).arg(getuid());
    // A full path: a bare name would put the socket into the temporary folder.
    const QString id = base + QStringLiteral(".socket");
    m_lock = std::make_unique<QLockFile>(base + QStringLiteral(".lock"));
    // A lock left by a copy that crashed is taken over: QLockFile checks whether its owner
    // still runs.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(100)) {
        if (notifyRunning) {
            QLocalSocket socket;
            socket.connectToServer(id);
            if (socket.waitForConnected(1000)) {
                socket.write("activate\n");
                socket.waitForBytesWritten(1000);
                socket.disconnectFromServer();
            }
        }
        return false;
    }
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(id); // a socket file left by a crashed copy
    if (m_server->listen(id)) {
        connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* client = m_server->nextPendingConnection()) {
                connect(client, &QLocalSocket::readyRead, this, [this, client] {
                    if (client->readAll().contains("activate")) {
                        emit activationRequested();
                    }
                });
                connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            }
        });
    }
    return true;
}

} // namespace velora::ui
