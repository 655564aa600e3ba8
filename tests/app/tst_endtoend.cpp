// The whole road through the real application: add a device through the form, select it with
// refresh-on-select, read what the panels show, restart it, delete it, and start the application
// again over the same store. Real store, keychain, fake router, SSH server and vendor server.
#include "app/ContentView.h"
#include "app/DeviceRow.h"
#include "app/OrvantaApp.h"
#include "model/Device.h"
#include "model/PersistenceController.h"
#include "model/Secrets.h"
#include "support/FakeApiRouter.h"
#include "support/HttpsServer.h"
#include "support/RouterData.h"
#include "support/ShownWidgets.h"
#include "support/SshServer.h"
#include "support/TestCertificates.h"
#include "support/TestMain.h"
#include "views/AddDeviceView.h"
#include "views/DeviceViewInfo.h"
#include "views/DeviceViewInfoCharts.h"
#include "views/DeviceViewInfoHealth.h"
#include "widgets/AppState.h"
#include "widgets/OVButton.h"
#include "widgets/OVButtonUpdate.h"
#include "widgets/Settings.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QMouseEvent>
#include <QTemporaryDir>

class TestEndToEnd : public QObject
{
    Q_OBJECT
private slots:
    void wholeRoad();

private:
    // Keeps a picture of the window and returns what a person would see wrong in it: a control cut off,
    // squeezed, overlapping or with its text not drawn, or one of the `expected` texts missing.
    static QString screenshot(QWidget* window, const QString& name, const QStringList& expected);
    static QStringList shownTexts(QWidget* root);
};

QString TestEndToEnd::screenshot(QWidget* window, const QString& name, const QStringList& expected)
{
    QDir().mkpath(QCoreApplication::applicationDirPath() + "/screenshots");
    const ShownWidgets shown(window);
    if (!shown.save("screenshots/endtoend-" + name + ".png"))
        return name + ": the picture could not be saved";
    const QString problems = shown.problems(expected);
    return problems.isEmpty() ? QString() : name + ":\n" + problems + "\nshown: " + shown.texts().join(" | ");
}

QStringList TestEndToEnd::shownTexts(QWidget* root)
{
    QStringList texts;
    for (QLabel* label : root->findChildren<QLabel*>()) {
        if (label->isVisibleTo(root))
            texts << label->text();
    }
    for (OVButton* button : root->findChildren<OVButton*>()) {
        if (button->isVisibleTo(root))
            texts << button->text();
    }
    for (OVButtonUpdate* button : root->findChildren<OVButtonUpdate*>()) {
        if (button->isVisibleTo(root))
            texts << button->text();
    }
    return texts;
}

void TestEndToEnd::wholeRoad()
{
    TestCertificates certificates;
    QVERIFY(certificates.isValid());
    certificates.trustForProcess();
    HttpsServer vendor(certificates);
    QVERIFY(vendor.listen());
    vendor.setRoute("/routeros/LATEST.7", HttpReply {200, "7.13 1700000000\n", "text/plain"});

    RouterData data = RouterData::typical();
    FakeApiRouter router(data);
    QVERIFY(router.start());
    SshServer ssh(data.username, data.password);
    QVERIFY2(ssh.start(), qPrintable(ssh.errorText()));

    Settings& settings = Settings::instance();
    settings.setValidateOnAdd(true);
    settings.setRefreshSelected(true);
    settings.setReleaseChannel("Stable");
    settings.setDisplayDeviceHealth(true);
    settings.setDisplayDeviceOsMetrics(true);
    settings.setRestApiTimeout("5");

    // The forms work on the application's shared store, so this test does too, starting empty.
    PersistenceController& store = PersistenceController::shared();
    for (Device* old : store.devices())
        store.deleteDevice(old);
    store.saveOrDie();
    const QString storePath = store.databasePath();
    auto app = std::make_unique<OrvantaApp>(store, vendor.baseUrl(), vendor.baseUrl());
    QMainWindow* window = app->mainWindow();
    app->showMainWindow();
    QVERIFY(QTest::qWaitForWindowExposed(window));

    // The toolbar looks the latest release up as soon as it is shown.
    QTRY_COMPARE_WITH_TIMEOUT(app->state().currentRouterOS(), QStringLiteral("7.13"), 10000);
    {
        const QString problems
            = screenshot(window, "1-empty", {"Current RouterOS: 7.13", "Please add or select a device"});
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
    }

    // Add the device through the form, with its account tested over SFTP and the API.
    QTest::mouseClick(window->findChild<QAbstractButton*>("addDeviceButton"), Qt::LeftButton);
    QTRY_VERIFY(qobject_cast<AddDeviceView*>(window->centralWidget()));
    auto* form = window->centralWidget();
    // Let the new content be laid out before clicking into it.
    QTest::qWait(50);
    QTest::keyClicks(form->findChild<QLineEdit*>("addressLineEdit"), "127.0.0.1");
    QTest::keyClicks(form->findChild<QLineEdit*>("passwordLineEdit"), data.password);
    auto* ssl = form->findChild<QAbstractButton*>("sslCheckBox");
    QVERIFY(ssl && ssl->isChecked());
    QTest::mouseClick(ssl, Qt::LeftButton);
    auto* port = form->findChild<QLineEdit*>("portLineEdit");
    QCOMPARE(port->text(), QStringLiteral("8728"));
    port->clear();
    QTest::keyClicks(port, QString::number(router.port()));
    auto* sshPort = form->findChild<QLineEdit*>("sshPortLineEdit");
    sshPort->clear();
    QTest::keyClicks(sshPort, QString::number(ssh.port()));
    {
        const QString problems = screenshot(window, "2-add-form",
            {"Add Device", "Hostname", "Username", "Password", "Control Method", "API Port", "SSH Port", "Cancel",
                "Add", "Help"});
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
    }
    form->findChild<OVButton*>("addButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<ContentView*>(window->centralWidget()), 30000);

    QCOMPARE(store.devices().size(), 1);
    QPointer<Device> device = store.devices().first();
    QCOMPARE(device->address(), std::optional<QString>("127.0.0.1"));
    QCOMPARE(QCoro::waitFor(Secrets::decrypt(device->password().value_or(QString()))).response,
        std::optional<QString>(data.password));

    // Select it: the refresh fills the panels.
    auto* view = qobject_cast<ContentView*>(window->centralWidget());
    QListView* list = view->listView();
    auto* rows = qobject_cast<DeviceRow*>(list->itemDelegate());
    QVERIFY(rows);
    const QModelIndex row = list->model()->index(0, 0);
    QCOMPARE(row.data(Qt::AccessibleTextRole).toString(), QStringLiteral("127.0.0.1"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(row).center());
    QVERIFY(device->refreshing());
    QTRY_VERIFY_WITH_TIMEOUT(!device->refreshing(), 20000);
    QCOMPARE(device->error(), std::optional<QString>(QString()));
    QCOMPARE(device->model(), std::optional<QString>("RB5009UG+S+"));
    QCOMPARE(device->versionRouterOS(), std::optional<QString>("7.12"));
    QTest::qWait(50);
    const QStringList texts = shownTexts(view);
    QVERIFY2(texts.contains("RB5009UG+S+"), qPrintable(texts.join(" | ")));
    QVERIFY2(texts.contains("7.12"), qPrintable(texts.join(" | ")));
    QVERIFY2(texts.contains("Update to 7.13"), qPrintable(texts.join(" | ")));
    QVERIFY2(texts.contains("CPU temperature: 45 C"), qPrintable(texts.join(" | ")));
    QVERIFY(view->findChild<DeviceViewInfoCharts*>()->isVisible());
    {
        const QString problems = screenshot(window, "3-refreshed",
            {"Current RouterOS: 7.13", "Edit Configuration", "127.0.0.1", "RB5009UG+S+", "RouterOS:", "7.12",
                "CPU temperature: 45 C", "Refresh", "Reboot", "Shutdown"});
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
    }

    // Restart: the router is asked to reboot, answers again, and a refresh follows.
    const QDateTime refreshedAt = device->lastupdated().value();
    router.clearRecords();
    auto* reboot = view->findChild<OVButton*>("rebootButton");
    reboot->click();
    QVERIFY(device->rebooting());
    QCOMPARE(view->findChild<DeviceViewInfo*>()->statusText(), QStringLiteral("Restarting device..."));
    QVERIFY(!reboot->isEnabledTo(window));
    {
        const QString problems
            = screenshot(window, "4-rebooting", {"127.0.0.1", "RB5009UG+S+", "Refresh", "Reboot", "Shutdown"});
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
    }
    QTRY_VERIFY_WITH_TIMEOUT(!device->rebooting(), 30000);
    QVERIFY(router.receivedWords().contains("/system/reboot"));
    QTRY_VERIFY_WITH_TIMEOUT(!device->refreshing() && device->lastupdated() > refreshedAt, 20000);
    QCOMPARE(device->error(), std::optional<QString>(QString()));
    QVERIFY(reboot->isEnabledTo(window));
    {
        const QString problems = screenshot(window, "5-rebooted",
            {"127.0.0.1", "RB5009UG+S+", "7.12", "CPU temperature: 45 C", "Refresh", "Reboot", "Shutdown"});
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
    }

    // Delete it from its row.
    const QPoint overRow = list->visualRect(row).topLeft() + QPoint(5, 5);
    QMouseEvent move(
        QEvent::MouseMove, overRow, list->viewport()->mapToGlobal(overRow), Qt::NoButton, Qt::NoButton, {});
    QApplication::sendEvent(list->viewport(), &move);
    const QRect deleteButton = rows->layout(list->visualRect(row), row).deleteButton;
    QVERIFY(!deleteButton.isEmpty());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, deleteButton.center());
    QTRY_VERIFY(store.devices().isEmpty());
    QTRY_VERIFY(!device);
    {
        const QString problems = screenshot(window, "6-deleted", {"Please add or select a device"});
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
    }

    // A device left busy by a process that ended: the next start repairs it.
    Device* stale = store.insertDevice();
    stale->setAddress(QStringLiteral("192.0.2.1"));
    stale->setControlMethod(QStringLiteral("REST"));
    stale->setRebooting(true);
    stale->setUpgradingRouterOS(true);
    stale->setError(QStringLiteral("Web-SSL error: gone"));
    store.saveOrDie();
    app.reset();

    // The next start loads the file afresh, as a new process would.
    PersistenceController restarted(storePath);
    app = std::make_unique<OrvantaApp>(restarted, vendor.baseUrl(), vendor.baseUrl());
    app->showMainWindow();
    QVERIFY(QTest::qWaitForWindowExposed(app->mainWindow()));
    QCOMPARE(restarted.devices().size(), 1);
    Device* repaired = restarted.devices().first();
    QVERIFY(!repaired->isBusy());
    QVERIFY(repaired->ssl());
    QCOMPARE(repaired->error(), std::optional<QString>(QString()));
    PersistenceController onDisk(storePath);
    QVERIFY(!onDisk.devices().first()->isBusy());
    QVERIFY(onDisk.devices().first()->ssl());
    {
        const QString problems = screenshot(app->mainWindow(), "7-restarted", {"Please add or select a device"});
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
    }
}

ORVANTA_WIDGET_TEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
