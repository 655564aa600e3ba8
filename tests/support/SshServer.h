#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// A real SSH server with an SFTP subsystem on 127.0.0.1 and an ephemeral port, for tests and
// benchmarks: python3-asyncssh's SFTP server, rooted in a private temporary folder so that "/"
// is writable, with a fresh Ed25519 host key and one user with a password. It runs in a child
// process that ends with this object (and on its own when the parent goes away).
class SshServer
{
public:
    explicit SshServer(QString user = QStringLiteral("admin"), QString password = QStringLiteral("sftp-secret"));
    ~SshServer();
    SshServer(const SshServer&) = delete;
    SshServer& operator=(const SshServer&) = delete;

    // Starts the server and waits (bounded) until it listens. False with errorText() otherwise.
    bool start();
    void stop();

    quint16 port() const { return m_port; }
    QString user() const { return m_user; }
    QString password() const { return m_password; }
    // The local folder the client sees as "/".
    QString rootPath() const;
    // Where a remote path such as "/routeros.npk" lands on this machine.
    QString localPathOf(const QString& remotePath) const;
    // "ssh-ed25519 AAAA..." of the host key.
    QByteArray hostPublicKey() const { return m_hostKey; }
    // The known_hosts line that lists this server with its own key.
    QByteArray knownHostsLine() const;
    QString errorText() const { return m_error; }
    // The server process, for tests that freeze it to play a server that stops answering.
    qint64 processId() const { return m_process ? m_process->processId() : 0; }

private:
    QString m_user;
    QString m_password;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    QByteArray m_hostKey;
    QString m_error;
};
