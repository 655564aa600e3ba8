#include "support/LocalPorts.h"
#include "support/SshServer.h"
#include "support/TestMain.h"

#include "control/OVNetSFTP.h"
#include "model/Secrets.h"

#include <QCoroTask>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTemporaryDir>

#include <signal.h>

#include <mutex>

namespace {

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    generator.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    for (qsizetype i = size / 4 * 4; i < size; ++i)
        bytes[i] = static_cast<char>(generator.bounded(256));
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Records what the upload reports; the reports arrive on the worker thread.
struct ProgressLog
{
    std::mutex mutex;
    QList<QPair<qint64, qint64>> reports;

    OVNetSFTP::Progress callback()
    {
        return [this](qint64 sent, qint64 size) {
            std::lock_guard lock(mutex);
            reports.append({sent, size});
            return true;
        };
    }
};

} // namespace

class TestSftp : public QObject
{
    Q_OBJECT

private:
    SshServer m_server;
    QTemporaryDir m_home;
    QTemporaryDir m_local;
    QString m_storedPassword;

    QString knownHostsPath() const { return m_home.filePath(QStringLiteral(".ssh/known_hosts")); }
    QString port() const { return QString::number(m_server.port()); }

    ValidateReturn login(const QString& storedPassword)
    {
        return QCoro::waitFor(
            OVNetSFTP::testSftp(QStringLiteral("127.0.0.1"), m_server.user(), storedPassword, port()));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        QVERIFY(m_local.isValid());
        // Host keys are looked up in the user's known_hosts: make that a folder of our own.
        qputenv("HOME", m_home.path().toUtf8());
        QVERIFY(QDir(m_home.path()).mkpath(QStringLiteral(".ssh")));
        QVERIFY2(m_server.start(), qPrintable(m_server.errorText()));
        m_storedPassword = QCoro::waitFor(Secrets::encrypt(m_server.password()));
    }

    void cleanup() { QFile::remove(knownHostsPath()); }

    void portText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("port"); // 0: not a port, refused without connecting

        QTest::newRow("empty") << QString() << 22;
        QTest::newRow("letters") << QStringLiteral("abc") << 22;
        QTest::newRow("digits then letter") << QStringLiteral("22a") << 22;
        QTest::newRow("signed") << QStringLiteral("+2222") << 22;
        QTest::newRow("spaces") << QStringLiteral(" 2222") << 22;
        QTest::newRow("number") << QStringLiteral("2222") << 2222;
        QTest::newRow("leading zeros") << QStringLiteral("0022") << 22;
        QTest::newRow("highest") << QStringLiteral("65535") << 65535;
        QTest::newRow("zero") << QStringLiteral("0") << 0;
        QTest::newRow("too large") << QStringLiteral("65536") << 0;
        QTest::newRow("huge") << QStringLiteral("99999999999999999999999") << 0;
    }

    void portText()
    {
        QFETCH(QString, text);
        QFETCH(int, port);
        const std::optional<int> number = OVNetSFTP::portNumber(text);
        QCOMPARE(number.value_or(0), port);
    }

    void loginSucceedsWithStoredPassword()
    {
        const ValidateReturn result = login(m_storedPassword);
        QVERIFY2(result.success, qPrintable(result.message));
        QVERIFY(result.message.isEmpty());
        QVERIFY(!result.response.has_value());
        QVERIFY(!result.session);
        // An unlisted host is accepted and nothing is written about it.
        QVERIFY(!QFile::exists(knownHostsPath()));
    }

    void wrongPasswordFailsAtAuthentication()
    {
        const ValidateReturn result = login(QCoro::waitFor(Secrets::encrypt(QStringLiteral("not the password"))));
        QVERIFY(!result.success);
        QVERIFY2(
            result.message.contains(QStringLiteral("Access denied"), Qt::CaseInsensitive), qPrintable(result.message));
    }

    void undecipherablePasswordFailsAtAuthentication()
    {
        // A stored text that cannot be deciphered reaches the server as "Could not decrypt".
        const ValidateReturn result = login(QStringLiteral("abc"));
        QVERIFY(!result.success);
        QVERIFY2(
            result.message.contains(QStringLiteral("Access denied"), Qt::CaseInsensitive), qPrintable(result.message));
    }

    void closedPortFailsAtConnect()
    {
        const QString closedPort = QString::number(LocalPorts::closed());

        QElapsedTimer timer;
        timer.start();
        const ValidateReturn result = QCoro::waitFor(
            OVNetSFTP::testSftp(QStringLiteral("127.0.0.1"), m_server.user(), m_storedPassword, closedPort));
        QVERIFY(!result.success);
        QVERIFY2(result.message.contains(QStringLiteral("refused"), Qt::CaseInsensitive), qPrintable(result.message));
        QVERIFY(timer.elapsed() < 5000);
    }

    void silentServerFailsWithinTheTimeout()
    {
        // Accepts the connection and never says a word.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        QElapsedTimer timer;
        timer.start();
        const ValidateReturn result = QCoro::waitFor(OVNetSFTP::testSftp(
            QStringLiteral("127.0.0.1"), m_server.user(), m_storedPassword, QString::number(silent.serverPort())));
        QVERIFY(!result.success);
        QVERIFY(!result.message.isEmpty());
        QVERIFY2(timer.elapsed() < 15000, qPrintable(QString::number(timer.elapsed())));
    }

    void hostKeyChecks_data()
    {
        QTest::addColumn<bool>("sameKey");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("listed with its key") << true << true;
        QTest::newRow("listed with another key") << false << false;
    }

    void hostKeyChecks()
    {
        QFETCH(bool, sameKey);
        QFETCH(bool, accepted);
        QByteArray line = m_server.knownHostsLine();
        if (!sameKey) {
            SshServer other;
            QVERIFY2(other.start(), qPrintable(other.errorText()));
            line = "[127.0.0.1]:" + QByteArray::number(m_server.port()) + ' ' + other.hostPublicKey();
        }
        const QByteArray contents = "# kept as it is\n" + line + '\n';
        QVERIFY(writeFile(knownHostsPath(), contents));

        const ValidateReturn result = login(m_storedPassword);
        QCOMPARE(result.success, accepted);
        if (!accepted)
            QVERIFY2(result.message.contains(QStringLiteral("host key")), qPrintable(result.message));
        QCOMPARE(readFile(knownHostsPath()), contents);
    }

    void uploadArrivesWhole()
    {
        const QByteArray bytes = randomBytes(20 * 1000 * 1000 + 123, 7);
        const QString localPath = m_local.filePath(QStringLiteral("routeros-7.16-arm.npk"));
        QVERIFY(writeFile(localPath, bytes));

        ProgressLog progress;
        const ValidateReturn result = QCoro::waitFor(OVNetSFTP::upload(QStringLiteral("127.0.0.1"), m_server.user(),
            m_storedPassword, port(), localPath, QStringLiteral("/routeros-7.16-arm.npk"), progress.callback()));
        QVERIFY2(result.success, qPrintable(result.message));
        QVERIFY(result.message.isEmpty());
        QVERIFY(readFile(m_server.localPathOf(QStringLiteral("/routeros-7.16-arm.npk"))) == bytes);

        std::lock_guard lock(progress.mutex);
        QVERIFY(progress.reports.size() > 1);
        qint64 previous = 0;
        for (const auto& [sent, size] : progress.reports) {
            QCOMPARE(size, bytes.size());
            QVERIFY(sent > previous);
            previous = sent;
        }
        QCOMPARE(progress.reports.last().first, bytes.size());
    }

    void uploadReplacesALongerFile()
    {
        const QString remote = QStringLiteral("/replace.npk");
        QVERIFY(writeFile(m_server.localPathOf(remote), randomBytes(300000, 1)));
        const QByteArray bytes = randomBytes(1000, 2);
        const QString localPath = m_local.filePath(QStringLiteral("replace.npk"));
        QVERIFY(writeFile(localPath, bytes));

        // The plain upload, reporting to the system log.
        const ValidateReturn result = QCoro::waitFor(OVNetSFTP::upload(
            QStringLiteral("127.0.0.1"), m_server.user(), m_storedPassword, port(), localPath, remote));
        QVERIFY2(result.success, qPrintable(result.message));
        QCOMPARE(readFile(m_server.localPathOf(remote)), bytes);
    }

    void emptyFileReportsItsSize()
    {
        const QString localPath = m_local.filePath(QStringLiteral("empty.npk"));
        QVERIFY(writeFile(localPath, {}));
        ProgressLog progress;
        const ValidateReturn result = QCoro::waitFor(OVNetSFTP::upload(QStringLiteral("127.0.0.1"), m_server.user(),
            m_storedPassword, port(), localPath, QStringLiteral("/empty.npk"), progress.callback()));
        QVERIFY2(result.success, qPrintable(result.message));
        QVERIFY(QFile::exists(m_server.localPathOf(QStringLiteral("/empty.npk"))));
        std::lock_guard lock(progress.mutex);
        QCOMPARE(progress.reports, (QList<QPair<qint64, qint64>> {{0, 0}}));
    }

    void missingLocalFileFailsBeforeConnecting()
    {
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost));
        const QString missing = m_local.filePath(QStringLiteral("missing.npk"));
        const ValidateReturn result = QCoro::waitFor(OVNetSFTP::upload(QStringLiteral("127.0.0.1"), m_server.user(),
            m_storedPassword, QString::number(listener.serverPort()), missing, QStringLiteral("/missing.npk")));
        QVERIFY(!result.success);
        QVERIFY2(result.message.contains(missing), qPrintable(result.message));
        QVERIFY(!listener.waitForNewConnection(200));
    }

    void remoteRefusalIsReported()
    {
        const QString localPath = m_local.filePath(QStringLiteral("small.npk"));
        QVERIFY(writeFile(localPath, randomBytes(100, 3)));
        const ValidateReturn result = QCoro::waitFor(OVNetSFTP::upload(QStringLiteral("127.0.0.1"), m_server.user(),
            m_storedPassword, port(), localPath, QStringLiteral("/no/such/folder/small.npk")));
        QVERIFY(!result.success);
        QVERIFY2(result.message.startsWith(QStringLiteral("SFTP server")), qPrintable(result.message));
    }

    void serverGoneMidTransferFails()
    {
        SshServer doomed;
        QVERIFY2(doomed.start(), qPrintable(doomed.errorText()));
        const QString localPath = m_local.filePath(QStringLiteral("gone.npk"));
        QVERIFY(writeFile(localPath, randomBytes(4 * 1000 * 1000, 5)));
        const qint64 pid = doomed.processId();
        bool killed = false;
        const OVNetSFTP::Progress kill = [pid, &killed](qint64, qint64) {
            if (!killed)
                killed = ::kill(static_cast<pid_t>(pid), SIGKILL) == 0;
            return true;
        };
        QElapsedTimer timer;
        timer.start();
        const ValidateReturn result = QCoro::waitFor(OVNetSFTP::upload(QStringLiteral("127.0.0.1"), doomed.user(),
            QCoro::waitFor(Secrets::encrypt(doomed.password())), QString::number(doomed.port()), localPath,
            QStringLiteral("/gone.npk"), kill));
        QVERIFY(killed);
        QVERIFY(!result.success);
        QVERIFY(!result.message.isEmpty());
        QVERIFY2(timer.elapsed() < 9000, qPrintable(QString::number(timer.elapsed())));
    }

    void stalledTransferFails()
    {
        const QString localPath = m_local.filePath(QStringLiteral("stall.npk"));
        QVERIFY(writeFile(localPath, randomBytes(4 * 1000 * 1000, 4)));
        const qint64 pid = m_server.processId();
        QVERIFY(pid > 0);
        bool frozen = false;
        // After the first acknowledged chunk the server stops answering altogether.
        const OVNetSFTP::Progress freeze = [pid, &frozen](qint64, qint64) {
            if (!frozen)
                frozen = ::kill(static_cast<pid_t>(pid), SIGSTOP) == 0;
            return true;
        };
        QElapsedTimer timer;
        timer.start();
        const ValidateReturn result = QCoro::waitFor(OVNetSFTP::upload(QStringLiteral("127.0.0.1"), m_server.user(),
            m_storedPassword, port(), localPath, QStringLiteral("/stall.npk"), freeze));
        ::kill(static_cast<pid_t>(pid), SIGCONT);
        QVERIFY(frozen);
        QVERIFY(!result.success);
        QVERIFY2(result.message.contains(QStringLiteral("did not answer")), qPrintable(result.message));
        QVERIFY2(timer.elapsed() < 20000, qPrintable(QString::number(timer.elapsed())));
    }
};

ORVANTA_TEST_MAIN(TestSftp)
#include "tst_sftp.moc"
