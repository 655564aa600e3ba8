#include "HttpsServer.h"

#include <QHostAddress>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>

#include <memory>

namespace {
const char* reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 307:
        return "Temporary Redirect";
    case 308:
        return "Permanent Redirect";
    case 204:
        return "No Content";
    case 205:
        return "Reset Content";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}
} // namespace

QByteArray HttpRequestRecord::header(const QByteArray& name) const
{
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

HttpsServer::HttpsServer(const TestCertificates& certificates, QObject* parent)
    : QObject(parent)
{
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setLocalCertificate(certificates.certificate());
    config.setPrivateKey(certificates.privateKey());
    config.setPeerVerifyMode(QSslSocket::VerifyNone);
    m_server.setSslConfiguration(config);
    m_server.setHandshakeTimeout(10000);
    connect(&m_server, &QTcpServer::pendingConnectionAvailable, this, &HttpsServer::onConnection);
}

struct HttpsServer::Transfer
{
    QPointer<QSslSocket> socket;
    HttpReply reply;
    qsizetype sent = 0;
    bool holding = false;
    bool released = false;
    bool ended = false;
};

HttpsServer::~HttpsServer()
{
    for (const auto& socket : m_sockets) {
        if (socket)
            socket->abort();
    }
}

bool HttpsServer::listen(const QHostAddress& address, quint16 port)
{
    return m_server.listen(address, port);
}

quint16 HttpsServer::port() const
{
    return m_server.serverPort();
}

QString HttpsServer::baseUrl(const QString& host) const
{
    return QStringLiteral("https://%1:%2").arg(host).arg(port());
}

void HttpsServer::setRoute(const QByteArray& path, const HttpReply& reply)
{
    m_routes[path] = reply;
}

void HttpsServer::clearRoutes()
{
    m_routes.clear();
}

void HttpsServer::setHandler(std::function<HttpReply(const HttpRequestRecord&)> handler)
{
    m_handler = std::move(handler);
}

void HttpsServer::onConnection()
{
    while (m_server.hasPendingConnections()) {
        auto* socket = qobject_cast<QSslSocket*>(m_server.nextPendingConnection());
        if (!socket)
            continue;
        socket->setParent(this);
        m_sockets.append(socket);
        connect(socket, &QSslSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
        if (socket->bytesAvailable() > 0)
            onReadyRead(socket);
    }
}

void HttpsServer::onReadyRead(QSslSocket* socket)
{
    QByteArray buffer = socket->property("ovBuffer").toByteArray() + socket->readAll();
    for (;;) {
        const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            break;
        const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
        HttpRequestRecord request;
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        request.method = requestLine.value(0);
        request.path = requestLine.value(1);
        qsizetype contentLength = 0;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].trimmed();
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0)
                continue;
            const QByteArray name = line.left(colon).trimmed();
            const QByteArray value = line.mid(colon + 1).trimmed();
            request.headers.append({name, value});
            if (name.compare("Content-Length", Qt::CaseInsensitive) == 0)
                contentLength = value.toLongLong();
        }
        if (buffer.size() < headerEnd + 4 + contentLength)
            break;
        request.body = buffer.mid(headerEnd + 4, contentLength);
        buffer.remove(0, headerEnd + 4 + contentLength);
        m_requests.append(request);
        answer(socket, request);
    }
    socket->setProperty("ovBuffer", buffer);
}

void HttpsServer::answer(QSslSocket* socket, const HttpRequestRecord& request)
{
    HttpReply reply;
    if (auto it = m_routes.find(request.path); it != m_routes.end())
        reply = it->second;
    else if (m_handler)
        reply = m_handler(request);
    else
        reply = HttpReply {404, "Not found", "text/plain"};

    if (reply.silent)
        return;
    if (reply.closeWithoutReply) {
        socket->disconnectFromHost();
        return;
    }
    QByteArray out = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reasonPhrase(reply.status) + "\r\n";
    out += "Content-Type: " + reply.contentType + "\r\n";
    for (const auto& [name, value] : reply.headers)
        out += name + ": " + value + "\r\n";
    switch (reply.framing) {
    case HttpReply::Framing::contentLength:
        out += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\nConnection: keep-alive\r\n\r\n";
        break;
    case HttpReply::Framing::chunked:
        out += "Transfer-Encoding: chunked\r\nConnection: keep-alive\r\n\r\n";
        break;
    case HttpReply::Framing::untilClose:
        out += "Connection: close\r\n\r\n";
        break;
    }
    const bool whole = reply.pieceSize <= 0 && reply.cutAfter < 0 && reply.holdAfter < 0
        && reply.framing == HttpReply::Framing::contentLength;
    if (whole) {
        socket->write(out + reply.body);
        m_bodyBytesSent += reply.body.size();
        return;
    }
    socket->write(out);
    auto transfer = std::make_shared<Transfer>();
    transfer->socket = socket;
    transfer->reply = reply;
    m_transfers.append(transfer);
    m_maxActiveTransfers = std::max(m_maxActiveTransfers, ++m_activeTransfers);
    connect(socket, &QObject::destroyed, this, [this, transfer] { endTransfer(transfer); });
    sendPiece(socket, transfer);
}

void HttpsServer::sendPiece(QSslSocket* socket, const std::shared_ptr<Transfer>& transfer)
{
    if (transfer->ended)
        return;
    if (!transfer->socket || transfer->socket->state() != QAbstractSocket::ConnectedState) {
        endTransfer(transfer);
        return;
    }
    const HttpReply& reply = transfer->reply;
    qsizetype end = reply.body.size();
    if (reply.cutAfter >= 0)
        end = std::min(end, reply.cutAfter);
    const bool mayHold
        = reply.holdAfter >= 0 && !transfer->released && (reply.cutAfter < 0 || reply.cutAfter > reply.holdAfter);
    if (mayHold)
        end = std::min(end, reply.holdAfter);
    if (transfer->sent >= end) {
        if (mayHold && !transfer->holding) {
            transfer->holding = true;
            ++m_held;
            emit held();
            return;
        }
        const bool cut = reply.cutAfter >= 0 && reply.cutAfter < reply.body.size();
        if (!cut && reply.framing == HttpReply::Framing::chunked)
            socket->write("0\r\n\r\n");
        if (cut || reply.framing == HttpReply::Framing::untilClose)
            socket->disconnectFromHost();
        endTransfer(transfer);
        return;
    }
    const qsizetype size = reply.pieceSize > 0 ? std::min(reply.pieceSize, end - transfer->sent) : end - transfer->sent;
    const QByteArray piece = reply.body.mid(transfer->sent, size);
    if (reply.framing == HttpReply::Framing::chunked)
        socket->write(QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n");
    else
        socket->write(piece);
    transfer->sent += size;
    m_bodyBytesSent += size;
    QTimer::singleShot(std::max(reply.pieceIntervalMs, 0), Qt::PreciseTimer, socket,
        [this, socket, transfer] { sendPiece(socket, transfer); });
}

void HttpsServer::endTransfer(const std::shared_ptr<Transfer>& transfer)
{
    if (transfer->ended)
        return;
    transfer->ended = true;
    if (transfer->holding)
        --m_held;
    transfer->holding = false;
    --m_activeTransfers;
    m_transfers.removeOne(transfer);
}

void HttpsServer::releaseHeld()
{
    const QList<std::shared_ptr<Transfer>> transfers = m_transfers;
    for (const auto& transfer : transfers) {
        if (!transfer->holding)
            continue;
        transfer->holding = false;
        transfer->released = true;
        --m_held;
        if (transfer->socket)
            sendPiece(transfer->socket, transfer);
        else
            endTransfer(transfer);
    }
}
