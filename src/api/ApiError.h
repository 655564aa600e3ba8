#pragma once

#include <QString>

#include <variant>

// Reply kinds, in protocol order.
enum class ReturnType { NONE, DONE, TRAP, HALT, RE };

// Errors of the reply parser.
enum class SentenceError { NoData, DataFailure, DataInvalidFormat };

// Errors of the API client. UNKNOW is spelled so and never raised by the client.
enum class OVRouterOSError { LOGIN, API, MISSING_PARAM, UNKNOW };

// A socket or TLS failure, carried with the platform's description.
struct SocketError
{
    QString description;

    bool operator==(const SocketError&) const = default;
};

// Whatever ended an API exchange unsuccessfully.
using ApiError = std::variant<OVRouterOSError, SentenceError, SocketError>;

// The description shown to the user for errors that have no fixed message.
QString localizedDescription(const ApiError& error);
