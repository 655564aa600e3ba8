#include "OVControlRest.h"

#include "RestSession.h"
#include "RouterThreads.h"
#include "model/Secrets.h"

#include <QByteArray>
#include <QCoroFuture>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>

#include <curl/curl.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>

#include <cmath>
#include <limits>
#include <memory>

namespace {

const QString webSslError = QStringLiteral("Web-SSL error: ");
constexpr double defaultTimeoutSeconds = 10.0;
// Router replies are a few kilobytes; this only keeps a broken peer from filling the memory.
constexpr qsizetype maxReplyBytes = 64 * 1024 * 1024;
const char actionBody[] = "{\".query\":[\"\"]}";

// Everything the exchange needs, copied on the main thread before it starts.
struct Exchange
{
    QByteArray url;
    bool post = false;
    QByteArray authorization;
    long timeoutMs = 0;
    bool verifyPeer = false;
    QByteArray trustedPem; // certificates this process trusts besides the system's
};

struct Outcome
{
    bool transferred = false;
    QString error; // the failure's description when not transferred
    long status = 0;
    QByteArray body;
    QByteArray redirectUrl; // where a redirect answer points
};

struct Body
{
    QByteArray bytes;
    bool tooLarge = false;
};

size_t collectBody(char* data, size_t size, size_t count, void* user)
{
    auto* body = static_cast<Body*>(user);
    const size_t bytes = size * count;
    if (body->bytes.size() + qsizetype(bytes) > maxReplyBytes) {
        body->tooLarge = true;
        return 0; // ends the transfer with a write error
    }
    body->bytes.append(data, qsizetype(bytes));
    return bytes;
}

// Adds the process's own trusted certificates to the system's for one connection.
CURLcode addTrustedCertificates(CURL*, void* sslContext, void* user)
{
    const auto* pem = static_cast<const QByteArray*>(user);
    X509_STORE* store = SSL_CTX_get_cert_store(static_cast<SSL_CTX*>(sslContext));
    BIO* bio = BIO_new_mem_buf(pem->constData(), int(pem->size()));
    if (!bio)
        return CURLE_OUT_OF_MEMORY;
    while (X509* certificate = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr)) {
        X509_STORE_add_cert(store, certificate); // one the system holds already is not an error
        X509_free(certificate);
    }
    ERR_clear_error();
    BIO_free(bio);
    return CURLE_OK;
}

// The blocking exchange, on a router I/O thread: one connection, one request, one reply.
Outcome perform(const Exchange& exchange)
{
    Outcome outcome;
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
    if (!curl) {
        outcome.error = QStringLiteral("The HTTP session could not be made.");
        return outcome;
    }
    curl_slist* list = nullptr;
    for (const QByteArray& header : {"Authorization: " + exchange.authorization, QByteArray("Accept: application/json"),
             QByteArray("Content-Type: application/json")})
        list = curl_slist_append(list, header.constData());
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers(list, &curl_slist_free_all);

    char errorText[CURL_ERROR_SIZE] = {};
    Body body;
    CURL* handle = curl.get();
    curl_easy_setopt(handle, CURLOPT_URL, exchange.url.constData());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    // The request leaves as soon as the handshake ends, not after the peer's next segment.
    curl_easy_setopt(handle, CURLOPT_TCP_NODELAY, 1L);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, exchange.timeoutMs);
    // The router is the only host this call trusts: no redirect is followed, no proxy is used.
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(handle, CURLOPT_PROXY, "");
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &collectBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, exchange.verifyPeer ? 1L : 0L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, exchange.verifyPeer ? 2L : 0L);
    if (exchange.verifyPeer && !exchange.trustedPem.isEmpty()) {
        curl_easy_setopt(handle, CURLOPT_SSL_CTX_FUNCTION, &addTrustedCertificates);
        curl_easy_setopt(handle, CURLOPT_SSL_CTX_DATA, &exchange.trustedPem);
    }
    if (exchange.post) {
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, actionBody);
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE, long(sizeof(actionBody) - 1));
    } else {
        curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
    }

    const CURLcode code = curl_easy_perform(handle);
    if (code != CURLE_OK) {
        if (code == CURLE_OPERATION_TIMEDOUT)
            outcome.error = QStringLiteral("The request timed out.");
        else if (body.tooLarge)
            outcome.error = QStringLiteral("The reply is larger than %1 bytes.").arg(maxReplyBytes);
        else
            outcome.error = QString::fromUtf8(errorText[0] ? errorText : curl_easy_strerror(code));
        return outcome;
    }
    outcome.transferred = true;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &outcome.status);
    const char* redirect = nullptr;
    if (curl_easy_getinfo(handle, CURLINFO_REDIRECT_URL, &redirect) == CURLE_OK && redirect)
        outcome.redirectUrl = redirect;
    outcome.body = std::move(body.bytes);
    return outcome;
}

QByteArray trustedCertificatesPem()
{
    QByteArray pem;
    for (const QSslCertificate& certificate : QSslConfiguration::defaultConfiguration().caCertificates())
        pem += certificate.toPem();
    return pem;
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

ValidateReturn failure(const QString& description, std::shared_ptr<RestSession> session)
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
    // Before any router thread can touch the library.
    static const bool curlReady = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;

    // Copied before the first suspension: nothing below reads the object again.
    const bool isGet = isReadCommand(command);
    const QString urlText
        = QStringLiteral("https://") + address + QLatin1Char(':') + port + QStringLiteral("/rest") + rawValue(command);
    auto session = std::make_shared<RestSession>(RestSession {timeoutMilliseconds(timeout), validSSL});
    const QString user = username;

    const ValidateReturn clear = co_await Secrets::decrypt(password);
    if (!clear.success)
        co_return ValidateReturn {false, clear.message, clear.response, {}};
    const QString clearPassword = clear.response.value_or(QString());

    if (!curlReady)
        co_return failure(QStringLiteral("The HTTP library could not be started."), session);
    const QUrl url(urlText, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        co_return failure(QStringLiteral("URL is not valid: ") + urlText, session);

    Exchange exchange;
    exchange.url = url.toEncoded();
    exchange.post = !isGet;
    exchange.authorization = "Basic " + (user + QLatin1Char(':') + clearPassword).toUtf8().toBase64();
    exchange.timeoutMs = session->timeoutMilliseconds;
    exchange.verifyPeer = session->verifyPeer;
    if (exchange.verifyPeer)
        exchange.trustedPem = trustedCertificatesPem();
    const Outcome outcome = co_await QtConcurrent::run(&routerThreadPool(), perform, std::move(exchange));

    if (!outcome.transferred)
        co_return failure(outcome.error, session);
    // A redirect would take the request, and the router's password, to where the user never
    // pointed it; an action must not be re-sent either.
    if (outcome.status >= 300 && outcome.status <= 399 && !outcome.redirectUrl.isEmpty())
        co_return failure(QStringLiteral("The router redirected the request to %1, which is not followed.")
                              .arg(QString::fromUtf8(outcome.redirectUrl)),
            session);
    if (outcome.body.isEmpty() && outcome.status != 204 && outcome.status != 205)
        co_return failure(
            QStringLiteral("Response could not be serialized, input data was nil or zero length."), session);

    // Any status with a body is the router's answer; a RouterOS error object fails the call,
    // for reads and actions alike.
    const QJsonDocument document = QJsonDocument::fromJson(outcome.body);
    if (document.isObject() && document.object().contains(QLatin1String("error")))
        co_return failure(jsonText(document.object().value(QLatin1String("message"))), session);
    ValidateReturn result = ValidateReturn::ok();
    result.response = QString::fromUtf8(outcome.body);
    result.session = std::move(session);
    co_return result;
}
