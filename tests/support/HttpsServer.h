#pragma once

#include "TestCertificates.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QSslServer>

#include <functional>
#include <map>
#include <memory>

// One request as the server received it.
struct HttpRequestRecord
{
    QByteArray method;
    QByteArray path; // with the query, as sent
    QList<QPair<QByteArray, QByteArray>> headers; // in arrival order, names as sent
    QByteArray body;

    QByteArray header(const QByteArray& name) const; // case-insensitive, first match
};

// What the server sends back for one request.
struct HttpReply
{
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/json";
    bool silent = false; // accept the request and never answer (the connection stays open)
    bool closeWithoutReply = false; // close the connection without sending anything
    QList<QPair<QByteArray, QByteArray>> headers {}; // sent after Content-Type

    // How the body goes out; the defaults send it whole at once with its Content-Length.
    enum class Framing { contentLength, chunked, untilClose };
    Framing framing = Framing::contentLength; // chunked and untilClose send no Content-Length
    qsizetype pieceSize = 0; // > 0: the body goes out in pieces of this many bytes
    int pieceIntervalMs = 0; // the pause between two pieces
    qsizetype cutAfter = -1; // >= 0: after this many body bytes the connection is closed cleanly
    qsizetype holdAfter = -1; // >= 0: sending stops after this many body bytes until releaseHeld()
};

// A small HTTPS/1.1 server on 127.0.0.1 with an ephemeral port, running in the thread that
// made it. Replies come from fixed routes by path or from a handler; every request is recorded.
// Stands in for router REST services and for the vendor's upgrade and download servers.
class HttpsServer : public QObject
{
    Q_OBJECT
public:
    explicit HttpsServer(const TestCertificates& certificates, QObject* parent = nullptr);
    ~HttpsServer() override;

    bool listen(const QHostAddress& address = QHostAddress(QHostAddress::LocalHost), quint16 port = 0);
    quint16 port() const;
    // "https://127.0.0.1:<port>" or, with host "localhost", "https://localhost:<port>".
    QString baseUrl(const QString& host = QStringLiteral("127.0.0.1")) const;

    // A fixed reply for one path (the query is part of the path). Routes win over the handler.
    void setRoute(const QByteArray& path, const HttpReply& reply);
    void clearRoutes();
    // Called for every request without a route; without a handler the reply is 404 with "Not found".
    void setHandler(std::function<HttpReply(const HttpRequestRecord&)> handler);

    QList<HttpRequestRecord> requests() const { return m_requests; }
    // Also starts the count of the most bodies sent at once anew.
    void clearRequests()
    {
        m_requests.clear();
        m_maxActiveTransfers = m_activeTransfers;
    }

    // Bodies sent in pieces: those being sent now, the most sent at once, those held, and the
    // bytes of bodies sent so far (all replies). releaseHeld() lets every held body go on.
    int activeTransfers() const { return m_activeTransfers; }
    int maxActiveTransfers() const { return m_maxActiveTransfers; }
    qint64 bodyBytesSent() const { return m_bodyBytesSent; }
    int heldTransfers() const { return m_held; }
    void releaseHeld();

signals:
    void held();

private:
    struct Transfer;

    void onConnection();
    void onReadyRead(QSslSocket* socket);
    void answer(QSslSocket* socket, const HttpRequestRecord& request);
    void sendPiece(QSslSocket* socket, const std::shared_ptr<Transfer>& transfer);
    void endTransfer(const std::shared_ptr<Transfer>& transfer);

    QSslServer m_server;
    std::map<QByteArray, HttpReply> m_routes;
    std::function<HttpReply(const HttpRequestRecord&)> m_handler;
    QList<HttpRequestRecord> m_requests;
    QList<QPointer<QSslSocket>> m_sockets;
    QList<std::shared_ptr<Transfer>> m_transfers;
    int m_activeTransfers = 0;
    int m_maxActiveTransfers = 0;
    int m_held = 0;
    qint64 m_bodyBytesSent = 0;
};
