#pragma once

#include "ValidateReturn.h"

#include <QCoroTask>
#include <QString>

// SSH file transfer to a router (libssh). Both operations decipher the password on the calling
// (main) thread, then do their blocking work on a worker thread; every wait is bounded.
// The SSH port text falls back to 22 when empty or not a decimal number.
class OVNetSFTP
{
public:
    // Connect, authenticate with the password, disconnect. Failure: the library's description.
    static QCoro::Task<ValidateReturn> testSftp(QString address, QString username, QString password,
        QString sshport);
    // Writes the local file to `remotePath` from its start, logging "Upload progress: %d / %d"
    // to the system log per progress report.
    static QCoro::Task<ValidateReturn> upload(QString address, QString username, QString password, QString sshport,
        QString localPath, QString remotePath);
};
