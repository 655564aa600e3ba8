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

// The same shapes as the REST API gives: health is every row, package the first row in an
// array, the others the first row; no rows at all is an empty array.
QString rowsToJson(OVRequestCommand command, const QList<Sentence::Row>& rows)
{
    if (rows.isEmpty())
        return QStringLiteral("[]");
    QJsonDocument document;
    if (command == OVRequestCommand::system_health) {
        QJsonArray array;
        for (const auto& row : rows)
            array.append(toObject(row));
        document.setArray(array);
    } else if (command == OVRequestCommand::system_package) {
        document.setArray(QJsonArray {toObject(rows.first())});
    } else {
        document.setObject(toObject(rows.first()));
    }
    return QString::fromUtf8(document.toJson(QJsonDocument::Indented));
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

    ValidateReturn success = ValidateReturn::ok();
    success.response = rowsToJson(command, result.sentence->SentenceData);
    co_return success;
}
