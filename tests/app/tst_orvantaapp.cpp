#include "app/ContentView.h"
#include "app/OrvantaApp.h"
#include "maintenance/OVCache.h"
#include "model/Device.h"
#include "model/PersistenceController.h"
#include "support/StdoutCapture.h"
#include "support/TestMain.h"
#include "views/AddDeviceView.h"
#include "widgets/AppState.h"
#include "widgets/OVButton.h"
#include "widgets/OVMessageInfo.h"

#include <QAction>
#include <QDir>
#include <QMainWindow>
#include <QPointer>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>

class TestOrvantaApp : public QObject
{
    Q_OBJECT
private slots:
    void startUpRepairsEveryDevice();
    void startUpOnEmptyStoreMakesCacheFolder();
    void mainWindowFollowsAddDeviceFlag();
    void settingsOpenAfreshEachTime();

private:
    QTemporaryDir m_dir;
};

void TestOrvantaApp::startUpRepairsEveryDevice()
{
    const QString path = m_dir.filePath("repair.sqlite");
    {
        PersistenceController store(path);
        Device* rest = store.insertDevice();
        rest->setAddress(QStringLiteral("10.0.0.1"));
        rest->setControlMethod(QStringLiteral("REST"));
        rest->setSsl(false);
        rest->setRebooting(true);
        rest->setError(QStringLiteral("Web-SSL error: gone"));
        Device* api = store.insertDevice();
        api->setAddress(QStringLiteral("10.0.0.2"));
        api->setControlMethod(QStringLiteral("API"));
        api->setSsl(false);
        api->setRefreshing(true);
        api->setUpgradingRouterOS(true);
        api->setUpgradingRouterBOOT(true);
        api->setShuttingdown(true);
        Device* lower = store.insertDevice();
        lower->setAddress(QStringLiteral("10.0.0.3"));
        lower->setControlMethod(QStringLiteral("rest"));
        QVERIFY(store.save());
    }

    StdoutCapture capture;
    {
        PersistenceController store(path);
        OrvantaApp::startUp(store);
    }
    const QString printed = capture.text();
    capture.restore();
    QCOMPARE(printed,
        QStringLiteral("OrvantaApp.init: REST is enabled but SSL is false for 10.0.0.1 - performing migration.\n"));

    // What start-up did must be in the file, not only in memory.
    PersistenceController reopened(path);
    const QList<Device*> devices = reopened.devices();
    QCOMPARE(devices.size(), 3);
    for (Device* device : devices) {
        QCOMPARE(device->error(), std::optional<QString>(QString()));
        QVERIFY(!device->isBusy());
        if (device->address() == QStringLiteral("10.0.0.1"))
            QVERIFY(device->ssl());
        else
            QVERIFY(!device->ssl());
    }
}

void TestOrvantaApp::startUpOnEmptyStoreMakesCacheFolder()
{
    const auto root = OVCache::cacheDirectory();
    QVERIFY(root.has_value());
    QDir(*root).removeRecursively();
    PersistenceController store(m_dir.filePath("empty.sqlite"));
    OrvantaApp::startUp(store);
    QVERIFY(QDir(*root).exists());
    QVERIFY(QFile::exists(m_dir.filePath("empty.sqlite")));
}

void TestOrvantaApp::mainWindowFollowsAddDeviceFlag()
{
    PersistenceController store(m_dir.filePath("window.sqlite"));
    OrvantaApp app(store);
    QMainWindow* window = app.mainWindow();
    QVERIFY(qobject_cast<ContentView*>(window->centralWidget()));
    app.state().setShowAddDevice(true);
    QVERIFY(qobject_cast<AddDeviceView*>(window->centralWidget()));
    app.state().setShowAddDevice(false);
    QVERIFY(qobject_cast<ContentView*>(window->centralWidget()));
    QCOMPARE(app.state().currentRouterOS(), QStringLiteral("Unknown"));
}

void TestOrvantaApp::settingsOpenAfreshEachTime()
{
    PersistenceController store(m_dir.filePath("settings.sqlite"));
    OrvantaApp app(store);
    app.showMainWindow();
    auto* command = app.mainWindow()->findChild<QAction*>("settingsAction");
    QVERIFY(command);

    command->trigger();
    QPointer<QWidget> first = app.settingsWindow();
    QVERIFY(first && first->isVisible());
    auto* tabs = first->findChild<QTabWidget*>("settingsTabWidget");
    QCOMPARE(tabs->currentIndex(), 0);
    QTest::mouseClick(first->findChild<OVButton*>("purgeButton"), Qt::LeftButton);
    QVERIFY(first->findChild<OVMessageInfo*>("cachePurgedMessage"));
    tabs->tabBar()->setCurrentIndex(3);
    QCOMPARE(tabs->currentIndex(), 3);

    // While it is open the command only brings it forward, as it is.
    command->trigger();
    QCOMPARE(app.settingsWindow(), first.data());
    QCOMPARE(tabs->currentIndex(), 3);

    // Closed and opened again: the first tab, and no confirmation left over from before.
    first->close();
    command->trigger();
    QWidget* second = app.settingsWindow();
    QVERIFY(second && second->isVisible());
    QCOMPARE(second->findChild<QTabWidget*>("settingsTabWidget")->currentIndex(), 0);
    QVERIFY(!second->findChild<OVMessageInfo*>("cachePurgedMessage"));
    QTRY_VERIFY(!first);
}

ORVANTA_WIDGET_TEST_MAIN(TestOrvantaApp)
#include "tst_orvantaapp.moc"
