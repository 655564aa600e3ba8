#include "FakeApiRouter.h"

#include <QHostAddress>
#include <QMutexLocker>
#include <QPointer>
#include <QSslConfiguration>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <map>

namespace {
const QStringList actionCommands {QStringLiteral("/system/reboot"), QStringLiteral("/system/shutdown"),
    QStringLiteral("/system/routerboard/upgrade"), QStringLiteral("/system/package/downgrade")};

// Reads one full length prefix (all five forms). Returns false when more bytes are needed;
// `valid` is false for a control byte the protocol does not define.
bool readPrefix(const QByteArray& buffer, qsizetype offset, quint64& length, int& prefixSize, bool& valid)
{
    valid = true;
    if (offset >= buffer.size())
        return false;
    const auto first = static_cast<unsigned char>(buffer[offset]);
    quint64 value = 0;
    if (first < 0x80) {
        prefixSize = 1;
        value = first;
    } else if ((first & 0xC0) == 0x80) {
        prefixSize = 2;
        value = first & 0x3F;
    } else if ((first & 0xE0) == 0xC0) {
        prefixSize = 3;
        value = first & 0x1F;
    } else if ((first & 0xF0) == 0xE0) {
        prefixSize = 4;
        value = first & 0x0F;
    } else if (first == 0xF0) {
        prefixSize = 5;
        value = 0;
    } else {
        valid = false;
        return false;
    }
    if (offset + prefixSize > buffer.size())
        return false;
    for (int i = 1; i < prefixSize; ++i)
        value = (value << 8) | static_cast<unsigned char>(buffer[offset + i]);
    length = value;
    return true;
}

FakeApiReply bytesReply(QByteArray bytes)
{
    return FakeApiReply::of(std::move(bytes));
}
} // namespace

struct FakeApiRouter::Connection
{
    QByteArray buffer;
    QStringList sentence;
    bool loggedIn = false;
};

FakeApiRouter::FakeApiRouter(RouterData data, Options options)
    : m_data(std::move(data))
    , m_options(options)
{
    if (m_options.tls)
        m_certificates = std::make_unique<TestCertificates>(m_options.certificateHost, m_options.certificateIp);
}

FakeApiRouter::~FakeApiRouter()
{
    if (!m_thread)
        return;
    QMetaObject::invokeMethod(
        m_context,
        [this] {
            // Sockets and the server are children of the context: end them here, on their thread.
            const QList<QObject*> children = m_context->children();
            for (QObject* child : children) {
                if (auto* socket = qobject_cast<QTcpSocket*>(child))
                    socket->abort();
                delete child;
            }
        },
        Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_context;
}

bool FakeApiRouter::start()
{
    if (m_thread)
        return m_port != 0;
    if (m_options.tls && (!m_certificates || !m_certificates->isValid()))
        return false;
    m_thread = std::make_unique<QThread>();
    m_thread->setObjectName(QStringLiteral("FakeApiRouter"));
    m_context = new QObject;
    m_context->moveToThread(m_thread.get());
    m_thread->start();
    QMetaObject::invokeMethod(
        m_context,
        [this] {
            if (m_options.tls) {
                auto* server = new QSslServer(m_context);
                QSslConfiguration config = QSslConfiguration::defaultConfiguration();
                config.setLocalCertificate(m_certificates->certificate());
                config.setPrivateKey(m_certificates->privateKey());
                config.setPeerVerifyMode(QSslSocket::VerifyNone);
                server->setSslConfiguration(config);
                server->setHandshakeTimeout(10000);
                m_server = server;
            } else {
                m_server = new QTcpServer(m_context);
            }
            QObject::connect(m_server, &QTcpServer::pendingConnectionAvailable, m_context, [this] { onConnection(); });
            if (m_server->listen(QHostAddress::LocalHost, 0))
                m_port = m_server->serverPort();
        },
        Qt::BlockingQueuedConnection);
    return m_port != 0;
}

RouterData FakeApiRouter::data() const
{
    QMutexLocker lock(&m_mutex);
    return m_data;
}

void FakeApiRouter::setData(const RouterData& data)
{
    QMutexLocker lock(&m_mutex);
    m_data = data;
}

void FakeApiRouter::setOptions(const Options& options)
{
    QMutexLocker lock(&m_mutex);
    const bool tls = m_options.tls; // fixed once the listener exists
    m_options = options;
    m_options.tls = tls;
}

void FakeApiRouter::setReply(const QString& command, const FakeApiReply& reply)
{
    QMutexLocker lock(&m_mutex);
    m_replies.insert(command, reply);
}

void FakeApiRouter::setProbeReply(const FakeApiReply& reply)
{
    QMutexLocker lock(&m_mutex);
    m_probeReply = reply;
}

void FakeApiRouter::setLoginReply(const FakeApiReply& reply)
{
    QMutexLocker lock(&m_mutex);
    m_loginReply = reply;
}

void FakeApiRouter::clearReplies()
{
    QMutexLocker lock(&m_mutex);
    m_replies.clear();
    m_probeReply.reset();
    m_loginReply.reset();
}

QStringList FakeApiRouter::receivedWords() const
{
    QMutexLocker lock(&m_mutex);
    return m_words;
}

QList<QStringList> FakeApiRouter::receivedSentences() const
{
    QMutexLocker lock(&m_mutex);
    QList<QStringList> sentences;
    QStringList current;
    for (const QString& word : m_words) {
        if (word.isEmpty()) {
            sentences.append(current);
            current.clear();
        } else {
            current.append(word);
        }
    }
    return sentences;
}

QByteArray FakeApiRouter::receivedBytes() const
{
    QMutexLocker lock(&m_mutex);
    return m_bytes;
}

int FakeApiRouter::connectionCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_connections;
}

void FakeApiRouter::clearRecords()
{
    QMutexLocker lock(&m_mutex);
    m_words.clear();
    m_bytes.clear();
    m_connections = 0;
}

QByteArray FakeApiRouter::encodeWord(const QByteArray& word)
{
    const auto n = static_cast<quint64>(word.size());
    QByteArray out;
    auto put = [&out](quint64 value, int bytes) {
        for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
            out.append(static_cast<char>((value >> shift) & 0xFF));
    };
    if (n < 0x80)
        put(n, 1);
    else if (n < 0x4000)
        put(n | 0x8000, 2);
    else if (n < 0x200000)
        put(n | 0xC00000, 3);
    else if (n < 0x10000000)
        put(n | 0xE0000000, 4);
    else {
        out.append(static_cast<char>(0xF0));
        put(n, 4);
    }
    return out + word;
}

QByteArray FakeApiRouter::sentence(const QStringList& words)
{
    QByteArray out;
    for (const QString& word : words)
        out += encodeWord(word.toUtf8());
    out.append('\0');
    return out;
}

QByteArray FakeApiRouter::rowsReply(const QList<RouterData::Row>& rows, bool emptyWord)
{
    QByteArray out;
    if (rows.isEmpty() && emptyWord)
        out += sentence({QStringLiteral("!empty")});
    for (const RouterData::Row& row : rows) {
        QStringList words {QStringLiteral("!re")};
        for (auto it = row.cbegin(); it != row.cend(); ++it)
            words.append(QLatin1Char('=') + it.key() + QLatin1Char('=') + it.value());
        out += sentence(words);
    }
    return out + sentence({QStringLiteral("!done")});
}

QByteArray FakeApiRouter::trapReply(const QString& message)
{
    return sentence({QStringLiteral("!trap"), QStringLiteral("=message=") + message}) + sentence({"!done"});
}

void FakeApiRouter::onConnection()
{
    while (m_server->hasPendingConnections()) {
        QTcpSocket* socket = m_server->nextPendingConnection();
        if (!socket)
            continue;
        socket->setParent(m_context);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        {
            QMutexLocker lock(&m_mutex);
            ++m_connections;
        }
        m_state.emplace(socket, std::make_unique<Connection>());
        QObject::connect(socket, &QTcpSocket::readyRead, m_context, [this, socket] { onReadyRead(socket); });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QObject::destroyed, m_context, [this, socket] { m_state.erase(socket); });
        if (socket->bytesAvailable() > 0)
            onReadyRead(socket);
    }
}

void FakeApiRouter::onReadyRead(QTcpSocket* socket)
{
    const auto found = m_state.find(socket);
    if (found == m_state.end())
        return;
    Connection& connection = *found->second;
    const QByteArray incoming = socket->readAll();
    {
        QMutexLocker lock(&m_mutex);
        m_bytes += incoming;
    }
    connection.buffer += incoming;
    qsizetype offset = 0;
    for (;;) {
        quint64 length = 0;
        int prefixSize = 0;
        bool valid = true;
        if (!readPrefix(connection.buffer, offset, length, prefixSize, valid)) {
            if (!valid) {
                socket->abort();
                return;
            }
            break;
        }
        if (static_cast<quint64>(connection.buffer.size() - offset - prefixSize) < length)
            break;
        const QString word
            = QString::fromUtf8(connection.buffer.mid(offset + prefixSize, static_cast<qsizetype>(length)));
        offset += prefixSize + static_cast<qsizetype>(length);
        {
            QMutexLocker lock(&m_mutex);
            m_words.append(word);
        }
        if (!word.isEmpty()) {
            connection.sentence.append(word);
            continue;
        }
        const QStringList sentence = std::exchange(connection.sentence, {});
        if (!sentence.isEmpty())
            answer(socket, sentence);
        if (m_state.find(socket) == m_state.end())
            return;
    }
    connection.buffer.remove(0, offset);
}

void FakeApiRouter::setOnSentence(std::function<void(const QStringList&)> hook)
{
    QMutexLocker lock(&m_mutex);
    m_onSentence = std::move(hook);
}

void FakeApiRouter::answer(QTcpSocket* socket, const QStringList& sentence)
{
    std::function<void(const QStringList&)> onSentence;
    {
        QMutexLocker lock(&m_mutex);
        onSentence = m_onSentence;
    }
    if (onSentence)
        onSentence(sentence);
    Connection& connection = *m_state.at(socket);
    FakeApiReply reply;
    {
        QMutexLocker lock(&m_mutex);
        const QString& command = sentence.first();
        const bool probe = command == QLatin1String("/login") && sentence.size() == 1;
        if (probe && m_probeReply)
            reply = *m_probeReply;
        else if (command == QLatin1String("/login") && !probe && m_loginReply)
            reply = *m_loginReply;
        else if (!probe && m_replies.contains(command))
            reply = m_replies.value(command);
        else
            reply = defaultAnswer(sentence, connection.loggedIn);
    }
    send(socket, reply);
}

FakeApiReply FakeApiRouter::defaultAnswer(const QStringList& words, bool& loggedIn) const
{
    const QString& command = words.first();
    if (command == QLatin1String("/login")) {
        if (words.size() == 1) {
            QStringList probe {QStringLiteral("!done")};
            for (int i = 0; i < m_options.probeAttributes; ++i)
                probe.append(i == 0 ? QStringLiteral("=ret=7a2c41f3e8b0d95c6e1f0a3b4c5d6e7f")
                                    : QStringLiteral("=extra%1=x").arg(i));
            return bytesReply(sentence(probe));
        }
        const bool nameMatches = words.contains(QStringLiteral("=name=") + m_data.username);
        const bool passwordMatches = words.contains(QStringLiteral("=password=") + m_data.password);
        loggedIn = nameMatches && passwordMatches;
        if (loggedIn)
            return bytesReply(FakeApiRouter::sentence({QStringLiteral("!done")}));
        return bytesReply(trapReply(QStringLiteral("invalid user name or password (6)")));
    }
    if (!loggedIn)
        return bytesReply(trapReply(QStringLiteral("not logged in")));
    if (command.endsWith(QLatin1String("/print"))) {
        const QString path = command.chopped(6);
        return bytesReply(rowsReply(m_data.rows.value(path), m_options.emptyWord));
    }
    if (actionCommands.contains(command))
        return bytesReply(FakeApiRouter::sentence({QStringLiteral("!done")}));
    return bytesReply(trapReply(QStringLiteral("no such command")));
}

void FakeApiRouter::send(QTcpSocket* socket, const FakeApiReply& reply)
{
    if (reply.silent)
        return;
    int pause = 0;
    QList<qsizetype> splitAt = reply.splitAt;
    {
        QMutexLocker lock(&m_mutex);
        pause = m_options.splitPauseMsecs;
        if (splitAt.isEmpty() && m_options.pieceSize > 0) {
            for (qsizetype at = m_options.pieceSize; at < reply.bytes.size(); at += m_options.pieceSize)
                splitAt.append(at);
        }
    }
    QList<QByteArray> pieces;
    qsizetype from = 0;
    for (qsizetype at : splitAt) {
        if (at <= from || at >= reply.bytes.size())
            continue;
        pieces.append(reply.bytes.mid(from, at - from));
        from = at;
    }
    pieces.append(reply.bytes.mid(from));
    const QPointer<QTcpSocket> target(socket);
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const bool last = i == pieces.size() - 1;
        const QByteArray piece = pieces[i];
        const bool close = last && reply.close;
        auto write = [target, piece, close] {
            if (!target)
                return;
            if (!piece.isEmpty())
                target->write(piece);
            if (close)
                target->disconnectFromHost();
        };
        if (i == 0)
            write();
        else
            QTimer::singleShot(pause * static_cast<int>(i), target.data(), write);
    }
}
