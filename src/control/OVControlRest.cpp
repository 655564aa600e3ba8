#include "OVControlRest.h"

#include "model/Secrets.h"

#include <QByteArray>
#include <QCoroNetworkReply>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QTimer>
#include <QUrl>

#include <cmath>
#include <limits>
#include <memory>

namespace {

const QString webSslError = QStringLiteral("Web-SSL error: ");
constexpr double defaultTimeoutSeconds = 10.0;

// Status-derived reply errors: the router answered, and its body is the answer.
bool isHttpStatusError(QNetworkReply::NetworkError error)
{
    // 400 is reported as a protocol error, 407 among the proxy errors.
    return (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError)
        || (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError)
        || error == QNetworkReply::ProtocolInvalidOperationError
        || error == QNetworkReply::ProxyAuthenticationRequiredError;
}

QString jsonText(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Double:
    case QJsonValue::Bool:
        return value.toVariant().toString();
    default:
        return {};
    }
}

ValidateReturn failure(const QString& description, std::shared_ptr<QNetworkAccessManager> session)
{
    ValidateReturn result = ValidateReturn::failure(webSslError + description);
    result.session = std::move(session);
    return result;
}

} // namespace

int OVControlRest::timeoutMilliseconds(const QString& text)
{
    bool ok = false;
    double seconds = text.toDouble(&ok);
    // A time-out of zero or less would mean no bound at all.
    if (!ok || text.trimmed() != text || !std::isfinite(seconds) || seconds <= 0)
        seconds = defaultTimeoutSeconds;
    const double ms = std::ceil(seconds * 1000.0);
    return ms >= double(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max() : qMax(1, int(ms));
}

QCoro::Task<ValidateReturn> OVControlRest::makeCall(OVRequestCommand command)
{
    // Copied before the first suspension: nothing below reads the object again.
    const bool isGet = isReadCommand(command);
    const QString urlText
        = QStringLiteral("https://") + address + QLatin1Char(':') + port + QStringLiteral("/rest") + rawValue(command);
    const int timeoutMs = timeoutMilliseconds(timeout);
    const bool verifyPeer = validSSL;
    const QString user = username;

    auto session = std::make_shared<QNetworkAccessManager>();
    session->setTransferTimeout(timeoutMs);
    session->setCache(nullptr);

    const ValidateReturn clear = co_await Secrets::decrypt(password);
    if (!clear.success)
        co_return ValidateReturn {false, clear.message, clear.response, {}};
    const QString clearPassword = clear.response.value_or(QString());

    const QUrl url(urlText, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        co_return failure(QStringLiteral("URL is not valid: ") + urlText, session);

    QNetworkRequest request(url);
    request.setRawHeader("Authorization", "Basic " + (user + QLatin1Char(':') + clearPassword).toUtf8().toBase64());
    request.setRawHeader("Accept", "application/json");
    request.setRawHeader("Content-Type", "application/json");
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    if (!verifyPeer) {
        // Any certificate is accepted, for this request only.
        QSslConfiguration ssl = request.sslConfiguration();
        ssl.setPeerVerifyMode(QSslSocket::VerifyNone);
        request.setSslConfiguration(ssl);
    }

    std::unique_ptr<QNetworkReply> reply(
        isGet ? session->get(request) : session->post(request, QByteArrayLiteral("{\".query\":[\"\"]}")));
    // The transfer time-out only bounds silences; this bounds the whole exchange as well.
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, reply.get(), &QNetworkReply::abort);
    deadline.start(timeoutMs);
    co_await reply.get();
    deadline.stop();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = reply->error();
    if (error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError)
        co_return failure(QStringLiteral("The request timed out."), session);
    if (!status.isValid() || (error != QNetworkReply::NoError && !isHttpStatusError(error)))
        co_return failure(reply->errorString(), session);

    const QByteArray body = reply->readAll();
    const int code = status.toInt();
    if (body.isEmpty() && code != 204 && code != 205)
        co_return failure(
            QStringLiteral("Response could not be serialized, input data was nil or zero length."), session);

    if (isGet) {
        const QJsonDocument document = QJsonDocument::fromJson(body);
        if (document.isObject() && document.object().contains(QLatin1String("error")))
            co_return failure(jsonText(document.object().value(QLatin1String("message"))), session);
    }
    ValidateReturn result = ValidateReturn::ok();
    result.response = QString::fromUtf8(body);
    result.session = std::move(session);
    co_return result;
}
