#pragma once

#include "RouterData.h"
#include "TestCertificates.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <optional>

class QObject;
class QThread;
class QTcpServer;
class QTcpSocket;

// A scripted answer of the fake router: raw bytes (build them with the helpers of FakeApiRouter),
// optionally cut into separate writes, or no answer at all.
struct FakeApiReply
{
    QByteArray bytes;
    // Offsets into `bytes` at which a new write starts; the pieces go out a short pause apart so
    // that the client sees them in separate reads.
    QList<qsizetype> splitAt;
    bool silent = false; // accept the sentence and never answer (the connection stays open)
    bool close = false; // close the connection after the bytes (at once when they are empty)

    static FakeApiReply of(QByteArray bytes, QList<qsizetype> splitAt = {})
    {
        FakeApiReply reply;
        reply.bytes = std::move(bytes);
        reply.splitAt = std::move(splitAt);
        return reply;
    }
    static FakeApiReply closing(QByteArray bytes = {})
    {
        FakeApiReply reply = of(std::move(bytes));
        reply.close = true;
        return reply;
    }
    static FakeApiReply silence()
    {
        FakeApiReply reply;
        reply.silent = true;
        return reply;
    }
};

// A RouterOS API service of our own on 127.0.0.1 with an ephemeral port, plain or TLS, running on
// a thread of its own so that a client may block whichever thread it likes. It logs users in,
// serves "<path>/print" from its RouterData as "!re" rows and "!done", answers actions with "!done",
// and answers any command word with scripted bytes instead when told to. It records every word it
// receives.
//
//     FakeApiRouter router(RouterData::typical(), {.tls = false});
//     QVERIFY(router.start());
//     OVRouterOS client("127.0.0.1", router.port(), ...);
// How a fake router behaves apart from its data and scripted replies.
struct FakeApiRouterOptions
{
    bool tls = false;
    int probeAttributes = 1; // attribute words on the "!done" that answers the bare "/login"
    bool emptyWord = true; // an empty print is answered "!empty" then "!done", as newer routers do
    int splitPauseMsecs = 20;
    // When above 0, every answer without split points of its own, the login answers included, goes
    // out in writes of this many bytes from its first byte on, splitPauseMsecs apart.
    int pieceSize = 0;
    // The TLS certificate's host name; its alternative names also hold 127.0.0.1 when certificateIp.
    QString certificateHost = QStringLiteral("localhost");
    bool certificateIp = true;
};

class FakeApiRouter
{
public:
    using Options = FakeApiRouterOptions;

    explicit FakeApiRouter(RouterData data = RouterData::typical(), Options options = {});
    ~FakeApiRouter();

    FakeApiRouter(const FakeApiRouter&) = delete;
    FakeApiRouter& operator=(const FakeApiRouter&) = delete;

    bool start();
    quint16 port() const { return m_port; }
    // The certificate a TLS router presents (null for a plain one).
    const TestCertificates* certificates() const { return m_certificates.get(); }

    RouterData data() const;
    void setData(const RouterData& data);
    void setOptions(const Options& options);

    // Replaces the answer to every sentence whose first word is `command` ("/system/resource/print").
    void setReply(const QString& command, const FakeApiReply& reply);
    // Replaces the answer to the bare "/login" probe, or to the sentence with name and password.
    void setProbeReply(const FakeApiReply& reply);
    void setLoginReply(const FakeApiReply& reply);
    void clearReplies();
    // Called on the router's own thread with every sentence, before the sentence is answered.
    void setOnSentence(std::function<void(const QStringList&)> hook);

    // Every word received, in order, with an empty word where a sentence ended.
    QStringList receivedWords() const;
    // The sentences received, without their closing empty word.
    QList<QStringList> receivedSentences() const;
    QByteArray receivedBytes() const;
    int connectionCount() const;
    void clearRecords();

    // Wire-format helpers for scripted replies.
    static QByteArray encodeWord(const QByteArray& word);
    static QByteArray sentence(const QStringList& words); // the words, then the closing 0x00
    static QByteArray rowsReply(const QList<RouterData::Row>& rows, bool emptyWord = true);
    static QByteArray trapReply(const QString& message); // "!trap" with a message, then "!done"

    struct Connection;

private:
    void onConnection();
    void onReadyRead(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const QStringList& sentence);
    void send(QTcpSocket* socket, const FakeApiReply& reply);
    FakeApiReply defaultAnswer(const QStringList& sentence, bool& loggedIn) const;

    mutable QMutex m_mutex;
    RouterData m_data;
    Options m_options;
    QMap<QString, FakeApiReply> m_replies;
    std::optional<FakeApiReply> m_probeReply;
    std::optional<FakeApiReply> m_loginReply;
    std::function<void(const QStringList&)> m_onSentence;
    QStringList m_words;
    QByteArray m_bytes;
    int m_connections = 0;

    std::unique_ptr<TestCertificates> m_certificates;
    std::unique_ptr<QThread> m_thread;
    QObject* m_context = nullptr; // lives in m_thread; parent of the server and its connections
    QTcpServer* m_server = nullptr;
    quint16 m_port = 0;
    // Per-connection state, only touched on the router's own thread.
    std::map<const QTcpSocket*, std::unique_ptr<Connection>> m_state;
};
