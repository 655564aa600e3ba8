#include "ActionTestHelpers.h"
#include "RouterFixture.h"
#include "maintenance/OVCache.h"
#include "maintenance/OVUpdateRouterOS.h"
#include "support/HttpsServer.h"
#include "support/SshServer.h"
#include "support/TestCertificates.h"
#include "support/TestMain.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
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
    void replyEndsTheDownload_data();
    void replyEndsTheDownload();
    void stalledDownloadLeavesNothing();
    void purgeDuringDownloadIsSurvived();
    void purgeHalfwayThroughTheDownload();
    void twoUpgradesOfOnePackage_data();
    void twoUpgradesOfOnePackage();
    void twoPackagesDownloadAtOnce();
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
    // Every file below the cache root, relative to it, sorted.
    QStringList cacheFiles() const;
    // A second device on the same API router, with its own SSH server.
    Device* addDevice(const QString& arch, quint16 sshPort);

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<TestCertificates> m_certificates;
    std::unique_ptr<HttpsServer> m_vendor;
    std::unique_ptr<RouterFixture> m_routers;
    std::unique_ptr<SshServer> m_ssh;
    std::unique_ptr<SshServer> m_otherSsh;
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
    m_otherSsh = std::make_unique<SshServer>(QStringLiteral("admin"), QStringLiteral("secret"));
    QVERIFY2(m_otherSsh->start(), qPrintable(m_otherSsh->errorText()));
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
    QFile::remove(m_otherSsh->localPathOf(QStringLiteral("/routeros-7.12-arm64.npk")));
}

void TestOVUpdateRouterOS::cleanupTestCase()
{
    m_ssh.reset();
    m_otherSsh.reset();
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

QStringList TestOVUpdateRouterOS::cacheFiles() const
{
    QStringList files;
    QDirIterator it(m_root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(m_root).relativeFilePath(it.next());
    files.sort();
    return files;
}

Device* TestOVUpdateRouterOS::addDevice(const QString& arch, quint16 sshPort)
{
    Device* device = m_routers->store.insertDevice();
    device->setAddress(QStringLiteral("127.0.0.1"));
    device->setUsername(QStringLiteral("admin"));
    device->setPassword(m_device->password());
    device->setArch(arch);
    device->setControlMethod(QStringLiteral("API"));
    device->setPort(QString::number(m_routers->api.port()));
    device->setSsl(false);
    device->setSshport(QString::number(sshPort));
    return device;
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
    QCOMPARE(cacheFiles(), QStringList());
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

void TestOVUpdateRouterOS::replyEndsTheDownload_data()
{
    QTest::addColumn<HttpReply>("reply");
    QTest::addColumn<QString>("message"); // empty: the package arrives whole

    HttpReply slow {200, m_package, "application/octet-stream", false, false};
    slow.pieceSize = 20000;
    slow.pieceIntervalMs = 5;
    QTest::newRow("slowly, in pieces") << slow << QString();
    HttpReply chunked = slow;
    chunked.framing = HttpReply::Framing::chunked;
    QTest::newRow("chunked") << chunked << QString();
    HttpReply untilClose = slow;
    untilClose.framing = HttpReply::Framing::untilClose;
    QTest::newRow("ended by the close") << untilClose << QString();

    // The server hangs up cleanly a third of the way in.
    HttpReply cut = slow;
    cut.cutAfter = 100000;
    QTest::newRow("cut with Content-Length") << cut << "Error downloading RouterOS (received 100000 of 300007 bytes)";
    HttpReply cutChunked = chunked;
    cutChunked.cutAfter = 100000;
    QTest::newRow("cut without Content-Length") << cutChunked << "Error downloading RouterOS Connection closed";

    // What a captive portal or a proxy answers in place of the package.
    const QString page = QStringLiteral("Error downloading RouterOS (the server sent a web page, not the package)");
    QTest::newRow("web page") << HttpReply {200, "<html><body>Sign in to continue</body></html>",
        "text/html; charset=utf-8", false, false}
                              << page;
    HttpReply longPage = slow;
    longPage.contentType = "Text/HTML";
    QTest::newRow("long web page") << longPage << page;
}

void TestOVUpdateRouterOS::replyEndsTheDownload()
{
    QFETCH(HttpReply, reply);
    QFETCH(QString, message);
    m_vendor->setRoute("/routeros/7.12/routeros-7.12-arm64.npk", reply);
    const auto action = makeAction();
    const auto result = runBounded(action->download());
    QVERIFY(result.has_value());
    QCOMPARE(result->message, message);
    QCOMPARE(result->success, message.isEmpty());
    if (message.isEmpty()) {
        QCOMPARE(readAll(packagePath()), m_package);
        QCOMPARE(cacheFiles(), QStringList({"7.12/routeros-7.12-arm64.npk", "7.12/routeros-7.12-arm64.npk.finished"}));
    } else {
        // Neither the private file nor a marker is left behind.
        QCOMPARE(cacheFiles(), QStringList());
    }
}

void TestOVUpdateRouterOS::stalledDownloadLeavesNothing()
{
    // Half the package arrives, then the server goes quiet: the transfer bound ends it.
    HttpReply stalled {200, m_package, "application/octet-stream", false, false};
    stalled.pieceSize = 50000;
    stalled.holdAfter = 150000;
    m_vendor->setRoute("/routeros/7.12/routeros-7.12-arm64.npk", stalled);
    const auto action = makeAction();
    OVUpdateRouter::Timing timing = action->timing();
    timing.transferTimeout = 1s;
    action->setTiming(timing);
    auto result = std::make_shared<std::optional<ValidateReturn>>();
    auto running = action->download().then([result](ValidateReturn value) { *result = value; });
    QTRY_VERIFY_WITH_TIMEOUT(m_vendor->heldTransfers() == 1 && !cacheFiles().isEmpty(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(result->has_value(), 10000);
    QVERIFY(!(*result)->success);
    QCOMPARE((*result)->message, QStringLiteral("Error downloading RouterOS (no data for 1 second)"));
    QCOMPARE(cacheFiles(), QStringList());
    m_vendor->releaseHeld();
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

void TestOVUpdateRouterOS::purgeHalfwayThroughTheDownload()
{
    // The user purges the cache with half the package written: the download still ends with the
    // whole package under its name and its marker, in the folder made anew.
    HttpReply halves {200, m_package, "application/octet-stream", false, false};
    halves.pieceSize = 30000;
    halves.holdAfter = m_package.size() / 2;
    m_vendor->setRoute("/routeros/7.12/routeros-7.12-arm64.npk", halves);
    const auto action = makeAction();
    auto result = std::make_shared<std::optional<ValidateReturn>>();
    auto running = action->download().then([result](ValidateReturn value) { *result = value; });
    auto written = [this] {
        qint64 size = 0;
        for (const QString& file : cacheFiles())
            size += QFileInfo(m_root + QLatin1Char('/') + file).size();
        return size;
    };
    QTRY_VERIFY_WITH_TIMEOUT(m_vendor->heldTransfers() == 1 && written() > m_package.size() / 3, 10000);
    OVCache::purge();
    QCOMPARE(cacheFiles(), QStringList());
    m_vendor->releaseHeld();
    QTRY_VERIFY_WITH_TIMEOUT(result->has_value(), 10000);
    QVERIFY2((*result)->success, qPrintable((*result)->message));
    QCOMPARE(readAll(packagePath()), m_package);
    QCOMPARE(cacheFiles(), QStringList({"7.12/routeros-7.12-arm64.npk", "7.12/routeros-7.12-arm64.npk.finished"}));
}

void TestOVUpdateRouterOS::twoUpgradesOfOnePackage_data()
{
    QTest::addColumn<HttpReply>("reply");
    QTest::addColumn<QString>("message"); // of the download; empty: both upgrades succeed
    HttpReply slow {200, m_package, "application/octet-stream", false, false};
    slow.pieceSize = 20000;
    slow.pieceIntervalMs = 10;
    QTest::newRow("served") << slow << QString();
    HttpReply cut = slow;
    cut.cutAfter = 200000;
    QTest::newRow("cut") << cut << "Error downloading RouterOS (received 200000 of 300007 bytes)";
}

void TestOVUpdateRouterOS::twoUpgradesOfOnePackage()
{
    // Two routers of one architecture upgraded to one version at the same moment.
    QFETCH(HttpReply, reply);
    QFETCH(QString, message);
    m_vendor->setRoute("/routeros/7.12/routeros-7.12-arm64.npk", reply);
    Device* other = addDevice(QStringLiteral("arm64"), m_otherSsh->port());
    const auto first = makeAction();
    auto second = std::make_unique<OVUpdateRouterOS>(
        other, QStringLiteral("7.12"), false, QStringLiteral("10"), false, m_vendor->baseUrl());
    second->setTiming(first->timing());

    auto firstResult = std::make_shared<std::optional<ValidateReturn>>();
    auto secondResult = std::make_shared<std::optional<ValidateReturn>>();
    auto firstRun = first->update().then([firstResult](ValidateReturn value) { *firstResult = value; });
    auto secondRun = second->update().then([secondResult](ValidateReturn value) { *secondResult = value; });
    QTRY_VERIFY_WITH_TIMEOUT(firstResult->has_value() && secondResult->has_value(), 30000);
    m_routers->store.deleteDevice(other);
    QVERIFY(m_routers->store.save());

    // One transfer served both.
    QCOMPARE(m_vendor->requests().size(), 1);
    const QString remote = QStringLiteral("/routeros-7.12-arm64.npk");
    if (message.isEmpty()) {
        QCOMPARE((*firstResult)->message, QStringLiteral("Success"));
        QCOMPARE((*secondResult)->message, QStringLiteral("Success"));
        QCOMPARE(readAll(packagePath()), m_package);
        QCOMPARE(cacheFiles(), QStringList({"7.12/routeros-7.12-arm64.npk", "7.12/routeros-7.12-arm64.npk.finished"}));
        QCOMPARE(readAll(m_ssh->localPathOf(remote)), m_package);
        QCOMPARE(readAll(m_otherSsh->localPathOf(remote)), m_package);
    } else {
        QVERIFY(!(*firstResult)->success);
        QVERIFY(!(*secondResult)->success);
        QCOMPARE((*firstResult)->message, message);
        QCOMPARE((*secondResult)->message, message);
        QCOMPARE(cacheFiles(), QStringList());
        QVERIFY(!QFileInfo::exists(m_ssh->localPathOf(remote)));
        QVERIFY(!QFileInfo::exists(m_otherSsh->localPathOf(remote)));
    }
}

void TestOVUpdateRouterOS::twoPackagesDownloadAtOnce()
{
    // Different packages do not wait for each other: both transfers run at the same time.
    QByteArray otherPackage = m_package;
    std::reverse(otherPackage.begin(), otherPackage.end());
    HttpReply slow {200, m_package, "application/octet-stream", false, false};
    slow.pieceSize = 20000;
    slow.pieceIntervalMs = 10;
    m_vendor->setRoute("/routeros/7.12/routeros-7.12-arm64.npk", slow);
    slow.body = otherPackage;
    m_vendor->setRoute("/routeros/7.12/routeros-7.12-arm.npk", slow);
    Device* other = addDevice(QStringLiteral("arm"), m_otherSsh->port());
    const auto first = makeAction();
    auto second = std::make_unique<OVUpdateRouterOS>(
        other, QStringLiteral("7.12"), false, QStringLiteral("10"), false, m_vendor->baseUrl());

    auto firstResult = std::make_shared<std::optional<ValidateReturn>>();
    auto secondResult = std::make_shared<std::optional<ValidateReturn>>();
    auto firstRun = first->download().then([firstResult](ValidateReturn value) { *firstResult = value; });
    auto secondRun = second->download().then([secondResult](ValidateReturn value) { *secondResult = value; });
    QTRY_VERIFY_WITH_TIMEOUT(firstResult->has_value() && secondResult->has_value(), 30000);
    m_routers->store.deleteDevice(other);
    QVERIFY(m_routers->store.save());

    QVERIFY2((*firstResult)->success, qPrintable((*firstResult)->message));
    QVERIFY2((*secondResult)->success, qPrintable((*secondResult)->message));
    QCOMPARE(m_vendor->requests().size(), 2);
    QCOMPARE(m_vendor->maxActiveTransfers(), 2);
    QCOMPARE(readAll(packagePath()), m_package);
    QCOMPARE(readAll(m_root + QStringLiteral("/7.12/routeros-7.12-arm.npk")), otherPackage);
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
