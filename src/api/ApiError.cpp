#include "ApiError.h"

namespace {
QString describe(OVRouterOSError error)
{
    switch (error) {
    case OVRouterOSError::LOGIN:
        return QStringLiteral("The router refused the login.");
    case OVRouterOSError::API:
        return QStringLiteral("The router closed the connection or stopped answering before the reply was complete.");
    case OVRouterOSError::MISSING_PARAM:
        return QStringLiteral("A value the request needs is missing or unusable.");
    case OVRouterOSError::UNKNOW:
        break;
    }
    return QStringLiteral("The operation couldn't be completed.");
}

QString describe(SentenceError error)
{
    switch (error) {
    case SentenceError::NoData:
        return QStringLiteral("The data couldn't be read because it is missing.");
    case SentenceError::DataFailure:
        break;
    case SentenceError::DataInvalidFormat:
        return QStringLiteral("The data couldn't be read because it isn't in the correct format.");
    }
    return QStringLiteral("The data couldn't be read.");
}

QString describe(const SocketError& error)
{
    return error.description.isEmpty() ? QStringLiteral("The network connection failed.") : error.description;
}
} // namespace

QString localizedDescription(const ApiError& error)
{
    return std::visit([](const auto& value) { return describe(value); }, error);
}
