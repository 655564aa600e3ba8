#pragma once

#include "ApiError.h"
#include "Request.h"
#include "Sentence.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QDeadlineTimer;
class QTcpSocket;

// One RouterOS API exchange: connect (TCP, or TLS when `ssl`), log in, send one request, read
// the reply, close. Blocking; runs on whatever thread calls it and uses no event loop of that
// thread's. Every wait is bounded by the time-out.
class OVRouterOS
{
public:
    struct CallResult
    {
        bool success = false;
        std::optional<ApiError> error;
        std::shared_ptr<Sentence> sentence; // present exactly when success is true
    };

    OVRouterOS(std::optional<QString> hostName, qint64 hostPort, std::optional<QString> userName,
        std::optional<QString> password, bool ssl, bool apiValidSSL, QString apiTimeout);
    ~OVRouterOS();

    OVRouterOS(const OVRouterOS&) = delete;
    OVRouterOS& operator=(const OVRouterOS&) = delete;

    // Never throws.
    CallResult call(const Request& request);

    // Milliseconds allowed for the connection (TCP and TLS handshake) and for each wait for reply
    // bytes, from the time-out text in whole seconds. Empty or unusable texts give 10 s; "0" gives
    // no connect time-out of its own, but the wait is still bounded.
    static int connectTimeoutMsecs(const QString& apiTimeout);
    static int readTimeoutMsecs(const QString& apiTimeout);

    std::optional<QString> userName;
    std::optional<QString> password;
    std::optional<QString> hostName;
    qint64 hostPort = 0;
    bool ssl = false;
    bool apiValidSSL = false;
    QString apiTimeout;

private:
    // These throw ApiError values; call() turns them into its result.
    void connect();
    bool login(); // false: the router refused or broke off the login (the socket is closed)
    bool writeSentence(const QStringList& words); // false: a word too long, or the write failed
    bool writeBytes(const QByteArray& bytes);
    // Reads until the bytes begin with one whole sentence, or the router closes the connection
    // (then whatever arrived, possibly nothing). Throws API when the time-out passes first.
    QByteArray readSentence();
    QByteArray readOnce(const QDeadlineTimer& deadline); // empty: the router closed the connection
    void closeSocket();

    std::unique_ptr<QTcpSocket> tcpSocket;
};
