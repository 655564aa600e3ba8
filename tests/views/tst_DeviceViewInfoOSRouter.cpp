#include "support/TestMain.h"

#include "model/Device.h"
#include "model/PersistenceController.h"
#include "model/Secrets.h"
#include "support/FakeRestRouter.h"
#include "support/HttpsServer.h"
#include "support/RouterDevice.h"
#include "support/ShownWidgets.h"
#include "views/DeviceViewInfoCharts.h"
#include "views/DeviceViewInfoHealth.h"
#include "views/DeviceViewInfoOS.h"
#include "widgets/AppState.h"
#include "widgets/OVButton.h"
#include "widgets/OVButtonUpdate.h"
#include "widgets/SystemColors.h"

#include <QChart>
#include <QChartView>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

using Text = DeviceViewInfoOS::Text;

// The operating-system panel against a fake router over REST: refresh, cancel, updates.
class TestDeviceViewInfoOSRouter : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void refreshFromTheRouter();
    void cancelStopsTheRefreshAfterItsCommand();
    void refreshOutlivesThePanel();
    void routerBOOTUpdateEndsInRefresh();
    void failedRouterOSUpdateShowsItsMessage();
    void panelsShowARefreshedDevice();

private:
    Device* routerDevice(const FakeRestRouter& router);
    static bool requested(const FakeRestRouter& router, const QByteArray& path);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<PersistenceController> m_store;
    std::unique_ptr<AppState> m_appState;
};

void TestDeviceViewInfoOSRouter::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_store = std::make_unique<PersistenceController>(m_dir->filePath("Orvanta.sqlite"));
    m_appState = std::make_unique<AppState>();
}

void TestDeviceViewInfoOSRouter::cleanup()
{
    m_appState.reset();
    m_store.reset();
    m_dir.reset();
}

Device* TestDeviceViewInfoOSRouter::routerDevice(const FakeRestRouter& router)
{
    return RouterDevice::insert(*m_store, QStringLiteral("REST"), router.port());
}

bool TestDeviceViewInfoOSRouter::requested(const FakeRestRouter& router, const QByteArray& path)
{
    const auto requests = router.requests();
    return std::any_of(requests.cbegin(), requests.cend(),
        [&path](const HttpRequestRecord& request) { return request.path == "/rest" + path; });
}

void TestDeviceViewInfoOSRouter::refreshFromTheRouter()
{
    FakeRestRouter router;
    QVERIFY(router.listen());
    Device* device = routerDevice(router);
    device->setError(QStringLiteral("earlier failure"));
    m_appState->setCurrentRouterOS(QStringLiteral("7.13"));
    DeviceViewInfoOS panel(device, m_appState.get());
    auto* refresh = panel.findChild<OVButton*>("refreshButton");

    refresh->click();
    QVERIFY(device->refreshing());
    QVERIFY(device->refreshTask());
    QCOMPARE(device->error(), Text(QString()));
    QCOMPARE(refresh->text(), QStringLiteral("Cancel Refresh"));
    QVERIFY(panel.findChild<QLabel*>("updatedLabel")->isHidden());

    QTRY_VERIFY_WITH_TIMEOUT(!device->refreshing(), 15000);
    QCOMPARE(device->error(), Text(QString()));
    QVERIFY(device->lastupdated().has_value());
    QCOMPARE(refresh->text(), QStringLiteral("Refresh"));
    QCOMPARE(panel.findChild<QLabel*>("routerOSVersionLabel")->text(), QStringLiteral("7.12"));
    QCOMPARE(panel.findChild<OVButtonUpdate*>("routerOSUpdateButton")->text(), QStringLiteral("Update to 7.13"));
    QCOMPARE(panel.findChild<QLabel*>("routerBOOTVersionLabel")->text(), QStringLiteral("7.11"));
    QCOMPARE(panel.findChild<OVButtonUpdate*>("routerBOOTUpdateButton")->text(), QStringLiteral("Update to 7.12"));
    auto* updated = panel.findChild<QLabel*>("updatedLabel");
    QVERIFY(!updated->isHidden());
    QCOMPARE(updated->text(), QStringLiteral("Updated ") + device->dateAsString());
    QVERIFY(!updated->text().endsWith(QStringLiteral("Never")));

    const auto items = device->healthArray();
    QCOMPARE(items.size(), 4);
    QCOMPARE(items.at(1).name, QStringLiteral("cpu-temperature"));

    // A router that turns the credentials away: the message lands in the device's error.
    device->setPassword(QCoro::waitFor(Secrets::encrypt(QStringLiteral("wrong"))));
    refresh->click();
    QTRY_VERIFY_WITH_TIMEOUT(!device->refreshing(), 15000);
    QVERIFY(!device->error().value_or(QString()).isEmpty());
    QCOMPARE(device->healthArray().size(), 4);
}

void TestDeviceViewInfoOSRouter::cancelStopsTheRefreshAfterItsCommand()
{
    FakeRestRouter router;
    QVERIFY(router.listen());
    Device* device = routerDevice(router);
    DeviceViewInfoOS panel(device, m_appState.get());
    auto* refresh = panel.findChild<OVButton*>("refreshButton");

    refresh->click();
    QVERIFY(device->refreshing());
    const auto handle = device->refreshTask();
    refresh->click();
    QVERIFY(handle->isCancelled());
    QVERIFY(!device->refreshing());
    QCOMPARE(refresh->text(), QStringLiteral("Refresh"));

    // The command in flight still lands; the refresh stops right after it.
    QTRY_VERIFY_WITH_TIMEOUT(device->cpuLoad().has_value(), 15000);
    QCoreApplication::processEvents();
    QVERIFY(!requested(router, "/system/package"));
    QVERIFY(!device->refreshing());
    QVERIFY(!device->lastupdated().has_value());
    QVERIFY(!device->health().has_value());
    QCOMPARE(device->error(), Text(QString()));
}

void TestDeviceViewInfoOSRouter::refreshOutlivesThePanel()
{
    FakeRestRouter router;
    QVERIFY(router.listen());
    Device* device = routerDevice(router);
    auto panel = std::make_unique<DeviceViewInfoOS>(device, m_appState.get());
    panel->findChild<OVButton*>("refreshButton")->click();
    panel.reset();

    QTRY_VERIFY_WITH_TIMEOUT(!device->refreshing(), 15000);
    QVERIFY(device->lastupdated().has_value());
    QCOMPARE(device->healthArray().size(), 4);
}

void TestDeviceViewInfoOSRouter::routerBOOTUpdateEndsInRefresh()
{
    FakeRestRouter router;
    QVERIFY(router.listen());
    Device* device = routerDevice(router);
    device->setCurrentRouterBOOT(QStringLiteral("7.11"));
    device->setUpgradeRouterBOOT(QStringLiteral("7.12"));
    DeviceViewInfoOS panel(device, m_appState.get());
    panel.show();

    auto* offer = panel.findChild<OVButtonUpdate*>("routerBOOTUpdateButton");
    QVERIFY(offer);
    QTest::mouseClick(offer, Qt::LeftButton, {}, offer->rect().center());
    QVERIFY(device->upgradingRouterBOOT());
    QVERIFY(panel.findChildren<OVButtonUpdate*>().isEmpty());
    QVERIFY(!panel.findChild<OVButton*>("refreshButton")->isEnabled());

    // Upgrade, restart, wait for the router, then the refresh that follows a success.
    QTRY_VERIFY_WITH_TIMEOUT(device->lastupdated().has_value() && !device->refreshing(), 30000);
    QVERIFY(!device->upgradingRouterBOOT());
    QVERIFY(requested(router, "/system/routerboard/upgrade"));
    QVERIFY(requested(router, "/system/reboot"));
    QCOMPARE(device->error(), Text(QString()));
    QCOMPARE(device->healthArray().size(), 4);
    QVERIFY(panel.findChild<OVButton*>("refreshButton")->isEnabled());
}

void TestDeviceViewInfoOSRouter::failedRouterOSUpdateShowsItsMessage()
{
    FakeRestRouter router;
    QVERIFY(router.listen());
    HttpsServer downloads(router.certificates());
    QVERIFY(downloads.listen());
    m_appState->setDownloadServer(downloads.baseUrl());
    m_appState->setCurrentRouterOS(QStringLiteral("7.13"));
    QVERIFY(QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + "/RouterOS"));

    Device* device = routerDevice(router);
    device->setArch(QStringLiteral("arm64"));
    device->setVersionRouterOS(QStringLiteral("7.12"));
    DeviceViewInfoOS panel(device, m_appState.get());
    panel.show();
    auto* offer = panel.findChild<OVButtonUpdate*>("routerOSUpdateButton");
    QVERIFY(offer);
    QTest::mouseClick(offer, Qt::LeftButton, {}, offer->rect().center());
    QVERIFY(device->upgradingRouterOS());

    // The package is not on the download server: the failure is shown and no refresh follows.
    QTRY_VERIFY_WITH_TIMEOUT(!device->upgradingRouterOS(), 30000);
    QVERIFY(!device->error().value_or(QString()).isEmpty());
    QVERIFY(!device->refreshing());
    QVERIFY(!device->lastupdated().has_value());
    QVERIFY(!requested(router, "/system/reboot"));
    QVERIFY(panel.findChild<OVButtonUpdate*>("routerOSUpdateButton"));
}

void TestDeviceViewInfoOSRouter::panelsShowARefreshedDevice()
{
    FakeRestRouter router;
    QVERIFY(router.listen());
    Device* device = routerDevice(router);
    m_appState->setCurrentRouterOS(QStringLiteral("7.12"));

    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* left = new QVBoxLayout;
    auto* os = new DeviceViewInfoOS(device, m_appState.get());
    left->addWidget(os);
    left->addWidget(new DeviceViewInfoHealth(device));
    left->addStretch(1);
    layout->addLayout(left);
    auto* right = new QVBoxLayout;
    right->addWidget(new DeviceViewInfoCharts(device));
    right->addStretch(1);
    layout->addLayout(right, 1);
    window.resize(760, 300);
    window.show();

    os->findChild<OVButton*>("refreshButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!device->refreshing(), 15000);
    QCOMPARE(window.findChildren<QLabel*>("healthTextLabel").size(), 4);
    QCOMPARE(window.findChild<QLabel*>("routerOSOfferLabel")->text(), QStringLiteral("Up to date"));
    auto* cpu = window.findChild<QChartView*>("cpuChartView");
    QCOMPARE(cpu->chart()->axes(Qt::Vertical).constFirst()->property("categories").toStringList(),
        QStringList {"CPU: 12.0% used"});

    // What a person sees: versions, the offer, the four readings and the three charts, whole and apart.
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const ShownWidgets panels(&window);
    QVERIFY(panels.save(QStringLiteral("device-panels.png")));
    QStringList expected = {"RouterOS:", "RouterBOOT:", "7.12", "Up to date", "Refresh"};
    for (QLabel* health : window.findChildren<QLabel*>("healthTextLabel")) {
        QVERIFY(!health->text().isEmpty());
        expected << health->text();
    }
    const QString problems = panels.problems(expected);
    QVERIFY2(problems.isEmpty(), qPrintable(problems));
    // Each chart draws its bars: the CPU's 12% in use in orange and the rest free in blue.
    for (const char* name : {"cpuChartView", "ramChartView", "diskChartView"}) {
        auto* chart = window.findChild<QChartView*>(name);
        QVERIFY2(panels.pixelsOf(chart, SystemColors::orange()) > 20, name);
        QVERIFY2(panels.pixelsOf(chart, SystemColors::blue()) > 20, name);
        // Its caption stands whole beside the bars.
        const QRect caption(0, 0, qRound(chart->chart()->plotArea().left()), chart->height());
        QVERIFY2(panels.inkOf(chart, caption) > 100, name);
    }
    QVERIFY(panels.pixelsOf(cpu, SystemColors::blue()) > 4 * panels.pixelsOf(cpu, SystemColors::orange()));
}

ORVANTA_WIDGET_TEST_MAIN(TestDeviceViewInfoOSRouter)
#include "tst_DeviceViewInfoOSRouter.moc"
