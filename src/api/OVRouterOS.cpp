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
        for (qsizetype i = 0; i < words->size(); ++i) {
            if (!writeWord(words->at(i), i == words->size() - 1))
                return failure(OVRouterOSError::API);
        }

        std::shared_ptr<Sentence> sentence;
        while (!sentence || !sentence->isDone) {
            const QByteArray buffer = readOnce();
            if (buffer.isEmpty())
                return failure(OVRouterOSError::API); // closed before the reply was complete
            if (!sentence)
                sentence = std::make_shared<Sentence>(buffer);
            else
                sentence->feed(buffer);
        }
        closeSocket();
        return CallResult {true, std::nullopt, std::move(sentence)};
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
    tcpSocket->connectToHost(*hostName, port);
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
    if (!writeWord(QStringLiteral("/login"), true))
        return refuse();
    const QByteArray probeReply = readOnce();
    if (probeReply.isEmpty())
        return refuse();
    const Sentence probe(probeReply);
    if (probe.returnType != ReturnType::DONE)
        return refuse();
    if (!writeWord(QStringLiteral("/login"), false))
        return refuse();
    if (!userName || !writeWord(QStringLiteral("=name=") + *userName, false))
        return refuse();
    // The probe's "!done" carries one attribute; anything else is not a router we can log in to.
    if (probe.SentenceData.size() != 1)
        return refuse();
    if (!writeWord(QStringLiteral("=password=") + password.value_or(QString()), true))
        return refuse();
    const QByteArray loginReply = readOnce();
    if (loginReply.isEmpty())
        return refuse();
    const Sentence answer(loginReply);
    if (answer.returnType != ReturnType::DONE)
        return refuse();
    return true;
}

bool OVRouterOS::writeWord(const QString& word, bool endOfSentence)
{
    if (word.isEmpty())
        return endOfSentence ? writeBytes(QByteArray(1, '\0')) : true;
    const QByteArray bytes = word.toUtf8();
    const std::optional<QByteArray> prefix = Sentence::encodeLength(static_cast<quint64>(bytes.size()));
    if (!prefix)
        return false;
    QByteArray out;
    out.reserve(prefix->size() + bytes.size() + 1);
    out.append(*prefix).append(bytes);
    if (endOfSentence)
        out.append('\0');
    return writeBytes(out);
}

bool OVRouterOS::writeBytes(const QByteArray& bytes)
{
    if (!tcpSocket || tcpSocket->state() != QAbstractSocket::ConnectedState)
        return false;
    // Words go out as separate small writes (the socket is set to low delay once connected):
    // waiting for the peer's delayed acknowledgement between them would cost tens of milliseconds.
    if (tcpSocket->write(bytes) != bytes.size())
        return false;
    const QDeadlineTimer deadline(readTimeoutMsecs(apiTimeout));
    while (tcpSocket->bytesToWrite() > 0) {
        if (!tcpSocket->waitForBytesWritten(deadline.remainingTime()))
            return false;
    }
    return true;
}

QByteArray OVRouterOS::readOnce()
{
    if (!tcpSocket)
        return {};
    const QDeadlineTimer deadline(readTimeoutMsecs(apiTimeout));
    while (tcpSocket->bytesAvailable() == 0) {
        if (tcpSocket->state() != QAbstractSocket::ConnectedState)
            return {};
        if (tcpSocket->waitForReadyRead(deadline.remainingTime()))
            continue;
        if (tcpSocket->bytesAvailable() > 0)
            break;
        if (tcpSocket->state() != QAbstractSocket::ConnectedState
            || tcpSocket->error() == QAbstractSocket::RemoteHostClosedError)
            return {};
        // A router that accepts the connection and then says nothing must not hold the call.
        if (deadline.hasExpired() || tcpSocket->error() == QAbstractSocket::SocketTimeoutError)
            throw OVRouterOSError::API;
        throw socketError(*tcpSocket);
    }
    return tcpSocket->read(readBufferSize);
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
