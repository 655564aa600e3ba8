#pragma once

#include "ValidateReturn.h"

#include <QCoroTask>
#include <QString>

#include <functional>
#include <optional>

// SSH file transfer to a router (libssh). Both operations decipher the password on the calling
// (main) thread, then do their blocking work on a worker thread; every wait is bounded.
// The SSH port text falls back to 22 when empty or not a decimal number.
class OVNetSFTP
{
public:
    // Called with the bytes acknowledged so far and the file size; answering false stops the transfer.
    using Progress = std::function<bool(qint64 sent, qint64 size)>;

    // Everything a blocking operation needs, copied so that it can leave the main thread.
    struct Login
    {
        QString address;
        QString username;
        QString password; // clear text
        QString sshport;
    };

    // Connect, authenticate with the password, disconnect. Failure: the library's description.
    static QCoro::Task<ValidateReturn> testSftp(QString address, QString username, QString password, QString sshport);
    // Writes the local file to `remotePath` from its start, logging "Upload progress: %d / %d"
    // to the system log per progress report.
    static QCoro::Task<ValidateReturn> upload(
        QString address, QString username, QString password, QString sshport, QString localPath, QString remotePath);
    // The same with another progress report in place of the system log.
    static QCoro::Task<ValidateReturn> upload(QString address, QString username, QString password, QString sshport,
        QString localPath, QString remotePath, Progress progress);

    // The progress report of upload(): one system-log line, and the transfer goes on.
    static bool uploadProgress(qint64 sent, qint64 size);

    // The port to connect to: 22 for an empty or non-numeric text; absent for a number that is no port.
    static std::optional<int> portNumber(const QString& sshport);

    // The blocking halves, for worker threads only; the password is already in clear.
    static ValidateReturn testSftpBlocking(const Login& login);
    static ValidateReturn uploadBlocking(
        const Login& login, const QString& localPath, const QString& remotePath, const Progress& progress);
};
