#include "ActionTestHelpers.h"
#include "RouterFixture.h"
#include "maintenance/OVUpdateRouterBOOT.h"
#include "maintenance/OVUpdateRouterReboot.h"
#include "maintenance/OVUpdateRouterShutdown.h"
#include "support/TestMain.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace std::chrono_literals;

class TestMaintenanceActions : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void productionTimingByDefault();

    void restartWaitsForTheRouter_data() { methods(); }
    void restartWaitsForTheRouter();
    void failedRestartNeverProbes_data() { methods(); }
    void failedRestartNeverProbes();
    void shutdownReturnsAfterOnePause_data() { methods(); }
    void shutdownReturnsAfterOnePause();
    void pauseIsNeverShorterThanAsked();
    void routerBootUpgradeThenRestart_data();
    void routerBootUpgradeThenRestart();

    void waitProbesUntilTheRouterAnswers_data() { methods(); }
    void waitProbesUntilTheRouterAnswers();
    void waitGivesUpAfterItsBound();
    void probeUsesItsOwnTimeout_data() { methods(); }
    void probeUsesItsOwnTimeout();
    void probeChoosesApiUnlessExactlyRest_data();
    void probeChoosesApiUnlessExactlyRest();
    void cancellingEndsTheWait();
    void deletedDeviceEndsTheAction();

private:
    static void methods();
    template<typename Action>
    std::unique_ptr<Action> make(const QString& restApiTimeout = QStringLiteral("10"));

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<RouterFixture> m_routers;
    OVUpdateRouter::Timing m_timing;
};

void TestMaintenanceActions::methods()
{
    QTest::addColumn<QString>("method");
    QTest::newRow("REST") << "REST";
    QTest::newRow("API") << "API";
}

void TestMaintenanceActions::initTestCase()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_routers = std::make_unique<RouterFixture>(m_dir->path());
    QVERIFY(m_routers->start());
}

void TestMaintenanceActions::init()
{
    m_routers->reset();
    m_timing = {};
    m_timing.pause = 50ms;
    m_timing.waitLimit = 5s;
}

void TestMaintenanceActions::cleanupTestCase()
{
    m_routers.reset();
    m_dir.reset();
}

template<typename Action>
std::unique_ptr<Action> TestMaintenanceActions::make(const QString& restApiTimeout)
{
    auto action = std::make_unique<Action>(m_routers->device.data(), false, restApiTimeout);
    action->setTiming(m_timing);
    return action;
}

void TestMaintenanceActions::productionTimingByDefault()
{
    const OVUpdateRouterReboot action(m_routers->device.data(), true, QStringLiteral("7"));
    QCOMPARE(action.timing().pause, std::chrono::milliseconds(2000));
    QCOMPARE(action.timing().probeTimeout, QStringLiteral("3"));
    QCOMPARE(action.timing().waitLimit, std::chrono::milliseconds(600000));
    QCOMPARE(action.timing().transferTimeout, std::chrono::milliseconds(60000));
    QCOMPARE(action.status, OVUpdateRouterStatus::inactive);
    QCOMPARE(action.restApiTimeout, QStringLiteral("7"));
    QVERIFY(action.restApiValidSSL);
}

void TestMaintenanceActions::restartWaitsForTheRouter()
{
    QFETCH(QString, method);
    m_routers->useMethod(method);
    const auto action = make<OVUpdateRouterReboot>();
    const auto result = runBounded(action->run());
    QVERIFY(result.has_value());
    QVERIFY2(result->success, qPrintable(result->message));
    QCOMPARE(result->message, QStringLiteral("Success"));
    QCOMPARE(action->status, OVUpdateRouterStatus::done);
    QCOMPARE(m_routers->commands(), QStringList({"/system/reboot", "/system/routerboard"}));
}

void TestMaintenanceActions::failedRestartNeverProbes()
{
    QFETCH(QString, method);
    m_routers->useMethod(method);
    m_routers->failCommand(QStringLiteral("/system/reboot"));
    const auto action = make<OVUpdateRouterReboot>();
    const auto result = runBounded(action->run());
    QVERIFY(result.has_value());
    QVERIFY(!result->success);
    QVERIFY(!result->message.isEmpty());
    QCOMPARE(action->status, OVUpdateRouterStatus::applying);
    QTest::qWait(3 * static_cast<int>(m_timing.pause.count()));
    QCOMPARE(m_routers->commands(), QStringList({"/system/reboot"}));
}

void TestMaintenanceActions::shutdownReturnsAfterOnePause()
{
    QFETCH(QString, method);
    m_routers->useMethod(method);
    m_timing.pause = 300ms;
    const auto action = make<OVUpdateRouterShutdown>();
    QElapsedTimer clock;
    clock.start();
    const auto result = runBounded(action->run());
    QVERIFY(result.has_value());
    QVERIFY2(result->success, qPrintable(result->message));
    QCOMPARE(result->message, QStringLiteral("Success"));
    QCOMPARE(action->status, OVUpdateRouterStatus::done);
    QVERIFY(clock.elapsed() >= 300);
    QCOMPARE(m_routers->commands(), QStringList({"/system/shutdown"}));
}

void TestMaintenanceActions::pauseIsNeverShorterThanAsked()
{
    // Qt's default timers may fire up to 5% early; a pause must last at least what it was asked
    // for, whatever phase of the clock it starts in.
    for (const auto pause : {301ms, 257ms, 333ms, 120ms, 499ms, 211ms}) {
        m_timing.pause = pause;
        const auto action = make<OVUpdateRouterShutdown>();
        QElapsedTimer clock;
        clock.start();
        const auto result = runBounded(action->waitForDevice(true));
        const qint64 elapsed = clock.nsecsElapsed();
        QVERIFY(result.has_value());
        QCOMPARE(result->message, QStringLiteral("Success"));
        QVERIFY2(elapsed >= std::chrono::nanoseconds(pause).count(),
            qPrintable(QStringLiteral("%1 ns for a pause of %2 ms").arg(elapsed).arg(pause.count())));
    }
}

void TestMaintenanceActions::routerBootUpgradeThenRestart_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("failing");
    QTest::addColumn<QStringList>("commands");
    const QStringList all {"/system/routerboard/upgrade", "/system/reboot", "/system/routerboard"};
    for (const QString method : {"REST", "API"}) {
        QTest::addRow("%s succeeds", qPrintable(method)) << method << QString() << all;
        QTest::addRow("%s upgrade fails", qPrintable(method))
            << method << "/system/routerboard/upgrade" << all.mid(0, 1);
        QTest::addRow("%s restart fails", qPrintable(method)) << method << "/system/reboot" << all.mid(0, 2);
    }
}

void TestMaintenanceActions::routerBootUpgradeThenRestart()
{
    QFETCH(QString, method);
    QFETCH(QString, failing);
    QFETCH(QStringList, commands);
    m_routers->useMethod(method);
    if (!failing.isEmpty())
        m_routers->failCommand(failing);
    const auto action = make<OVUpdateRouterBOOT>();
    const auto result = runBounded(action->run());
    QVERIFY(result.has_value());
    QCOMPARE(result->success, failing.isEmpty());
    QCOMPARE(action->status, failing.isEmpty() ? OVUpdateRouterStatus::done : OVUpdateRouterStatus::applying);
    QTest::qWait(3 * static_cast<int>(m_timing.pause.count()));
    QCOMPARE(m_routers->commands(), commands);
}

void TestMaintenanceActions::waitProbesUntilTheRouterAnswers()
{
    QFETCH(QString, method);
    m_routers->useMethod(method);
    m_routers->failCommand(QStringLiteral("/system/routerboard"));
    const auto action = make<OVUpdateRouterReboot>();
    auto result = std::make_shared<std::optional<ValidateReturn>>();
    auto running = action->waitForDevice(false).then([result](ValidateReturn value) { *result = value; });

    // The router stays away for a few probes, then comes back.
    QTRY_VERIFY_WITH_TIMEOUT(m_routers->commands().size() >= 3, 10000);
    QVERIFY(!result->has_value());
    m_routers->clearFailures();
    QTRY_VERIFY_WITH_TIMEOUT(result->has_value(), 10000);
    QVERIFY((*result)->success);
    QCOMPARE((*result)->message, QStringLiteral("Success"));
    QCOMPARE(action->status, OVUpdateRouterStatus::done);
    for (const QString& command : m_routers->commands())
        QCOMPARE(command, QStringLiteral("/system/routerboard"));
}

void TestMaintenanceActions::waitGivesUpAfterItsBound()
{
    // Nothing listens on this port any more: every probe is refused at once.
    quint16 closedPort = 0;
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        closedPort = server.serverPort();
    }
    m_routers->device->setPort(QString::number(closedPort));
    m_timing.waitLimit = 400ms;
    const auto action = make<OVUpdateRouterReboot>();
    QElapsedTimer clock;
    clock.start();
    const auto result = runBounded(action->waitForDevice(false));
    QVERIFY(result.has_value());
    QVERIFY(!result->success);
    // The message names the bound really used, and the wait has ended like any other.
    QCOMPARE(result->message, QStringLiteral("The device did not respond within 400 milliseconds"));
    QVERIFY(clock.elapsed() >= 400);
    QVERIFY(clock.elapsed() < 5000);
    QCOMPARE(action->status, OVUpdateRouterStatus::done);
}

void TestMaintenanceActions::probeUsesItsOwnTimeout()
{
    // A router that takes requests and never answers: each probe lasts its own time-out, not the
    // (much longer) setting the action was made with.
    QFETCH(QString, method);
    m_routers->useMethod(method);
    HttpReply silent;
    silent.silent = true;
    m_routers->rest.script(QStringLiteral("/system/routerboard"), silent);
    m_routers->api.setReply(QStringLiteral("/system/routerboard/print"), FakeApiReply {{}, {}, true, false});
    m_timing.probeTimeout = QStringLiteral("1");
    m_timing.waitLimit = 200ms;
    const auto action = make<OVUpdateRouterReboot>(QStringLiteral("60"));
    QElapsedTimer clock;
    clock.start();
    const auto result = runBounded(action->waitForDevice(false), 20000);
    QVERIFY(result.has_value());
    QVERIFY(!result->success);
    QVERIFY(clock.elapsed() >= 1000);
    QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(m_routers->commands(), QStringList({"/system/routerboard"}));
}

void TestMaintenanceActions::probeChoosesApiUnlessExactlyRest_data()
{
    QTest::addColumn<std::optional<QString>>("method");
    QTest::newRow("lower-case rest") << std::optional<QString>("rest");
    QTest::newRow("empty") << std::optional<QString>("");
    QTest::newRow("never set") << std::optional<QString>();
}

void TestMaintenanceActions::probeChoosesApiUnlessExactlyRest()
{
    QFETCH(std::optional<QString>, method);
    m_routers->useMethod(QStringLiteral("API"));
    m_routers->device->setControlMethod(method);
    const auto action = make<OVUpdateRouterReboot>();
    const auto result = runBounded(action->waitForDevice(false));
    QVERIFY(result.has_value());
    QVERIFY(result->success);
    QCOMPARE(m_routers->commands(), QStringList({"/system/routerboard"}));
    QVERIFY(m_routers->rest.requests().isEmpty());
}

void TestMaintenanceActions::cancellingEndsTheWait()
{
    const auto action = make<OVUpdateRouterReboot>();
    action->status = OVUpdateRouterStatus::cancelling;
    const auto result = runBounded(action->waitForDevice(false));
    QVERIFY(result.has_value());
    QVERIFY(result->success);
    QCOMPARE(result->message, QStringLiteral("Cancelled"));
    QCOMPARE(action->status, OVUpdateRouterStatus::done);
    QVERIFY(m_routers->commands().isEmpty());
}

void TestMaintenanceActions::deletedDeviceEndsTheAction()
{
    // The router never comes back; the user deletes the device while the action waits.
    m_routers->failCommand(QStringLiteral("/system/routerboard"));
    m_timing.pause = 100ms;
    const auto action = make<OVUpdateRouterReboot>();
    auto result = std::make_shared<std::optional<ValidateReturn>>();
    auto running = action->run().then([result](ValidateReturn value) { *result = value; });
    QTRY_VERIFY_WITH_TIMEOUT(m_routers->commands().contains(QStringLiteral("/system/routerboard")), 10000);
    m_routers->store.deleteDevice(m_routers->device.data());
    QVERIFY(m_routers->store.save());
    QTRY_VERIFY_WITH_TIMEOUT(result->has_value(), 10000);
    QVERIFY(!(*result)->success);
    QCOMPARE((*result)->message, QStringLiteral("The device was deleted while the action was running"));
    QVERIFY(m_routers->device.isNull());
}

ORVANTA_TEST_MAIN(TestMaintenanceActions)
#include "tst_actions.moc"
