#include "model/Device.h"
#include "model/PersistenceController.h"
#include "support/FakeApiRouter.h"
#include "support/LocalPorts.h"
#include "support/RouterData.h"
#include "support/RouterDevice.h"
#include "support/TestMain.h"
#include "views/DeviceView.h"
#include "views/DeviceViewConfig.h"
#include "views/DeviceViewInfo.h"
#include "views/DeviceViewInfoCharts.h"
#include "views/DeviceViewInfoHealth.h"
#include "views/EditingState.h"
#include "widgets/AppState.h"
#include "widgets/OVButton.h"
#include "widgets/OVMessageError.h"
#include "widgets/OVMessageInfo.h"
#include "widgets/Settings.h"

#include <QLabel>
#include <QTemporaryDir>

class TestDeviceView : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void placeholderWithoutAddressAndEditingHidesInformation();
    void settingsShowAndHidePanels();
    void statusLineShowsErrorThenFirstBusyFlag_data();
    void statusLineShowsErrorThenFirstBusyFlag();
    void buttonsDisabledWhileAnyFlagIsSet();
    void statusLineStandsCentredUnderThePanel();
    void failedRebootShowsItsMessageAndEnablesButtons();
    void shutdownEndsWithoutRefresh();

private:
    Device* makeDevice(quint16 port);

    QTemporaryDir m_dir;
    std::unique_ptr<PersistenceController> m_store;
    AppState m_state;
    EditingState m_editing;
    int m_counter = 0;
};

void TestDeviceView::init()
{
    m_store = std::make_unique<PersistenceController>(m_dir.filePath(QString("view%1.sqlite").arg(++m_counter)));
    Settings::instance().setDisplayDeviceHealth(true);
    Settings::instance().setDisplayDeviceOsMetrics(true);
    m_editing.setValue(false);
}

void TestDeviceView::cleanup()
{
    m_store.reset();
}

Device* TestDeviceView::makeDevice(quint16 port)
{
    Device* device = RouterDevice::insert(*m_store, QStringLiteral("API"), port);
    m_store->saveOrDie();
    return device;
}

void TestDeviceView::placeholderWithoutAddressAndEditingHidesInformation()
{
    Device* bare = m_store->insertDevice();
    DeviceView empty(bare, m_state, m_editing);
    empty.show();
    QVERIFY(empty.findChild<QLabel*>("placeholderLabel")->isVisible());
    QCOMPARE(empty.findChild<QLabel*>("placeholderLabel")->text(), QStringLiteral("Please add or select a device"));

    Device* device = makeDevice(1);
    DeviceView view(device, m_state, m_editing);
    view.show();
    QVERIFY(!view.findChild<QLabel*>("placeholderLabel")->isVisible());
    QVERIFY(view.findChild<DeviceViewConfig*>()->isVisible());
    QVERIFY(view.findChild<DeviceViewInfo*>()->isVisible());
    m_editing.setValue(true);
    QVERIFY(view.findChild<DeviceViewConfig*>()->isVisible());
    QVERIFY(!view.findChild<DeviceViewInfo*>()->isVisible());
    m_editing.setValue(false);
    QVERIFY(view.findChild<DeviceViewInfo*>()->isVisible());
}

void TestDeviceView::settingsShowAndHidePanels()
{
    Device* device = makeDevice(1);
    DeviceViewInfo info(device, m_state);
    info.show();
    auto* health = info.findChild<DeviceViewInfoHealth*>();
    auto* charts = info.findChild<DeviceViewInfoCharts*>();
    QVERIFY(health->isVisible());
    QVERIFY(charts->isVisible());
    Settings::instance().setDisplayDeviceHealth(false);
    QVERIFY(!health->isVisible());
    QVERIFY(charts->isVisible());
    Settings::instance().setDisplayDeviceOsMetrics(false);
    QVERIFY(!charts->isVisible());
    Settings::instance().setDisplayDeviceHealth(true);
    Settings::instance().setDisplayDeviceOsMetrics(true);
    QVERIFY(health->isVisible());
    QVERIFY(charts->isVisible());
}

void TestDeviceView::statusLineShowsErrorThenFirstBusyFlag_data()
{
    QTest::addColumn<QString>("error");
    QTest::addColumn<QStringList>("flags");
    QTest::addColumn<QString>("shown");

    QTest::newRow("nothing") << QString() << QStringList() << QString();
    QTest::newRow("refreshing") << QString() << QStringList {"refreshing"} << "Refreshing device information...";
    QTest::newRow("error hides busy") << "Error during login: " << QStringList {"refreshing", "rebooting"}
                                      << "Error during login: ";
    QTest::newRow("os upgrade before restart")
        << QString() << QStringList {"upgradingRouterOS", "rebooting"} << "Updating RouterOS...";
    QTest::newRow("boot before os") << QString() << QStringList {"upgradingRouterBOOT", "upgradingRouterOS"}
                                    << "Updating RouterBOOT...";
    QTest::newRow("restart") << QString() << QStringList {"rebooting", "shuttingdown"} << "Restarting device...";
    QTest::newRow("shut-down") << QString() << QStringList {"shuttingdown"} << "Shutting down device...";
}

void TestDeviceView::statusLineShowsErrorThenFirstBusyFlag()
{
    QFETCH(QString, error);
    QFETCH(QStringList, flags);
    QFETCH(QString, shown);
    Device* device = makeDevice(1);
    DeviceViewInfo info(device, m_state);
    info.show();
    QCOMPARE(info.statusText(), QString());
    device->setError(error);
    device->setRefreshing(flags.contains("refreshing"));
    device->setUpgradingRouterBOOT(flags.contains("upgradingRouterBOOT"));
    device->setUpgradingRouterOS(flags.contains("upgradingRouterOS"));
    device->setRebooting(flags.contains("rebooting"));
    device->setShuttingdown(flags.contains("shuttingdown"));
    QCOMPARE(info.statusText(), shown);
    // Clearing everything removes the line again.
    device->setError(QString());
    device->setRefreshing(false);
    device->setUpgradingRouterBOOT(false);
    device->setUpgradingRouterOS(false);
    device->setRebooting(false);
    device->setShuttingdown(false);
    QCOMPARE(info.statusText(), QString());
}

void TestDeviceView::buttonsDisabledWhileAnyFlagIsSet()
{
    Device* device = makeDevice(1);
    DeviceViewInfo info(device, m_state);
    info.show();
    auto* reboot = info.findChild<OVButton*>("rebootButton");
    auto* shutdown = info.findChild<OVButton*>("shutdownButton");
    QVERIFY(reboot->isEnabledTo(&info) && shutdown->isEnabledTo(&info));
    device->setRefreshing(true);
    QVERIFY(!device->isBusyLite());
    QVERIFY(!reboot->isEnabledTo(&info) && !shutdown->isEnabledTo(&info));
    device->setRefreshing(false);
    device->setUpgradingRouterBOOT(true);
    QVERIFY(!reboot->isEnabledTo(&info));
    device->setUpgradingRouterBOOT(false);
    QVERIFY(reboot->isEnabledTo(&info) && shutdown->isEnabledTo(&info));
}

void TestDeviceView::statusLineStandsCentredUnderThePanel()
{
    Device* device = makeDevice(1);
    DeviceViewInfo info(device, m_state);
    info.resize(900, 500);
    info.show();
    QVERIFY(QTest::qWaitForWindowExposed(&info));
    auto* panel = info.findChild<QWidget*>("infoPanel");
    const auto centreOf
        = [&info](QWidget* widget) { return widget->mapTo(&info, QPoint(0, 0)).x() + widget->width() / 2; };

    device->setRebooting(true);
    QTRY_VERIFY(info.findChild<OVMessageInfo*>("statusInfoMessage"));
    auto* busy = info.findChild<OVMessageInfo*>("statusInfoMessage");
    QTRY_VERIFY(busy->isVisible());
    QVERIFY(busy->width() < panel->width() / 2);
    QVERIFY2(qAbs(centreOf(busy) - centreOf(panel)) <= 2,
        qPrintable(QStringLiteral("%1 vs %2").arg(centreOf(busy)).arg(centreOf(panel))));
    QVERIFY(busy->mapTo(&info, QPoint(0, 0)).y() >= panel->mapTo(&info, QPoint(0, panel->height())).y());

    device->setError(QStringLiteral("Error during login: "));
    QTRY_VERIFY(info.findChild<OVMessageError*>("statusErrorMessage"));
    auto* error = info.findChild<OVMessageError*>("statusErrorMessage");
    QTRY_VERIFY(error->isVisible());
    QVERIFY2(qAbs(centreOf(error) - centreOf(panel)) <= 2,
        qPrintable(QStringLiteral("%1 vs %2").arg(centreOf(error)).arg(centreOf(panel))));
}

void TestDeviceView::failedRebootShowsItsMessageAndEnablesButtons()
{
    // A port nobody listens on: the restart command fails at connect, possibly before the click
    // has even returned. So the test records what the panel shows at every change of the device
    // and reads the record afterwards, instead of looking at the device right after the click.
    Device* device = makeDevice(LocalPorts::closed());
    device->setError(QStringLiteral("an older message"));
    DeviceViewInfo info(device, m_state);
    info.show();
    auto* reboot = info.findChild<OVButton*>("rebootButton");
    QStringList shown;
    connect(device, &Device::changed, &info, [&] {
        const QString now
            = info.statusText() + (reboot->isEnabledTo(&info) ? QString() : QStringLiteral(" [no buttons]"));
        if (shown.isEmpty() || shown.last() != now)
            shown << now;
    });
    reboot->click();
    QTRY_VERIFY_WITH_TIMEOUT(!device->rebooting() && !device->error().value_or(QString()).isEmpty(), 15000);

    const QString message = device->error().value();
    QCOMPARE(info.statusText(), message);
    QVERIFY(reboot->isEnabledTo(&info));
    QVERIFY(!device->refreshing());
    // The old message went first, then the restart showed with the buttons off, then its failure.
    QVERIFY2(!shown.isEmpty() && shown.first().isEmpty(), qPrintable(shown.join(" | ")));
    const qsizetype restarting = shown.indexOf(QStringLiteral("Restarting device... [no buttons]"));
    QVERIFY2(restarting >= 0, qPrintable(shown.join(" | ")));
    QCOMPARE(shown.last(), message);
    QVERIFY(!shown.mid(0, restarting).contains(message));
}

void TestDeviceView::shutdownEndsWithoutRefresh()
{
    FakeApiRouter router(RouterData::typical());
    QVERIFY(router.start());
    Device* device = makeDevice(router.port());
    DeviceViewInfo info(device, m_state);
    info.show();
    info.findChild<OVButton*>("shutdownButton")->click();
    QVERIFY(device->shuttingdown());
    QCOMPARE(info.statusText(), QStringLiteral("Shutting down device..."));
    QTRY_VERIFY_WITH_TIMEOUT(!device->shuttingdown(), 15000);
    QCOMPARE(device->error(), std::optional<QString>(QString()));
    QVERIFY(router.receivedWords().contains("/system/shutdown"));
    QTest::qWait(200);
    QVERIFY(!device->refreshing());
    QVERIFY(!router.receivedWords().contains("/system/resource/print"));
}

ORVANTA_WIDGET_TEST_MAIN(TestDeviceView)
#include "tst_deviceview.moc"
