#include "OVRouterOS.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QSslSocket>
#include <QTcpSocket>

#include <functional>
#include <limits>

namespace {
constexpr int defaultTimeoutMsecs = 10'000;
// "0" asks for no connect time-out; the operating system gives up after about two minutes anyway,
// and no wait of ours may be unbounded.
constexpr int unlimitedConnectMsecs = 120'000;
// Replies are read through a buffer of this size, one read per pass.
constexpr qint64 readBufferSize = 4096;

// Whole seconds as decimal text; empty when the text is not one or its milliseconds overflow.
std::optional<qint64> parseSeconds(const QString& text)
{
    static const QRegularExpression decimal(QStringLiteral("^[+-]?[0-9]+$"));
    if (!decimal.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qint64 seconds = text.toLongLong(&ok);
    if (!ok || seconds > std::numeric_limits<qint64>::max() / 1000
        || seconds < std::numeric_limits<qint64>::min() / 1000)
        return std::nullopt;
    return seconds;
}

int clampMsecs(qint64 seconds)
{
    return seconds > std::numeric_limits<int>::max() / 1000 ? std::numeric_limits<int>::max()
                                                            : static_cast<int>(seconds * 1000);
}

SocketError socketError(const QAbstractSocket& socket)
{
    return SocketError {socket.errorString()};
}

// A sentence as it goes out: every word with its length prefix, then the closing empty word. An
// empty word only closes the sentence. Empty when a word is too long to be sent.
std::optional<QByteArray> encodeSentence(const QStringList& words)
{
    QByteArray out;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const bool last = i == words.size() - 1;
        const QByteArray bytes = words[i].toUtf8();
        if (!bytes.isEmpty()) {
            const std::optional<QByteArray> prefix = Sentence::encodeLength(static_cast<quint64>(bytes.size()));
            if (!prefix)
                return std::nullopt;
            out.append(*prefix).append(bytes);
        }
        if (last)
            out.append('\0');
    }
    return out;
}

enum class Framing { Incomplete, Whole, Unframed };

// Whether `buffer` starts with one whole sentence (its words and the closing empty word). Reads
// every length form the protocol has; Unframed for a byte that starts none of them, which leaves
// the judgement to the parser.
Framing firstSentence(const QByteArray& buffer)
{
    qsizetype offset = 0;
    for (;;) {
        if (offset >= buffer.size())
            return Framing::Incomplete;
        const auto first = static_cast<unsigned char>(buffer[offset]);
        int prefixSize = 0;
        quint64 length = 0;
        if (first < 0x80) {
            prefixSize = 1;
            length = first;
        } else if (first < 0xC0) {
            prefixSize = 2;
            length = first & 0x3F;
        } else if (first < 0xE0) {
            prefixSize = 3;
            length = first & 0x1F;
        } else if (first < 0xF0) {
            prefixSize = 4;
            length = first & 0x0F;
        } else if (first == 0xF0) {
            prefixSize = 5;
        } else {
            return Framing::Unframed;
        }
        if (buffer.size() - offset < prefixSize)
            return Framing::Incomplete;
        for (int i = 1; i < prefixSize; ++i)
            length = (length << 8) | static_cast<unsigned char>(buffer[offset + i]);
        if (length == 0)
            return Framing::Whole;
        if (static_cast<quint64>(buffer.size() - offset - prefixSize) < length)
            return Framing::Incomplete;
        offset += prefixSize + static_cast<qsizetype>(length);
    }
}

// Closes the connection whichever way call() leaves.
class SocketCloser
{
public:
    explicit SocketCloser(std::function<void()> close)
        : m_close(std::move(close))
    { }
    ~SocketCloser() { m_close(); }
    SocketCloser(const SocketCloser&) = delete;
    SocketCloser& operator=(const SocketCloser&) = delete;

private:
    std::function<void()> m_close;
};
} // namespace

OVRouterOS::OVRouterOS(std::optional<QString> hostName, qint64 hostPort, std::optional<QString> userName,
    std::optional<QString> password, bool ssl, bool apiValidSSL, QString apiTimeout)
    : userName(std::move(userName))
    , password(std::move(password))
    , hostName(std::move(hostName))
    , hostPort(hostPort)
    , ssl(ssl)
    , apiValidSSL(apiValidSSL)
    , apiTimeout(std::move(apiTimeout))
{ }

OVRouterOS::~OVRouterOS()
{
    closeSocket();
}

int OVRouterOS::connectTimeoutMsecs(const QString& apiTimeout)
{
    const std::optional<qint64> seconds = parseSeconds(apiTimeout);
    if (!seconds || *seconds < 0)
        return defaultTimeoutMsecs;
    if (*seconds == 0)
        return unlimitedConnectMsecs;
    return clampMsecs(*seconds);
}

int OVRouterOS::readTimeoutMsecs(const QString& apiTimeout)
{
    const std::optional<qint64> seconds = parseSeconds(apiTimeout);
    if (!seconds || *seconds <= 0)
        return defaultTimeoutMsecs;
    return clampMsecs(*seconds);
}

OVRouterOS::CallResult OVRouterOS::call(const Request& request)
{
    const SocketCloser closer([this] { closeSocket(); });
    const auto failure = [](ApiError error) { return CallResult {false, std::move(error), nullptr}; };
    try {
        connect();
        if (!login())
            return failure(OVRouterOSError::LOGIN);

        const std::optional<QStringList> words = request.words();
        if (!words)
            return failure(OVRouterOSError::MISSING_PARAM);
        if (!writeSentence(*words))
            return failure(OVRouterOSError::API);

        // The first sentence decides the kind of reply and carries every attribute of a "!done"
        // or "!trap": it is parsed whole, however the network cut it. Rows that follow may be
        // cut anywhere; the parser joins them.
        const QByteArray first = readSentence();
        if (first.isEmpty())
            return failure(OVRouterOSError::API); // closed before the reply was complete
        const auto sentence = std::make_shared<Sentence>(first);
        while (!sentence->isDone) {
            const QByteArray buffer = readOnce(QDeadlineTimer(readTimeoutMsecs(apiTimeout)));
            if (buffer.isEmpty())
                return failure(OVRouterOSError::API);
            sentence->feed(buffer);
        }
        closeSocket();
        return CallResult {true, std::nullopt, sentence};
    } catch (OVRouterOSError error) {
        return failure(error);
    } catch (SentenceError error) {
        return failure(error);
    } catch (const SocketError& error) {
        return failure(error);
    }
}

void OVRouterOS::connect()
{
    if (!hostName || hostPort < std::numeric_limits<qint32>::min() || hostPort > std::numeric_limits<qint32>::max())
        throw OVRouterOSError::MISSING_PARAM;
    if (hostPort < 0 || hostPort > 65535)
        throw SocketError {QStringLiteral("The port %1 is not a valid TCP port.").arg(hostPort)};
    const auto port = static_cast<quint16>(hostPort);
    const QDeadlineTimer deadline(connectTimeoutMsecs(apiTimeout));

    if (ssl) {
        auto socket = std::make_unique<QSslSocket>();
        // Without trusted certificates required, a self-signed router certificate is fine; with
        // them, Qt checks the chain and the host name.
        if (!apiValidSSL)
            socket->setPeerVerifyMode(QSslSocket::VerifyNone);
        QSslSocket* sslSocket = socket.get();
        // A router that ends its TLS session (its close message) may keep the TCP connection open
        // for a while; nothing more can arrive on it, so the connection is closed at once and the
        // wait for reply bytes ends instead of running into the time-out. What was decrypted
        // before stays readable.
        QObject::connect(
            sslSocket, &QAbstractSocket::errorOccurred, sslSocket, [sslSocket](QAbstractSocket::SocketError error) {
                if (error == QAbstractSocket::RemoteHostClosedError
                    && sslSocket->state() == QAbstractSocket::ConnectedState)
                    sslSocket->disconnectFromHost();
            });
        tcpSocket = std::move(socket);
        sslSocket->connectToHostEncrypted(*hostName, port);
        if (!sslSocket->waitForConnected(deadline.remainingTime()))
            throw socketError(*sslSocket);
        sslSocket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        if (!sslSocket->waitForEncrypted(deadline.remainingTime()))
            throw socketError(*sslSocket);
        return;
    }

    tcpSocket = std::make_unique<QTcpSocket>();
    // Unbuffered: each sentence goes to the kernel in the write that sends it, and replies are
    // read straight from it, without Qt's buffers and their notifier round trips.
    tcpSocket->connectToHost(*hostName, port, QIODevice::ReadWrite | QIODevice::Unbuffered);
    if (!tcpSocket->waitForConnected(deadline.remainingTime()))
        throw socketError(*tcpSocket);
    tcpSocket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

bool OVRouterOS::login()
{
    const auto refuse = [this] {
        closeSocket();
        return false;
    };
    if (!writeSentence({QStringLiteral("/login")}))
        return refuse();
    const QByteArray probeReply = readSentence();
    if (probeReply.isEmpty())
        return refuse();
    const Sentence probe(probeReply);
    if (probe.returnType != ReturnType::DONE || !userName)
        return refuse();
    // The probe's "!done" carries one attribute; anything else is not a router we can log in to,
    // and it gets neither the name nor the password.
    if (probe.SentenceData.size() != 1)
        return refuse();
    if (!writeSentence({QStringLiteral("/login"), QStringLiteral("=name=") + *userName,
            QStringLiteral("=password=") + password.value_or(QString())}))
        return refuse();
    const QByteArray loginReply = readSentence();
    if (loginReply.isEmpty())
        return refuse();
    const Sentence answer(loginReply);
    if (answer.returnType != ReturnType::DONE)
        return refuse();
    return true;
}

bool OVRouterOS::writeSentence(const QStringList& words)
{
    const std::optional<QByteArray> bytes = encodeSentence(words);
    return bytes && writeBytes(*bytes);
}

bool OVRouterOS::writeBytes(const QByteArray& bytes)
{
    if (!tcpSocket || tcpSocket->state() != QAbstractSocket::ConnectedState)
        return false;
    // A whole sentence goes out in one write: the socket is set to low delay, and a sentence cut
    // into several segments would cost system calls and, on some peers, a delayed acknowledgement.
    if (tcpSocket->write(bytes) != bytes.size())
        return false;
    const QDeadlineTimer deadline(readTimeoutMsecs(apiTimeout));
    while (tcpSocket->bytesToWrite() > 0) {
        if (!tcpSocket->waitForBytesWritten(deadline.remainingTime()))
            return false;
    }
    return true;
}

QByteArray OVRouterOS::readSentence()
{
    // One time-out for the whole sentence: a router that trickles it byte by byte is bounded too.
    const QDeadlineTimer deadline(readTimeoutMsecs(apiTimeout));
    QByteArray buffer;
    while (firstSentence(buffer) == Framing::Incomplete) {
        const QByteArray more = readOnce(deadline);
        if (more.isEmpty())
            break; // closed: the parser judges what arrived
        buffer.append(more);
    }
    return buffer;
}

QByteArray OVRouterOS::readOnce(const QDeadlineTimer& deadline)
{
    if (!tcpSocket)
        return {};
    for (;;) {
        if (tcpSocket->bytesAvailable() > 0)
            return tcpSocket->read(readBufferSize);
        if (tcpSocket->state() != QAbstractSocket::ConnectedState)
            return {};
        if (tcpSocket->waitForReadyRead(deadline.remainingTime())) {
            // The plain socket is unbuffered: it is readable, but only a read tells bytes from
            // the router's close.
            QByteArray bytes = tcpSocket->read(readBufferSize);
            if (!bytes.isEmpty())
                return bytes;
            if (deadline.hasExpired())
                throw OVRouterOSError::API;
            continue;
        }
        if (tcpSocket->bytesAvailable() > 0)
            continue;
        if (tcpSocket->state() != QAbstractSocket::ConnectedState
            || tcpSocket->error() == QAbstractSocket::RemoteHostClosedError)
            return {};
        // A router that accepts the connection and then says nothing must not hold the call.
        if (deadline.hasExpired() || tcpSocket->error() == QAbstractSocket::SocketTimeoutError)
            throw OVRouterOSError::API;
        throw socketError(*tcpSocket);
    }
}

void OVRouterOS::closeSocket()
{
    if (!tcpSocket)
        return;
    tcpSocket->disconnectFromHost();
    if (tcpSocket->state() != QAbstractSocket::UnconnectedState)
        tcpSocket->abort();
    tcpSocket.reset();
}
