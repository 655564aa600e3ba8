#pragma once

#include "ApiError.h"
#include "Request.h"
#include "Sentence.h"

#include <QString>

#include <memory>
#include <optional>

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

    std::optional<QString> userName;
    std::optional<QString> password;
    std::optional<QString> hostName;
    qint64 hostPort = 0;
    bool ssl = false;
    bool apiValidSSL = false;
    QString apiTimeout;
};
