#include "FakeRestRouter.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

QJsonObject toObject(const RouterData::Row& row)
{
    QJsonObject object;
    for (auto it = row.cbegin(); it != row.cend(); ++it)
        object.insert(it.key(), it.value());
    return object;
}

HttpReply errorReply(int status, const QString& message)
{
    const QJsonObject error {{QStringLiteral("error"), status}, {QStringLiteral("message"), message}};
    return HttpReply {status, QJsonDocument(error).toJson(QJsonDocument::Compact)};
}

} // namespace

FakeRestRouter::FakeRestRouter(RouterData data, bool certificateNamesIp, QObject* parent)
    : QObject(parent)
    , m_data(std::move(data))
    , m_certificates(std::make_unique<TestCertificates>(QStringLiteral("localhost"), certificateNamesIp))
    , m_server(std::make_unique<HttpsServer>(*m_certificates))
{
    m_server->setHandler([this](const HttpRequestRecord& request) { return answer(request); });
}

FakeRestRouter::~FakeRestRouter() = default;

bool FakeRestRouter::listen(const QHostAddress& address, quint16 port)
{
    return m_certificates->isValid() && m_server->listen(address, port);
}

quint16 FakeRestRouter::port() const
{
    return m_server->port();
}

QJsonDocument FakeRestRouter::json(const QString& path) const
{
    const QList<RouterData::Row> rows = m_data.rows.value(path);
    if (path == QLatin1String("/system/resource") || path == QLatin1String("/system/routerboard"))
        return QJsonDocument(rows.isEmpty() ? QJsonObject() : toObject(rows.first()));
    QJsonArray array;
    for (const auto& row : rows)
        array.append(toObject(row));
    return QJsonDocument(array);
}

void FakeRestRouter::script(const QString& path, const HttpReply& reply)
{
    m_server->setRoute("/rest" + path.toUtf8(), reply);
}

void FakeRestRouter::clearScripts()
{
    m_server->clearRoutes();
}

HttpReply FakeRestRouter::answer(const HttpRequestRecord& request) const
{
    if (m_onRequest)
        m_onRequest(request);
    const QByteArray expected = "Basic " + (m_data.username + QLatin1Char(':') + m_data.password).toUtf8().toBase64();
    if (request.header("Authorization") != expected)
        return errorReply(401, QStringLiteral("Unauthorized"));
    if (!request.path.startsWith("/rest/"))
        return errorReply(400, QStringLiteral("no such command"));
    const QString path = QString::fromUtf8(request.path.mid(5));
    if (request.method == "POST")
        return HttpReply {200, "[]"};
    if (request.method != "GET" || !m_data.rows.contains(path))
        return errorReply(400, QStringLiteral("no such command or directory"));
    return HttpReply {200, json(path).toJson(QJsonDocument::Compact)};
}
