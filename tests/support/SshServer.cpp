#include "SshServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcessEnvironment>

namespace {

// The server ends when its standard input closes, so it never outlives the test process.
const char* const kServerScript = R"PY(
import asyncio, sys, warnings
warnings.simplefilter('ignore')
import asyncssh

root, user, password = sys.argv[1].encode(), sys.argv[2], sys.argv[3]

class Server(asyncssh.SSHServer):
    def begin_auth(self, username):
        return True
    def password_auth_supported(self):
        return True
    def validate_password(self, username, pw):
        return username == user and pw == password

async def main():
    key = asyncssh.generate_private_key('ssh-ed25519')
    server = await asyncssh.listen('127.0.0.1', 0, server_host_keys=[key], server_factory=Server,
                                   sftp_factory=lambda chan: asyncssh.SFTPServer(chan, chroot=root),
                                   allow_scp=False, login_timeout=30)
    print(server.sockets[0].getsockname()[1], flush=True)
    print(key.export_public_key('openssh').decode().strip(), flush=True)
    await asyncio.get_running_loop().run_in_executor(None, sys.stdin.read)
    server.close()

asyncio.run(main())
)PY";

// Debian's interpreter, where python3-asyncssh is installed, whatever else is first on PATH.
QString pythonProgram()
{
    return QFile::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                             : QStringLiteral("python3");
}

} // namespace

SshServer::SshServer(QString user, QString password)
    : m_user(std::move(user))
    , m_password(std::move(password))
{ }

SshServer::~SshServer()
{
    stop();
}

bool SshServer::start()
{
    stop();
    m_error.clear();
    m_dir = std::make_unique<QTemporaryDir>();
    if (!m_dir->isValid() || !QDir(m_dir->path()).mkpath(QStringLiteral("root"))) {
        m_error = QStringLiteral("cannot make a temporary folder");
        return false;
    }
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PYTHONWARNINGS"), QStringLiteral("ignore"));
    m_process->setProcessEnvironment(environment);
    m_process->start(
        pythonProgram(), {QStringLiteral("-c"), QString::fromUtf8(kServerScript), rootPath(), m_user, m_password});
    if (!m_process->waitForStarted(10000)) {
        m_error = m_process->errorString();
        stop();
        return false;
    }
    QDeadlineTimer deadline(20000);
    QList<QByteArray> lines;
    while (lines.size() < 2 && !deadline.hasExpired()) {
        if (m_process->canReadLine()) {
            lines.append(m_process->readLine().trimmed());
            continue;
        }
        if (m_process->state() != QProcess::Running
            || !m_process->waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            break;
    }
    bool ok = false;
    if (lines.size() == 2)
        m_port = lines[0].toUShort(&ok);
    if (!ok || m_port == 0) {
        m_error
            = QStringLiteral("the SSH server did not start: ") + QString::fromUtf8(m_process->readAllStandardError());
        stop();
        return false;
    }
    m_hostKey = lines[1];
    return true;
}

void SshServer::stop()
{
    if (m_process) {
        if (m_process->state() != QProcess::NotRunning) {
            m_process->closeWriteChannel();
            if (!m_process->waitForFinished(5000)) {
                m_process->kill();
                m_process->waitForFinished(5000);
            }
        }
        m_process.reset();
    }
    m_port = 0;
    m_dir.reset();
}

QString SshServer::rootPath() const
{
    return m_dir ? m_dir->filePath(QStringLiteral("root")) : QString();
}

QString SshServer::localPathOf(const QString& remotePath) const
{
    return rootPath() + (remotePath.startsWith(QLatin1Char('/')) ? remotePath : QLatin1Char('/') + remotePath);
}

QByteArray SshServer::knownHostsLine() const
{
    return "[127.0.0.1]:" + QByteArray::number(m_port) + ' ' + m_hostKey;
}
