#include "OVNetSFTP.h"

#include "RouterThreads.h"
#include "model/Secrets.h"

#include <QCoroFuture>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QtConcurrent/QtConcurrentRun>

#include <libssh/libssh.h>
#include <libssh/sftp.h>

#include <sys/socket.h>
#include <syslog.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// Connecting, authenticating, and every step of a transfer must move on within this time.
constexpr int kTimeoutSeconds = 10;
// The largest write every SFTP server must accept, and how many may wait for their answer at once.
constexpr qint64 kChunkSize = 32768;
constexpr int kWritesInFlight = 64;
// Ids of our own write requests, far above the ones libssh numbers its requests with.
constexpr quint32 kFirstWriteId = 0x40000000;

struct SessionDeleter
{
    void operator()(ssh_session session) const { ssh_free(session); }
};
using Session = std::unique_ptr<ssh_session_struct, SessionDeleter>;

struct SftpDeleter
{
    void operator()(sftp_session sftp) const { sftp_free(sftp); }
};
using Sftp = std::unique_ptr<sftp_session_struct, SftpDeleter>;

struct RemoteFileDeleter
{
    void operator()(sftp_file file) const { sftp_close(file); }
};
using RemoteFile = std::unique_ptr<sftp_file_struct, RemoteFileDeleter>;

QString sessionError(ssh_session session)
{
    return QString::fromUtf8(ssh_get_error(session));
}

// libssh bounds connecting by its time-out option, but several of its later calls wait without
// limit in a blocking session. The watchdog shuts the socket down when no step has moved on for
// the whole time-out, so the blocked call returns with an error instead of hanging. It must
// outlive every libssh object that may still talk to the server.
class Watchdog
{
public:
    explicit Watchdog(ssh_session session)
        : m_session(session)
        , m_last(Clock::now())
        , m_thread([this] { run(); })
    { }
    ~Watchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    void touch()
    {
        std::lock_guard lock(m_mutex);
        m_last = Clock::now();
    }
    bool fired() const
    {
        std::lock_guard lock(m_mutex);
        return m_fired;
    }

private:
    using Clock = std::chrono::steady_clock;

    void run()
    {
        std::unique_lock lock(m_mutex);
        while (!m_stop) {
            const auto deadline = m_last + std::chrono::seconds(kTimeoutSeconds);
            if (Clock::now() >= deadline) {
                m_fired = true;
                // shutdown (not close) leaves the descriptor to libssh and wakes its poll.
                const socket_t fd = ssh_get_fd(m_session);
                if (fd != SSH_INVALID_SOCKET)
                    ::shutdown(fd, SHUT_RDWR);
                return;
            }
            m_wake.wait_until(lock, deadline);
        }
    }

    ssh_session m_session;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    Clock::time_point m_last;
    bool m_stop = false;
    bool m_fired = false;
    std::thread m_thread;
};

QString timeoutMessage()
{
    return QStringLiteral("The SSH server did not answer within %1 seconds").arg(kTimeoutSeconds);
}

// Makes a session, connects and checks the host key against the user's known_hosts. On failure
// `error` holds the description and the result is empty.
Session connectSession(const OVNetSFTP::Login& login, QString& error)
{
    const std::optional<int> port = OVNetSFTP::portNumber(login.sshport);
    if (!port) {
        error = QStringLiteral("Invalid SSH port %1").arg(login.sshport);
        return {};
    }
    Session session(ssh_new());
    if (!session) {
        error = QStringLiteral("Could not create an SSH session");
        return {};
    }
    const QByteArray host = login.address.toUtf8();
    const QByteArray user = login.username.toUtf8();
    const QByteArray knownHosts = QDir::toNativeSeparators(QDir::homePath() + "/.ssh/known_hosts").toUtf8();
    const long timeout = kTimeoutSeconds;
    const int portValue = *port;
    // The user's ssh configuration must not redirect the connection to another host, port or user.
    const bool processConfig = false;
    // Small requests (open, close, the last write) must not wait for Nagle's algorithm.
    const int noDelay = 1;
    if (ssh_options_set(session.get(), SSH_OPTIONS_PROCESS_CONFIG, &processConfig) != SSH_OK
        || ssh_options_set(session.get(), SSH_OPTIONS_HOST, host.constData()) != SSH_OK
        || ssh_options_set(session.get(), SSH_OPTIONS_PORT, &portValue) != SSH_OK
        || ssh_options_set(session.get(), SSH_OPTIONS_USER, user.constData()) != SSH_OK
        || ssh_options_set(session.get(), SSH_OPTIONS_TIMEOUT, &timeout) != SSH_OK
        || ssh_options_set(session.get(), SSH_OPTIONS_NODELAY, &noDelay) != SSH_OK
        || ssh_options_set(session.get(), SSH_OPTIONS_KNOWNHOSTS, knownHosts.constData()) != SSH_OK) {
        error = sessionError(session.get());
        return {};
    }
    if (ssh_connect(session.get()) != SSH_OK) {
        error = sessionError(session.get());
        return {};
    }
    // Only a host listed with another key is refused; nothing is ever written to known_hosts.
    switch (ssh_session_is_known_server(session.get())) {
    case SSH_KNOWN_HOSTS_OK:
    case SSH_KNOWN_HOSTS_UNKNOWN:
    case SSH_KNOWN_HOSTS_NOT_FOUND:
        break;
    case SSH_KNOWN_HOSTS_CHANGED:
    case SSH_KNOWN_HOSTS_OTHER:
        error = QStringLiteral("The host key of %1 does not match the one in %2")
                    .arg(login.address, QString::fromUtf8(knownHosts));
        return {};
    case SSH_KNOWN_HOSTS_ERROR:
        error = sessionError(session.get());
        return {};
    }
    return session;
}

bool authenticate(ssh_session session, const OVNetSFTP::Login& login, QString& error)
{
    const QByteArray password = login.password.toUtf8();
    if (ssh_userauth_password(session, nullptr, password.constData()) == SSH_AUTH_SUCCESS)
        return true;
    error = sessionError(session);
    if (error.isEmpty())
        error = QStringLiteral("Access denied for user %1").arg(login.username);
    return false;
}

void appendUint32(QByteArray& out, quint32 value)
{
    const char bytes[4] = {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
        static_cast<char>(value >> 8), static_cast<char>(value)};
    out.append(bytes, 4);
}

void appendUint64(QByteArray& out, quint64 value)
{
    appendUint32(out, static_cast<quint32>(value >> 32));
    appendUint32(out, static_cast<quint32>(value));
}

quint32 readUint32(const QByteArray& in, qsizetype at)
{
    const auto byte = [&](qsizetype i) { return static_cast<quint32>(static_cast<unsigned char>(in[at + i])); };
    return byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
}

// Writes a local file through an open remote file with several requests in flight: libssh 0.10
// only offers a write that waits for each answer, which leaves the link idle most of the time.
// Our requests and their answers pass on the SFTP channel between libssh's own calls, so the
// channel holds nothing of ours when libssh takes over again.
class PipelinedWriter
{
public:
    PipelinedWriter(sftp_file file, Watchdog& watchdog)
        : m_channel(file->sftp->channel)
        , m_session(file->sftp->session)
        , m_handle(reinterpret_cast<const char*>(ssh_string_data(file->handle)),
              static_cast<qsizetype>(ssh_string_len(file->handle)))
        , m_watchdog(watchdog)
    { }

    // The whole of `local`; progress after every answer. An empty result means success.
    QString write(QFile& local, qint64 size, const OVNetSFTP::Progress& progress)
    {
        qint64 offset = 0;
        qint64 acknowledged = 0;
        QByteArray packet;
        while (acknowledged < size) {
            while (m_pending.size() < kWritesInFlight && offset < size) {
                const qint64 length = std::min(kChunkSize, size - offset);
                packet.clear();
                appendUint32(packet, 0); // length, filled in below
                packet.append(static_cast<char>(SSH_FXP_WRITE));
                const quint32 id = m_nextId++;
                appendUint32(packet, id);
                appendUint32(packet, static_cast<quint32>(m_handle.size()));
                packet.append(m_handle);
                appendUint64(packet, static_cast<quint64>(offset));
                appendUint32(packet, static_cast<quint32>(length));
                const qsizetype header = packet.size();
                packet.resize(header + length);
                if (local.read(packet.data() + header, length) != length)
                    return QStringLiteral("Cannot read %1: %2").arg(local.fileName(), local.errorString());
                const quint32 bodyLength = static_cast<quint32>(packet.size() - 4);
                packet[0] = static_cast<char>(bodyLength >> 24);
                packet[1] = static_cast<char>(bodyLength >> 16);
                packet[2] = static_cast<char>(bodyLength >> 8);
                packet[3] = static_cast<char>(bodyLength);
                if (ssh_channel_write(m_channel, packet.constData(), static_cast<uint32_t>(packet.size()))
                    != packet.size())
                    return sessionError(m_session);
                m_watchdog.touch();
                m_pending.insert(id, length);
                offset += length;
            }
            QString error;
            const qint64 done = readAnswer(error);
            if (done < 0)
                return error;
            acknowledged += done;
            if (!progress(acknowledged, size))
                return QStringLiteral("Upload cancelled");
        }
        return {};
    }

private:
    bool readExactly(char* data, qsizetype length, QString& error)
    {
        qsizetype got = 0;
        while (got < length) {
            const int n = ssh_channel_read_timeout(
                m_channel, data + got, static_cast<uint32_t>(length - got), 0, kTimeoutSeconds * 1000);
            if (n < 0) {
                error = sessionError(m_session);
                return false;
            }
            if (n == 0) {
                error = ssh_channel_is_eof(m_channel) ? QStringLiteral("The SFTP channel was closed by the server")
                                                      : timeoutMessage();
                return false;
            }
            got += n;
            m_watchdog.touch();
        }
        return true;
    }

    // Reads one answer to a write: the bytes it acknowledges, or -1 with `error` set.
    qint64 readAnswer(QString& error)
    {
        QByteArray lengthBytes(4, Qt::Uninitialized);
        if (!readExactly(lengthBytes.data(), 4, error))
            return -1;
        const quint32 length = readUint32(lengthBytes, 0);
        // A status answer is small; anything large is not an answer to a write.
        if (length < 9 || length > 256 * 1024) {
            error = QStringLiteral("Malformed answer from the SFTP server");
            return -1;
        }
        QByteArray body(length, Qt::Uninitialized);
        if (!readExactly(body.data(), length, error))
            return -1;
        const quint8 type = static_cast<quint8>(body[0]);
        const quint32 id = readUint32(body, 1);
        const auto pending = m_pending.constFind(id);
        if (type != SSH_FXP_STATUS || pending == m_pending.cend()) {
            error = QStringLiteral("Unexpected answer from the SFTP server");
            return -1;
        }
        const qint64 acknowledged = pending.value();
        m_pending.erase(pending);
        const quint32 code = readUint32(body, 5);
        if (code != SSH_FX_OK) {
            QString text = QStringLiteral("error code %1").arg(code);
            if (body.size() >= 13) {
                const quint32 textLength = readUint32(body, 9);
                if (textLength <= static_cast<quint32>(body.size() - 13))
                    text = QString::fromUtf8(body.mid(13, textLength));
            }
            error = QStringLiteral("SFTP server: ") + text;
            return -1;
        }
        return acknowledged;
    }

    ssh_channel m_channel;
    ssh_session m_session;
    QByteArray m_handle;
    Watchdog& m_watchdog;
    QHash<quint32, qint64> m_pending;
    quint32 m_nextId = kFirstWriteId;
};

void printError(const QString& message)
{
    std::fprintf(stdout, "%s\n", message.toLocal8Bit().constData());
    std::fflush(stdout);
}

} // namespace

std::optional<int> OVNetSFTP::portNumber(const QString& sshport)
{
    if (sshport.isEmpty())
        return 22;
    for (const QChar c : sshport) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 22;
    }
    bool ok = false;
    const qulonglong value = sshport.toULongLong(&ok);
    if (!ok || value < 1 || value > 65535)
        return std::nullopt;
    return static_cast<int>(value);
}

bool OVNetSFTP::uploadProgress(qint64 sent, qint64 size)
{
    syslog(LOG_INFO, "Upload progress: %lld / %lld", static_cast<long long>(sent), static_cast<long long>(size));
    return true;
}

ValidateReturn OVNetSFTP::testSftpBlocking(const Login& login)
{
    QString error;
    Session session = connectSession(login, error);
    if (!session)
        return ValidateReturn::failure(error);
    Watchdog watchdog(session.get());
    if (!authenticate(session.get(), login, error))
        return ValidateReturn::failure(watchdog.fired() ? timeoutMessage() : error);
    ssh_disconnect(session.get());
    return ValidateReturn::ok();
}

ValidateReturn OVNetSFTP::uploadBlocking(
    const Login& login, const QString& localPath, const QString& remotePath, const Progress& progress)
{
    QFile local(localPath);
    if (!local.open(QIODevice::ReadOnly)) {
        const QString message = QStringLiteral("Cannot open %1: %2").arg(localPath, local.errorString());
        printError(message);
        return ValidateReturn::failure(message);
    }
    const qint64 size = local.size();

    QString error;
    Session session = connectSession(login, error);
    if (!session) {
        printError(error);
        return ValidateReturn::failure(error);
    }
    Watchdog watchdog(session.get());
    const auto fail = [&](QString message) {
        if (watchdog.fired())
            message = timeoutMessage();
        printError(message);
        return ValidateReturn::failure(message);
    };
    if (!authenticate(session.get(), login, error))
        return fail(error);

    Sftp sftp(sftp_new(session.get()));
    if (!sftp)
        return fail(sessionError(session.get()));
    if (sftp_init(sftp.get()) != SSH_OK)
        return fail(sessionError(session.get()));
    watchdog.touch();

    const QByteArray remote = remotePath.toUtf8();
    RemoteFile file(sftp_open(sftp.get(), remote.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
    if (!file)
        return fail(sessionError(session.get()));
    watchdog.touch();

    if (size == 0) {
        // Nothing to send, yet the caller hears that the whole file arrived.
        if (!progress(0, 0))
            return fail(QStringLiteral("Upload cancelled"));
    } else {
        const QString error = PipelinedWriter(file.get(), watchdog).write(local, size, progress);
        if (!error.isEmpty())
            return fail(error);
    }

    if (sftp_close(file.release()) != SSH_OK)
        return fail(sessionError(session.get()));
    sftp.reset();
    ssh_disconnect(session.get());
    return ValidateReturn::ok();
}

QCoro::Task<ValidateReturn> OVNetSFTP::testSftp(QString address, QString username, QString password, QString sshport)
{
    // The keychain is reached on this (main) thread; only copies go to the worker.
    const ValidateReturn clear = co_await Secrets::decrypt(password);
    const Login login {address, username, clear.response.value_or(QString()), sshport};
    co_return co_await QtConcurrent::run(&routerThreadPool(), &OVNetSFTP::testSftpBlocking, login);
}

QCoro::Task<ValidateReturn> OVNetSFTP::upload(
    QString address, QString username, QString password, QString sshport, QString localPath, QString remotePath)
{
    co_return co_await upload(std::move(address), std::move(username), std::move(password), std::move(sshport),
        std::move(localPath), std::move(remotePath), &OVNetSFTP::uploadProgress);
}

QCoro::Task<ValidateReturn> OVNetSFTP::upload(QString address, QString username, QString password, QString sshport,
    QString localPath, QString remotePath, Progress progress)
{
    const ValidateReturn clear = co_await Secrets::decrypt(password);
    const Login login {address, username, clear.response.value_or(QString()), sshport};
    co_return co_await QtConcurrent::run(
        &routerThreadPool(), &OVNetSFTP::uploadBlocking, login, localPath, remotePath, progress);
}
