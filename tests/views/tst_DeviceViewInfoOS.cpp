#include "support/TestMain.h"

#include "model/Device.h"
#include "model/PersistenceController.h"
#include "views/DeviceViewInfoOS.h"
#include "widgets/AppState.h"
#include "widgets/OVButton.h"
#include "widgets/OVButtonUpdate.h"
#include "widgets/SystemColors.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using Text = DeviceViewInfoOS::Text;
using Row = DeviceViewInfoOS::Row;
using OfferKind = DeviceViewInfoOS::OfferKind;
Q_DECLARE_METATYPE(Text)
Q_DECLARE_METATYPE(Row)
Q_DECLARE_METATYPE(OfferKind)

class TestDeviceViewInfoOS : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void statusIcon_data();
    void statusIcon();
    void offer_data();
    void offer();
    void downgradeFlag_data();
    void downgradeFlag();

    void panelShowsVersionsAndOffers();
    void unknownVersionsShowNothingToJudge();
    void upgradingHidesOffersAndRefresh();
    void cancelWithoutRecordedTaskOnlyClearsError();
    void failedConstructionEndsQuietly();

private:
    Device* newDevice();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<PersistenceController> m_store;
    std::unique_ptr<AppState> m_appState;
};

void TestDeviceViewInfoOS::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_store = std::make_unique<PersistenceController>(m_dir->filePath("Orvanta.sqlite"));
    m_appState = std::make_unique<AppState>();
}

void TestDeviceViewInfoOS::cleanup()
{
    m_appState.reset();
    m_store.reset();
    m_dir.reset();
}

Device* TestDeviceViewInfoOS::newDevice()
{
    Device* device = m_store->insertDevice();
    device->setAddress(QStringLiteral("127.0.0.1"));
    return device;
}

void TestDeviceViewInfoOS::statusIcon_data()
{
    QTest::addColumn<Text>("mine");
    QTest::addColumn<Text>("reference");
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<QColor>("colour");
    const QString triangle = QStringLiteral("exclamationmark.triangle.fill");
    QTest::newRow("older") << Text("7.12") << Text("7.13") << triangle << SystemColors::red();
    QTest::newRow("same") << Text("7.13") << Text("7.13") << "checkmark.circle.fill" << SystemColors::green();
    QTest::newRow("newer") << Text("7.14") << Text("7.13") << triangle << SystemColors::yellow();
    QTest::newRow("newer beta") << Text("7.14beta2") << Text("7.13") << triangle << SystemColors::yellow();
    QTest::newRow("beta below release") << Text("7.13beta2") << Text("7.13") << triangle << SystemColors::red();
    QTest::newRow("two pre-releases") << Text("7.14rc1") << Text("7.14beta2") << triangle << SystemColors::yellow();
    QTest::newRow("mine absent") << Text() << Text("7.13") << QString() << QColor();
    QTest::newRow("mine Unknown") << Text("Unknown") << Text("7.13") << QString() << QColor();
    QTest::newRow("reference Unknown") << Text("7.13") << Text("Unknown") << QString() << QColor();
    QTest::newRow("reference absent") << Text("7.13") << Text() << QString() << QColor();
    // The gate is exact: a lower-case word is an (unreadable) version like any other.
    QTest::newRow("lower-case unknown") << Text("unknown") << Text("7.13") << triangle << SystemColors::red();
}

void TestDeviceViewInfoOS::statusIcon()
{
    QFETCH(Text, mine);
    QFETCH(Text, reference);
    QFETCH(QString, symbol);
    QFETCH(QColor, colour);
    const auto icon = DeviceViewInfoOS::statusIcon(mine, reference);
    QCOMPARE(icon.has_value(), !symbol.isEmpty());
    if (icon) {
        QCOMPARE(icon->symbol, symbol);
        QCOMPARE(icon->color, colour);
    }
}

void TestDeviceViewInfoOS::offer_data()
{
    QTest::addColumn<Row>("row");
    QTest::addColumn<Text>("mine");
    QTest::addColumn<Text>("reference");
    QTest::addColumn<bool>("upgrading");
    QTest::addColumn<OfferKind>("kind");
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("help");

    const Row os = Row::routerOS, boot = Row::routerBOOT;
    const QString up = QStringLiteral("arrow.up.circle"), back = QStringLiteral("backward.circle");
    QTest::newRow("os older") << os << Text("7.12") << Text("7.13") << false << OfferKind::update << up
                              << "Update to 7.13"
                              << "Update RouterOS on the device";
    QTest::newRow("os older while upgrading") << os << Text("7.12") << Text("7.13") << true << OfferKind::none << ""
                                              << ""
                                              << "";
    QTest::newRow("os same") << os << Text("7.13") << Text("7.13") << false << OfferKind::text << ""
                             << "Up to date"
                             << "";
    QTest::newRow("os same while upgrading") << os << Text("7.13") << Text("7.13") << true << OfferKind::text << ""
                                             << "Up to date"
                                             << "";
    QTest::newRow("os beta above release")
        << os << Text("7.14beta2") << Text("7.13") << false << OfferKind::move << back << "Move to release 7.13"
        << "Move RouterOS to the current stable version";
    QTest::newRow("os rc above release") << os << Text("7.14rc1") << Text("7.13") << false << OfferKind::move << back
                                         << "Move to release 7.13"
                                         << "Move RouterOS to the current stable version";
    QTest::newRow("os beta while upgrading") << os << Text("7.14beta2") << Text("7.13") << true << OfferKind::none << ""
                                             << ""
                                             << "";
    QTest::newRow("os newer release") << os << Text("7.14") << Text("7.13") << false << OfferKind::text << ""
                                      << "Newer than current"
                                      << "";
    QTest::newRow("os newer while upgrading") << os << Text("7.14") << Text("7.13") << true << OfferKind::text << ""
                                              << "Newer than current"
                                              << "";
    QTest::newRow("os two pre-releases") << os << Text("7.14rc1") << Text("7.14beta2") << false << OfferKind::text << ""
                                         << "Newer than current"
                                         << "";
    QTest::newRow("os beta below its release")
        << os << Text("7.13beta2") << Text("7.13") << false << OfferKind::update << up << "Update to 7.13"
        << "Update RouterOS on the device";
    QTest::newRow("os absent") << os << Text() << Text("7.13") << false << OfferKind::none << ""
                               << ""
                               << "";
    QTest::newRow("os release unknown") << os << Text("7.12") << Text("Unknown") << false << OfferKind::none << ""
                                        << ""
                                        << "";
    QTest::newRow("boot older") << boot << Text("7.11") << Text("7.12") << false << OfferKind::update << up
                                << "Update to 7.12"
                                << "Update RouterBOOT on the device";
    QTest::newRow("boot same") << boot << Text("7.12") << Text("7.12") << false << OfferKind::text << ""
                               << "Up to date"
                               << "";
    QTest::newRow("boot newer") << boot << Text("7.13") << Text("7.12") << false << OfferKind::text << ""
                                << "Newer than RouterOS"
                                << "";
    QTest::newRow("boot pre-release") << boot << Text("7.13rc1") << Text("7.12") << false << OfferKind::move << back
                                      << "Move to release 7.12"
                                      << "Move RouterBOOT to the available version";
    QTest::newRow("boot offered absent") << boot << Text("7.12") << Text() << false << OfferKind::none << ""
                                         << ""
                                         << "";
}

void TestDeviceViewInfoOS::offer()
{
    QFETCH(Row, row);
    QFETCH(Text, mine);
    QFETCH(Text, reference);
    QFETCH(bool, upgrading);
    QFETCH(OfferKind, kind);
    QFETCH(QString, symbol);
    QFETCH(QString, text);
    QFETCH(QString, help);
    const auto shown = DeviceViewInfoOS::offer(row, mine, reference, upgrading);
    QCOMPARE(shown.kind, kind);
    QCOMPARE(shown.symbol, symbol);
    QCOMPARE(shown.text, text);
    QCOMPARE(shown.helpText, help);
}

void TestDeviceViewInfoOS::downgradeFlag_data()
{
    QTest::addColumn<QString>("installed");
    QTest::addColumn<QString>("current");
    QTest::addColumn<bool>("downgrade");
    QTest::newRow("older release") << "7.12"
                                   << "7.13" << true;
    QTest::newRow("same release") << "7.13"
                                  << "7.13" << false;
    QTest::newRow("newer release") << "7.14"
                                   << "7.13" << false;
    QTest::newRow("beta above release") << "7.14beta2"
                                        << "7.13" << true;
    QTest::newRow("rc above release") << "7.14rc1"
                                      << "7.13" << true;
    QTest::newRow("beta below release") << "7.13beta2"
                                        << "7.13" << true;
}

void TestDeviceViewInfoOS::downgradeFlag()
{
    QFETCH(QString, installed);
    QFETCH(QString, current);
    QFETCH(bool, downgrade);
    QCOMPARE(DeviceViewInfoOS::downgradeFlag(installed, current), downgrade);
}

void TestDeviceViewInfoOS::panelShowsVersionsAndOffers()
{
    Device* device = newDevice();
    device->setVersionRouterOS(QStringLiteral("7.12"));
    device->setCurrentRouterBOOT(QStringLiteral("7.12"));
    device->setUpgradeRouterBOOT(QStringLiteral("7.12"));
    m_appState->setCurrentRouterOS(QStringLiteral("7.13"));
    DeviceViewInfoOS panel(device, m_appState.get());

    QCOMPARE(panel.findChild<QLabel*>("routerOSVersionLabel")->text(), QStringLiteral("7.12"));
    auto* osIcon = panel.findChild<QLabel*>("routerOSStatusIconLabel");
    QCOMPARE(osIcon->property("symbolName").toString(), QStringLiteral("exclamationmark.triangle.fill"));
    QCOMPARE(osIcon->property("symbolColor").value<QColor>(), SystemColors::red());
    auto* update = panel.findChild<OVButtonUpdate*>("routerOSUpdateButton");
    QVERIFY(update);
    QCOMPARE(update->text(), QStringLiteral("Update to 7.13"));
    QCOMPARE(update->systemName(), QStringLiteral("arrow.up.circle"));
    QCOMPARE(panel.findChild<QLabel*>("routerBOOTOfferLabel")->text(), QStringLiteral("Up to date"));
    QCOMPARE(panel.findChild<QLabel*>("routerBOOTStatusIconLabel")->property("symbolName").toString(),
        QStringLiteral("checkmark.circle.fill"));

    // The installed version moves past the release: the update gives way to the move offer.
    device->setVersionRouterOS(QStringLiteral("7.14beta2"));
    QVERIFY(!panel.findChild<OVButtonUpdate*>("routerOSUpdateButton"));
    auto* move = panel.findChild<OVButtonUpdate*>("routerOSMoveButton");
    QVERIFY(move);
    QCOMPARE(move->text(), QStringLiteral("Move to release 7.13"));
    QCOMPARE(move->helpText(), QStringLiteral("Move RouterOS to the current stable version"));
    QCOMPARE(osIcon->property("symbolColor").value<QColor>(), SystemColors::yellow());

    // A new latest release is redrawn at once.
    m_appState->setCurrentRouterOS(QStringLiteral("7.14beta2"));
    QVERIFY(!panel.findChild<OVButtonUpdate*>("routerOSMoveButton"));
    QCOMPARE(panel.findChild<QLabel*>("routerOSOfferLabel")->text(), QStringLiteral("Up to date"));
    QVERIFY(!panel.findChild<QLabel*>("routerOSOfferLabel")->isHidden());

    m_appState->setCurrentRouterOS(QStringLiteral("7.13"));
    device->setVersionRouterOS(QStringLiteral("7.14"));
    QCOMPARE(panel.findChild<QLabel*>("routerOSOfferLabel")->text(), QStringLiteral("Newer than current"));
}

void TestDeviceViewInfoOS::unknownVersionsShowNothingToJudge()
{
    Device* device = newDevice();
    device->setUpgradeRouterBOOT(QStringLiteral("Unknown"));
    device->setCurrentRouterBOOT(QStringLiteral("7.12"));
    DeviceViewInfoOS panel(device, m_appState.get());

    QCOMPARE(panel.findChild<QLabel*>("routerOSVersionLabel")->text(), QStringLiteral("Unknown"));
    QCOMPARE(panel.findChild<QLabel*>("routerBOOTVersionLabel")->text(), QStringLiteral("7.12"));
    for (const char* prefix : {"routerOS", "routerBOOT"}) {
        const QString name = QLatin1String(prefix);
        auto* icon = panel.findChild<QLabel*>(name + "StatusIconLabel");
        QVERIFY(icon->property("symbolName").toString().isEmpty());
        QVERIFY(icon->pixmap().isNull());
        QVERIFY(panel.findChild<QLabel*>(name + "OfferLabel")->isHidden());
        QVERIFY(panel.findChildren<OVButtonUpdate*>().isEmpty());
    }

    // A device never refreshed says so.
    auto* updated = panel.findChild<QLabel*>("updatedLabel");
    QCOMPARE(updated->text(), QStringLiteral("Updated Never"));
    QVERIFY(!updated->isHidden());
    QVERIFY(panel.findChild<QWidget*>("refreshProgressWidget")->isHidden());
}

void TestDeviceViewInfoOS::upgradingHidesOffersAndRefresh()
{
    Device* device = newDevice();
    device->setVersionRouterOS(QStringLiteral("7.12"));
    device->setCurrentRouterBOOT(QStringLiteral("7.11"));
    device->setUpgradeRouterBOOT(QStringLiteral("7.12"));
    m_appState->setCurrentRouterOS(QStringLiteral("7.13"));
    DeviceViewInfoOS panel(device, m_appState.get());
    auto* refresh = panel.findChild<OVButton*>("refreshButton");
    QVERIFY(refresh->isEnabled());
    QVERIFY(panel.findChild<OVButtonUpdate*>("routerOSUpdateButton"));
    QVERIFY(panel.findChild<OVButtonUpdate*>("routerBOOTUpdateButton"));

    // Either upgrade hides both offers and blocks the refresh control.
    device->setUpgradingRouterBOOT(true);
    QVERIFY(panel.findChildren<OVButtonUpdate*>().isEmpty());
    QVERIFY(!refresh->isEnabled());
    QVERIFY(!panel.findChild<QWidget*>("refreshProgressWidget")->isHidden());
    QVERIFY(panel.findChild<QLabel*>("updatedLabel")->isHidden());

    // Texts that are no offers stay.
    device->setVersionRouterOS(QStringLiteral("7.13"));
    QCOMPARE(panel.findChild<QLabel*>("routerOSOfferLabel")->text(), QStringLiteral("Up to date"));
    QVERIFY(!panel.findChild<QLabel*>("routerOSOfferLabel")->isHidden());

    device->setUpgradingRouterBOOT(false);
    QVERIFY(refresh->isEnabled());
    QVERIFY(panel.findChild<OVButtonUpdate*>("routerBOOTUpdateButton"));

    // A refresh alone keeps the control usable, so that it can be cancelled.
    device->setRefreshing(true);
    QVERIFY(refresh->isEnabled());
    QCOMPARE(refresh->text(), QStringLiteral("Cancel Refresh"));
    QCOMPARE(refresh->helpText(), QStringLiteral("Cancel device information refresh"));
    QVERIFY(!panel.findChild<QWidget*>("refreshProgressWidget")->isHidden());
}

void TestDeviceViewInfoOS::cancelWithoutRecordedTaskOnlyClearsError()
{
    Device* device = newDevice();
    device->setRefreshing(true);
    device->setError(QStringLiteral("earlier failure"));
    DeviceViewInfoOS panel(device, m_appState.get());
    auto* refresh = panel.findChild<OVButton*>("refreshButton");
    QCOMPARE(refresh->text(), QStringLiteral("Cancel Refresh"));
    refresh->click();
    QCOMPARE(device->error(), Text(QString()));
    QVERIFY(device->refreshing());
    QCOMPARE(refresh->text(), QStringLiteral("Cancel Refresh"));
}

void TestDeviceViewInfoOS::failedConstructionEndsQuietly()
{
    // No architecture known: the action cannot be made; the flag clears and nothing else happens.
    Device* device = newDevice();
    device->setVersionRouterOS(QStringLiteral("7.12"));
    device->setError(QStringLiteral("earlier failure"));
    m_appState->setCurrentRouterOS(QStringLiteral("7.13"));
    DeviceViewInfoOS panel(device, m_appState.get());
    panel.updateRouterOS();
    QTRY_VERIFY_WITH_TIMEOUT(!device->upgradingRouterOS(), 5000);
    QCOMPARE(device->error(), Text(QString()));
    QVERIFY(!device->refreshing());

    // The same when the installed version disappeared before the press.
    device->setArch(QStringLiteral("arm64"));
    device->setVersionRouterOS(std::nullopt);
    panel.updateRouterOS();
    QTRY_VERIFY_WITH_TIMEOUT(!device->upgradingRouterOS(), 5000);
    QVERIFY(!device->refreshing());
}

ORVANTA_WIDGET_TEST_MAIN(TestDeviceViewInfoOS)
#include "tst_DeviceViewInfoOS.moc"
