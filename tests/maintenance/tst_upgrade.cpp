#include "ActionTestHelpers.h"
#include "RouterFixture.h"
#include "maintenance/OVCache.h"
#include "maintenance/OVUpdateRouterOS.h"
#include "support/HttpsServer.h"
#include "support/SshServer.h"
#include "support/TestCertificates.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QRandomGenerator>
#include <QSslServer>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace std::chrono_literals;

class TestOVUpdateRouterOS : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void construction_data();
    void construction();

    void downloadWritesPackageAndMarker();
    void downloadReplacesUnfinishedFile();
    void failedDownloadLeavesNothing_data();
    void failedDownloadLeavesNothing();
    void silentServerEndsTheDownload();
    void truncatedPackageIsRemoved();
    void purgeDuringDownloadIsSurvived();
    void unreachableServerReportsTheReason();
    void cancellingSkipsEverySteps();

    void wholeUpgrade_data();
    void wholeUpgrade();
    void cachedPackageSkipsTheDownload();
    void unfinishedPackageIsFetchedAgain();
    void failedDowngradeSendsNoRestart_data();
    void failedDowngradeSendsNoRestart();
    void refusedUploadStopsBeforeTheRouter();

private:
    std::unique_ptr<OVUpdateRouterOS> makeAction(const QString& version = QStringLiteral("7.12"));
    static QByteArray readAll(const QString& path);
    static void writeFile(const QString& path, const QByteArray& data);
    QString packagePath(const QString& version = QStringLiteral("7.12")) const;

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<TestCertificates> m_certificates;
    std::unique_ptr<HttpsServer> m_vendor;
    std::unique_ptr<RouterFixture> m_routers;
    std::unique_ptr<SshServer> m_ssh;
    QPointer<Device> m_device;
    QString m_root;
    QByteArray m_package;
};

void TestOVUpdateRouterOS::initTestCase()
{
    // A private home whose path holds a blank: the cache lives below it.
    m_home = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/orvanta upgrade XXXXXX"));
    QVERIFY(m_home->isValid());
    qputenv("HOME", QFile::encodeName(m_home->path()));
    m_root = OVCache::cacheDirectory().value();
    QVERIFY(m_root.contains(QLatin1Char(' ')));

    m_certificates = std::make_unique<TestCertificates>();
    QVERIFY(m_certificates->isValid());
    m_certificates->trustForProcess();

    // Not a multiple of any buffer size, and not text.
    m_package.resize(300007);
    QRandomGenerator(42).fillRange(reinterpret_cast<quint32*>(m_package.data()), m_package.size() / 4);

    m_vendor = std::make_unique<HttpsServer>(*m_certificates);
    QVERIFY(m_vendor->listen());
    m_routers = std::make_unique<RouterFixture>(m_home->path());
    QVERIFY(m_routers->start());
    // The router's SSH service takes the same user and password as its API.
    m_ssh = std::make_unique<SshServer>(QStringLiteral("admin"), QStringLiteral("secret"));
    QVERIFY2(m_ssh->start(), qPrintable(m_ssh->errorText()));
}

void TestOVUpdateRouterOS::init()
{
    QDir(m_root).removeRecursively();
    OVCache::createDirectory(m_root);
    m_vendor->clearRoutes();
    m_vendor->setHandler({});
    m_vendor->clearRequests();
    m_vendor->setRoute(
        "/routeros/7.12/routeros-7.12-arm64.npk", HttpReply {200, m_package, "application/octet-stream", false, false});
    m_routers->reset();
    m_device = m_routers->device;
    m_device->setArch(QStringLiteral("arm64"));
    m_device->setSshport(QString::number(m_ssh->port()));
    QFile::remove(m_ssh->localPathOf(QStringLiteral("/routeros-7.12-arm64.npk")));
}

void TestOVUpdateRouterOS::cleanupTestCase()
{
    m_ssh.reset();
    m_routers.reset();
    m_vendor.reset();
}

std::unique_ptr<OVUpdateRouterOS> TestOVUpdateRouterOS::makeAction(const QString& version)
{
    auto action = std::make_unique<OVUpdateRouterOS>(
        m_device.data(), version, false, QStringLiteral("10"), false, m_vendor->baseUrl());
    OVUpdateRouter::Timing timing;
    timing.pause = 50ms;
    // Generous bounds: a busy machine must not turn a slow transfer into a failure. The happy
    // paths end as soon as the router or server answers, so they cost nothing.
    timing.waitLimit = 10s;
    timing.transferTimeout = 3s;
    action->setTiming(timing);
    return action;
}

QByteArray TestOVUpdateRouterOS::readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void TestOVUpdateRouterOS::writeFile(const QString& path, const QByteArray& data)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(data), data.size());
}

QString TestOVUpdateRouterOS::packagePath(const QString& version) const
{
    return m_root + QLatin1Char('/') + version + QStringLiteral("/routeros-") + version + QStringLiteral("-arm64.npk");
}

void TestOVUpdateRouterOS::construction_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<std::optional<QString>>("arch");
    QTest::addColumn<int>("error"); // -1: made

    const int version = static_cast<int>(OVUpdateRouterOSError::unknownRouterosVersion);
    const int arch = static_cast<int>(OVUpdateRouterOSError::unknownDeviceArch);
    QTest::newRow("made") << "7.12" << std::optional<QString>("arm64") << -1;
    QTest::newRow("version checked first") << "Unknown" << std::optional<QString>("Unknown") << version;
    QTest::newRow("unknown arch") << "7.12" << std::optional<QString>("Unknown") << arch;
    QTest::newRow("arch never read") << "7.12" << std::optional<QString>() << arch;
    // Both texts become folder and file names: nothing may point outside the cache.
    QTest::newRow("version climbing out") << "../../x" << std::optional<QString>("arm64") << version;
    QTest::newRow("version dot-dot") << ".." << std::optional<QString>("arm64") << version;
    QTest::newRow("empty version") << "" << std::optional<QString>("arm64") << version;
    QTest::newRow("arch with slash") << "7.12" << std::optional<QString>("arm/../../x") << arch;
}

void TestOVUpdateRouterOS::construction()
{
    QFETCH(QString, version);
    QFETCH(std::optional<QString>, arch);
    QFETCH(int, error);
    m_device->setArch(arch);
    try {
        const auto action = makeAction(version);
        QCOMPARE(error, -1);
        QCOMPARE(action->firmwareFile, QStringLiteral("routeros-7.12-arm64.npk"));
        QCOMPARE(action->localFirmwarePath, std::optional<QString>(packagePath()));
        QCOMPARE(action->cacheRoot, std::optional<QString>(m_root));
        QCOMPARE(action->status, OVUpdateRouterStatus::inactive);
        QVERIFY(!action->request);
    } catch (OVUpdateRouterOSError e) {
        QCOMPARE(static_cast<int>(e), error);
    }
}

void TestOVUpdateRouterOS::downloadWritesPackageAndMarker()
{
    const auto action = makeAction();
    const auto result = runBounded(action->download());
    QVERIFY(result.has_value());
    QVERIFY2(result->success, qPrintable(result->message));
    QCOMPARE(result->message, QString());
    QCOMPARE(action->status, OVUpdateRouterStatus::downloading);
    QCOMPARE(readAll(packagePath()), m_package);
    QVERIFY(QFileInfo(packagePath() + QStringLiteral(".finished")).isFile());
    QCOMPARE(QFileInfo(packagePath() + QStringLiteral(".finished")).size(), 0);
    QVERIFY(OVCache::isCached(packagePath()));
    QCOMPARE(m_vendor->requests().size(), 1);
    QCOMPARE(m_vendor->requests().first().method, QByteArray("GET"));
}

void TestOVUpdateRouterOS::downloadReplacesUnfinishedFile()
{
    // Longer than the package, so a file that is only overwritten and not truncated would show.
    writeFile(packagePath(), QByteArray(m_package.size() + 1000, 'x'));
    const auto action = makeAction();
    const auto result = runBounded(action->download());
    QVERIFY(result.has_value());
    QVERIFY(result->success);
    QCOMPARE(m_vendor->requests().size(), 1);
    QCOMPARE(readAll(packagePath()), m_package);
    QVERIFY(OVCache::isCached(packagePath()));
}

void TestOVUpdateRouterOS::failedDownloadLeavesNothing_data()
{
    QTest::addColumn<HttpReply>("reply");
    QTest::addColumn<bool>("staleFile");
    QTest::addColumn<bool>("staleMarker");
    QTest::addColumn<QString>("message");

    const HttpReply notFound {404, "<html>Not here</html>", "text/html", false, false};
    QTest::newRow("404") << notFound << false << false << "Error downloading RouterOS (HTTP status 404 Not Found)";
    QTest::newRow("404 over unfinished file")
        << notFound << true << false << "Error downloading RouterOS (HTTP status 404 Not Found)";
    QTest::newRow("404 with lone marker")
        << notFound << false << true << "Error downloading RouterOS (HTTP status 404 Not Found)";
    QTest::newRow("500") << HttpReply {500, "oops", "text/plain", false, false} << false << false
                         << "Error downloading RouterOS (HTTP status 500 Internal Server Error)";
    QTest::newRow("empty 200") << HttpReply {200, {}, "application/octet-stream", false, false} << true << false
                               << "Error downloading RouterOS (HTTP status 200 with an empty body)";
    QTest::newRow("empty 200 with lone marker") << HttpReply {200, {}, "application/octet-stream", false,
        false} << false << true << "Error downloading RouterOS (HTTP status 200 with an empty body)";
}

void TestOVUpdateRouterOS::failedDownloadLeavesNothing()
{
    QFETCH(HttpReply, reply);
    QFETCH(bool, staleFile);
    QFETCH(bool, staleMarker);
    QFETCH(QString, message);
    m_vendor->setRoute("/routeros/7.12/routeros-7.12-arm64.npk", reply);
    if (staleFile)
        writeFile(packagePath(), "partial");
    if (staleMarker)
        writeFile(packagePath() + QStringLiteral(".finished"), {});

    const auto action = makeAction();
    const auto result = runBounded(action->update());
    QVERIFY(result.has_value());
    QVERIFY(!result->success);
    QCOMPARE(result->message, message);
    QCOMPARE(action->status, OVUpdateRouterStatus::downloading);
    QVERIFY(!QFileInfo::exists(packagePath()));
    QVERIFY(!QFileInfo::exists(packagePath() + QStringLiteral(".finished")));
    QVERIFY(!OVCache::isCached(packagePath()));
}

void TestOVUpdateRouterOS::silentServerEndsTheDownload()
{
    HttpReply silent;
    silent.silent = true;
    m_vendor->setRoute("/routeros/7.12/routeros-7.12-arm64.npk", silent);
    const auto action = makeAction();
    OVUpdateRouter::Timing timing = action->timing();
    timing.transferTimeout = 500ms;
    action->setTiming(timing);
    const auto result = runBounded(action->download(), 10000);
    QVERIFY(result.has_value());
    QVERIFY(!result->success);
    QVERIFY2(result->message.startsWith(QStringLiteral("Error downloading RouterOS ")), qPrintable(result->message));
    QVERIFY(!QFileInfo::exists(packagePath()));
}

void TestOVUpdateRouterOS::truncatedPackageIsRemoved()
{
    // A server that promises the whole package, sends a third of it and hangs up.
    QSslServer server;
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setLocalCertificate(m_certificates->certificate());
    config.setPrivateKey(m_certificates->privateKey());
    server.setSslConfiguration(config);
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: "
        + QByteArray::number(m_package.size()) + "\r\n\r\n";
    const QByteArray part = m_package.left(m_package.size() / 3);
    connect(&server, &QSslServer::pendingConnectionAvailable, &server, [&] {
        QSslSocket* socket = qobject_cast<QSslSocket*>(server.nextPendingConnection());
        connect(socket, &QSslSocket::readyRead, socket, [&, socket] {
            if (!socket->readAll().contains("\r\n\r\n"))
                return;
            socket->write(head + part);
            socket->disconnectFromHost();
        });
    });

    const auto action = std::make_unique<OVUpdateRouterOS>(m_device.data(), QStringLiteral("7.12"), false,
        QStringLiteral("10"), false, QStringLiteral("https://127.0.0.1:%1").arg(server.serverPort()));
    const auto result = runBounded(action->download(), 10000);
    QVERIFY(result.has_value());
    QVERIFY(!result->success);
    QVERIFY2(result->message.startsWith(QStringLiteral("Error downloading RouterOS ")), qPrintable(result->message));
    QVERIFY(!QFileInfo::exists(packagePath()));
    QVERIFY(!QFileInfo::exists(packagePath() + QStringLiteral(".finished")));
}

void TestOVUpdateRouterOS::purgeDuringDownloadIsSurvived()
{
    // The user purges the cache while the request is on its way.
    m_vendor->clearRoutes();
    const QByteArray package = m_package;
    m_vendor->setHandler([package](const HttpRequestRecord&) {
        OVCache::purge();
        return HttpReply {200, package, "application/octet-stream", false, false};
    });
    const auto action = makeAction();
    const auto result = runBounded(action->download());
    QVERIFY(result.has_value());
    QVERIFY2(result->success, qPrintable(result->message));
    QCOMPARE(m_vendor->requests().size(), 1);
    QCOMPARE(readAll(packagePath()), m_package);
    QVERIFY(OVCache::isCached(packagePath()));
}

void TestOVUpdateRouterOS::unreachableServerReportsTheReason()
{
    quint16 closedPort = 0;
    {
        HttpsServer closed(*m_certificates);
        QVERIFY(closed.listen());
        closedPort = closed.port();
    }
    const auto action = std::make_unique<OVUpdateRouterOS>(m_device.data(), QStringLiteral("7.12"), false,
        QStringLiteral("10"), false, QStringLiteral("https://127.0.0.1:%1").arg(closedPort));
    const auto result = runBounded(action->download(), 10000);
    QVERIFY(result.has_value());
    QVERIFY(!result->success);
    // The transfer's own reason, not a complaint about a file that was never there.
    QVERIFY2(result->message.startsWith(QStringLiteral("Error downloading RouterOS ")), qPrintable(result->message));
    QVERIFY(result->message.contains(QStringLiteral("refused"), Qt::CaseInsensitive));
    QVERIFY(!QFileInfo::exists(packagePath()));
}

void TestOVUpdateRouterOS::cancellingSkipsEverySteps()
{
    const auto action = makeAction();
    action->status = OVUpdateRouterStatus::cancelling;
    const auto result = runBounded(action->update());
    QVERIFY(result.has_value());
    QVERIFY(result->success);
    QCOMPARE(result->message, QString());
    QCOMPARE(action->status, OVUpdateRouterStatus::cancelling);
    QCOMPARE(m_vendor->requests().size(), 0);
}

void TestOVUpdateRouterOS::wholeUpgrade_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<bool>("downgrade");
    QTest::addColumn<QStringList>("commands");
    const QStringList restart {"/system/reboot", "/system/routerboard"};
    for (const QString method : {"REST", "API"}) {
        QTest::addRow("%s upgrade", qPrintable(method)) << method << false << restart;
        QTest::addRow("%s downgrade", qPrintable(method))
            << method << true << QStringList {"/system/package/downgrade"} + restart;
    }
}

void TestOVUpdateRouterOS::wholeUpgrade()
{
    QFETCH(QString, method);
    QFETCH(bool, downgrade);
    QFETCH(QStringList, commands);
    m_routers->useMethod(method);
    const auto action = makeAction();
    action->downgrade = downgrade;
    const auto result = runBounded(action->update());
    QVERIFY(result.has_value());
    QVERIFY2(result->success, qPrintable(result->message));
    QCOMPARE(result->message, QStringLiteral("Success"));
    QCOMPARE(action->status, OVUpdateRouterStatus::done);

    QCOMPARE(m_vendor->requests().size(), 1);
    QCOMPARE(m_vendor->requests().first().path, QByteArray("/routeros/7.12/routeros-7.12-arm64.npk"));
    QVERIFY(OVCache::isCached(packagePath()));
    QCOMPARE(readAll(packagePath()), m_package);
    QCOMPARE(readAll(m_ssh->localPathOf(QStringLiteral("/routeros-7.12-arm64.npk"))), m_package);
    QCOMPARE(m_routers->commands(), commands);
}

void TestOVUpdateRouterOS::cachedPackageSkipsTheDownload()
{
    const QByteArray cached = m_package.left(1000) + "cached copy";
    writeFile(packagePath(), cached);
    writeFile(packagePath() + QStringLiteral(".finished"), {});
    const auto action = makeAction();
    const auto result = runBounded(action->update());
    QVERIFY(result.has_value());
    QVERIFY2(result->success, qPrintable(result->message));
    QVERIFY(m_vendor->requests().isEmpty());
    QCOMPARE(readAll(m_ssh->localPathOf(QStringLiteral("/routeros-7.12-arm64.npk"))), cached);
}

void TestOVUpdateRouterOS::unfinishedPackageIsFetchedAgain()
{
    writeFile(packagePath(), m_package.left(5000));
    const auto action = makeAction();
    const auto result = runBounded(action->update());
    QVERIFY(result.has_value());
    QVERIFY2(result->success, qPrintable(result->message));
    QCOMPARE(m_vendor->requests().size(), 1);
    QCOMPARE(readAll(m_ssh->localPathOf(QStringLiteral("/routeros-7.12-arm64.npk"))), m_package);
}

void TestOVUpdateRouterOS::failedDowngradeSendsNoRestart_data()
{
    QTest::addColumn<QString>("method");
    QTest::newRow("REST") << "REST";
    QTest::newRow("API") << "API";
}

void TestOVUpdateRouterOS::failedDowngradeSendsNoRestart()
{
    QFETCH(QString, method);
    m_routers->useMethod(method);
    m_routers->failCommand(QStringLiteral("/system/package/downgrade"));
    const auto action = makeAction();
    action->downgrade = true;
    const auto result = runBounded(action->update());
    QVERIFY(result.has_value());
    QVERIFY(!result->success);
    QVERIFY(!result->message.isEmpty());
    QCOMPARE(action->status, OVUpdateRouterStatus::applying);
    QCOMPARE(m_routers->commands(), QStringList({"/system/package/downgrade"}));
}

void TestOVUpdateRouterOS::refusedUploadStopsBeforeTheRouter()
{
    SshServer other(QStringLiteral("admin"), QStringLiteral("another password"));
    QVERIFY2(other.start(), qPrintable(other.errorText()));
    m_device->setSshport(QString::number(other.port()));
    const auto action = makeAction();
    const auto result = runBounded(action->update());
    QVERIFY(result.has_value());
    QVERIFY(!result->success);
    QVERIFY(!result->message.isEmpty());
    QCOMPARE(action->status, OVUpdateRouterStatus::uploading);
    // The package itself was fine and stays cached for the next attempt.
    QVERIFY(OVCache::isCached(packagePath()));
    QVERIFY(m_routers->commands().isEmpty());
}

ORVANTA_TEST_MAIN(TestOVUpdateRouterOS)
#include "tst_upgrade.moc"
