#include "OVNetSFTP.h"

#include "model/Secrets.h"

#include <QCoroFuture>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

#include <libssh/libssh.h>
#include <libssh/sftp.h>

#include <syslog.h>
#include <sys/socket.h>

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
constexpr std::size_t kChunkSize = 32768;

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

// libssh bounds connecting and authenticating itself, but its SFTP calls wait without limit in a
// blocking session. The watchdog shuts the socket down when no step has moved on for the whole
// time-out, so the blocked call returns with an error instead of hanging.
class Watchdog
{
public:
    explicit Watchdog(ssh_session session)
        : m_session(session)
        , m_last(Clock::now())
        , m_thread([this] { run(); })
    {
    }
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

// Makes a session, connects, checks the host key against the user's known_hosts and logs in.
// On failure `error` holds the description and the result is empty.
Session openSession(const OVNetSFTP::Login& login, QString& error)
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
    if (ssh_options_set(session.get(), SSH_OPTIONS_PROCESS_CONFIG, &processConfig) != SSH_OK
        || ssh_options_set(session.get(), SSH_OPTIONS_HOST, host.constData()) != SSH_OK
        || ssh_options_set(session.get(), SSH_OPTIONS_PORT, &portValue) != SSH_OK
        || ssh_options_set(session.get(), SSH_OPTIONS_USER, user.constData()) != SSH_OK
        || ssh_options_set(session.get(), SSH_OPTIONS_TIMEOUT, &timeout) != SSH_OK
        || ssh_options_set(session.get(), SSH_OPTIONS_KNOWNHOSTS, knownHosts.constData()) != SSH_OK) {
        error = sessionError(session.get());
        return {};
    }
    if (ssh_connect(session.get()) != SSH_OK) {
        error = sessionError(session.get());
        return {};
    }
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
    const QByteArray password = login.password.toUtf8();
    if (ssh_userauth_password(session.get(), nullptr, password.constData()) != SSH_AUTH_SUCCESS) {
        error = sessionError(session.get());
        if (error.isEmpty())
            error = QStringLiteral("Access denied for user %1").arg(login.username);
        return {};
    }
    return session;
}

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
    Session session = openSession(login, error);
    if (!session)
        return ValidateReturn::failure(error);
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
    Session session = openSession(login, error);
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

    QByteArray buffer(kChunkSize, Qt::Uninitialized);
    qint64 sent = 0;
    bool reported = false;
    while (sent < size) {
        const qint64 got = local.read(buffer.data(), buffer.size());
        if (got <= 0)
            return fail(QStringLiteral("Cannot read %1: %2").arg(localPath, local.errorString()));
        if (sftp_write(file.get(), buffer.constData(), static_cast<size_t>(got)) != got)
            return fail(sessionError(session.get()));
        watchdog.touch();
        sent += got;
        reported = true;
        if (!progress(sent, size))
            return fail(QStringLiteral("Upload cancelled"));
    }
    if (!reported && !progress(sent, size))
        return fail(QStringLiteral("Upload cancelled"));

    if (sftp_close(file.release()) != SSH_OK)
        return fail(sessionError(session.get()));
    sftp.reset();
    ssh_disconnect(session.get());
    return ValidateReturn::ok();
}

QCoro::Task<ValidateReturn> OVNetSFTP::testSftp(QString address, QString username, QString password, QString sshport)
{
    // The keychain is reached on this (main) thread; only copies go to the worker.
    const Login login {address, username, Secrets::decrypt(password).response.value_or(QString()), sshport};
    co_return co_await QtConcurrent::run(&OVNetSFTP::testSftpBlocking, login);
}

QCoro::Task<ValidateReturn> OVNetSFTP::upload(QString address, QString username, QString password, QString sshport,
    QString localPath, QString remotePath)
{
    co_return co_await upload(std::move(address), std::move(username), std::move(password), std::move(sshport),
        std::move(localPath), std::move(remotePath), &OVNetSFTP::uploadProgress);
}

QCoro::Task<ValidateReturn> OVNetSFTP::upload(QString address, QString username, QString password, QString sshport,
    QString localPath, QString remotePath, Progress progress)
{
    const Login login {address, username, Secrets::decrypt(password).response.value_or(QString()), sshport};
    co_return co_await QtConcurrent::run(&OVNetSFTP::uploadBlocking, login, localPath, remotePath, progress);
}
