#include "OVControlAPI.h"

#include "RouterThreads.h"
#include "api/OVRouterOS.h"
#include "model/Secrets.h"

#include <QCoroFuture>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtConcurrent/QtConcurrentRun>

#include <type_traits>
#include <variant>

namespace {

struct Exchange
{
    QString address;
    qint64 port = 0;
    QString username;
    QString password;
    bool ssl = false;
    bool validSSL = false;
    QString timeout;
    QString commandWord;
};

// Runs on a worker thread: the client blocks until the reply is complete or fails.
OVRouterOS::CallResult runExchange(Exchange exchange)
{
    OVRouterOS client(exchange.address, exchange.port, exchange.username, exchange.password, exchange.ssl,
        exchange.validSSL, exchange.timeout);
    return client.call(Request(exchange.commandWord, ApiType::GET));
}

QString messageFor(const ApiError& error)
{
    if (const auto* routerOSError = std::get_if<OVRouterOSError>(&error)) {
        switch (*routerOSError) {
        case OVRouterOSError::LOGIN:
            return QStringLiteral("Error during login: ");
        case OVRouterOSError::API:
            return QStringLiteral("API usage error: ");
        case OVRouterOSError::MISSING_PARAM:
            return QStringLiteral("Missing Parameter in API call: ");
        case OVRouterOSError::UNKNOW:
            break;
        }
    }
    return localizedDescription(error);
}

QJsonObject toObject(const Sentence::Row& row)
{
    QJsonObject object;
    for (auto it = row.cbegin(); it != row.cend(); ++it)
        object.insert(it.key(), it.value());
    return object;
}

// The same shapes as the REST API gives: health and package are every row in reply order, the
// others the first row; no rows at all is an empty array.
QString rowsToJson(OVRequestCommand command, const QList<Sentence::Row>& rows)
{
    if (rows.isEmpty())
        return QStringLiteral("[]");
    QJsonDocument document;
    if (command == OVRequestCommand::system_health || command == OVRequestCommand::system_package) {
        QJsonArray array;
        for (const auto& row : rows)
            array.append(toObject(row));
        document.setArray(array);
    } else {
        document.setObject(toObject(rows.first()));
    }
    return QString::fromUtf8(document.toJson(QJsonDocument::Indented));
}

// The router's own words for a refusal: the "message" attribute of the trap. Its attributes are
// the rows after the data rows, so the last message wins over one a data row may carry.
QString trapMessage(const QList<Sentence::Row>& rows)
{
    for (auto it = rows.crbegin(); it != rows.crend(); ++it) {
        const auto found = it->constFind(QStringLiteral("message"));
        if (found != it->cend())
            return found.value();
    }
    return {};
}

bool isDecimalWholeNumber(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^[+-]?[0-9]+$"));
    return pattern.match(text).hasMatch();
}

} // namespace

QCoro::Task<ValidateReturn> OVControlAPI::makeCall(OVRequestCommand command)
{
    // The keychain is awaited here, on the calling thread.
    const ValidateReturn clear = co_await Secrets::decrypt(password);
    bool portOk = isDecimalWholeNumber(port);
    const qint64 portNumber = portOk ? port.toLongLong(&portOk, 10) : 0;
    if (!portOk)
        co_return ValidateReturn::failure(QStringLiteral("Missing Parameter in API call: "));

    Exchange exchange {address, portNumber, username, clear.response.value_or(QString()), ssl, validSSL, timeout,
        apiCommandWord(command)};
    const OVRouterOS::CallResult result
        = co_await QtConcurrent::run(&routerThreadPool(), runExchange, std::move(exchange));
    if (!result.success || !result.sentence)
        co_return ValidateReturn::failure(messageFor(result.error.value_or(ApiError {OVRouterOSError::UNKNOW})));

    const Sentence& reply = *result.sentence;
    ValidateReturn success = ValidateReturn::ok();
    if (reply.trapped) {
        // A router without health sensors, or without that menu, may refuse the health print:
        // that is a router with no readings, and its refresh must go on.
        if (command != OVRequestCommand::system_health)
            co_return ValidateReturn::failure(QStringLiteral("API usage error: ") + trapMessage(reply.SentenceData));
        success.response = QStringLiteral("[]");
        co_return success;
    }
    success.response = rowsToJson(command, reply.SentenceData);
    co_return success;
}
