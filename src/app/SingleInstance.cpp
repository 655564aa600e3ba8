#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

#include <cstdio>
#include <unistd.h>

namespace {
const QByteArray activateMessage = QByteArrayLiteral("activate\n");
// How long a later start keeps trying to reach a copy that is still starting up.
constexpr int handOverMsecs = 5000;
} // namespace

SingleInstance::SingleInstance(QObject* parent)
    : QObject(parent)
{ }

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverName()
{
    const QByteArray home = QCryptographicHash::hash(QDir::homePath().toUtf8(), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("orvanta-%1-%2").arg(::getuid()).arg(QString::fromLatin1(home.left(16)));
}

bool SingleInstance::claim()
{
    const QString name = serverName();
    m_lock = std::make_unique<QLockFile>(QDir::temp().filePath(name + QStringLiteral(".lock")));
    // Only a lock whose process has gone is stale, however long the copy has been running.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) {
        // A socket left behind by a copy that crashed would refuse the listen.
        QLocalServer::removeServer(name);
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onConnection);
        if (!m_server->listen(name)) {
            std::fprintf(
                stderr, "Orvanta: later starts cannot reach this one: %s\n", qPrintable(m_server->errorString()));
        }
        return true;
    }

    // Another copy holds the lock. It may still be starting, so keep trying for a while; these
    // waits happen before any window exists.
    const QDeadlineTimer deadline(handOverMsecs);
    do {
        QLocalSocket socket;
        socket.connectToServer(name);
        if (socket.waitForConnected(500)) {
            socket.write(activateMessage);
            socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
            return false;
        }
        QThread::msleep(100);
    } while (!deadline.hasExpired());
    std::fputs("Orvanta is already running.\n", stderr);
    return false;
}

void SingleInstance::onConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->readAll().contains(activateMessage.trimmed()))
                emit activationRequested();
        });
    }
}
