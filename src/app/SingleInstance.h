#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLockFile;

// One running copy of the application per user. The first start takes a lock and listens on a
// local socket; a later start finds the lock taken, asks the running copy through the socket to
// bring its window forward, and leaves before it touches the store (two copies on one store
// would overwrite each other's devices).
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the one running copy (it then listens for later starts). False
    // when another copy runs: it has been asked to come forward and this process should end.
    bool claim();

    // The socket's name: the same for every start of one user with one home folder.
    static QString serverName();

signals:
    // A later start asked this copy to show itself.
    void activationRequested();

private:
    void onConnection();

    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
};
