#include "model/ByteCountFormatter.h"
#include "model/Device.h"
#include "model/PersistenceController.h"
#include "model/Secrets.h"
#include "support/FakeApiRouter.h"
#include "support/LocalPorts.h"
#include "support/ShownWidgets.h"
#include "support/SshServer.h"
#include "support/TestMain.h"
#include "support/WidgetInput.h"
#include "views/DeviceViewConfig.h"
#include "views/EditingState.h"
#include "widgets/OVButton.h"
#include "widgets/OVMessageError.h"
#include "widgets/OVMessageInfo.h"
#include "widgets/Settings.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

namespace {
constexpr int NetworkBound = 20000;

std::optional<QString> optionalText(const QString& text)
{
    return text.isNull() ? std::nullopt : std::optional<QString>(text);
}
} // namespace

// The configuration panel and its edit form on the real store and keychain.
class TestDeviceViewConfig : public QObject
{
    Q_OBJECT

private:
    QPointer<Device> m_device;
    QPointer<Device> m_other;
    std::unique_ptr<EditingState> m_editing;
    // The panel lives in a pane as it does in the window.
    std::unique_ptr<QWidget> m_pane;
    QPointer<DeviceViewConfig> m_view;

    template<typename T>
    T* find(const char* name) const
    {
        return WidgetInput::find<T>(m_view, name);
    }

    QString shown(const char* name) const { return find<QLabel>(name)->text(); }
    void click(const char* name) { QTest::mouseClick(find<QWidget>(name), Qt::LeftButton); }

    void type(const char* field, const QString& text) { WidgetInput::retype(find<QLineEdit>(field), text); }

    // Opens the edit form and waits for the keychain to hand over the stored password.
    void openForm()
    {
        click("editConfigurationButton");
        QTRY_VERIFY(!m_view->loadingPassword());
    }

    void showPanel()
    {
        m_pane = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(m_pane.get());
        m_view = new DeviceViewConfig(m_device.data(), *m_editing, m_pane.get());
        layout->addWidget(m_view);
        m_pane->resize(640, 320);
        m_pane->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pane.get()));
    }

    // Points the device at a real SSH server and a plain API router on this machine (both taking
    // admin and "secret" while the device still holds an older password), turns the test before
    // saving on, opens the form, types the right password and presses Save.
    void saveAgainst(SshServer& ssh, FakeApiRouter& router)
    {
        QVERIFY2(ssh.start(), qPrintable(ssh.errorText()));
        QVERIFY(router.start());
        m_device->setAddress(QStringLiteral("127.0.0.1"));
        m_device->setSsl(false);
        m_device->setPort(QString::number(router.port()));
        m_device->setSshport(QString::number(ssh.port()));
        PersistenceController::shared().saveOrDie();
        Settings::instance().setValidateOnEdit(true);
        showPanel();
        openForm();
        type("passwordLineEdit", QStringLiteral("secret"));
        click("saveButton");
    }

    QString errorShown() const
    {
        auto* error = find<OVMessageError>("errorMessage");
        return error->isVisible() ? error->message() : QString();
    }

private slots:
    void init()
    {
        PersistenceController& store = PersistenceController::shared();
        for (Device* device : store.devices())
            store.deleteDevice(device);
        m_device = store.insertDevice();
        m_device->setAddress(QStringLiteral("10.0.0.1"));
        m_device->setControlMethod(QStringLiteral("API"));
        m_device->setUsername(QStringLiteral("admin"));
        m_device->setPassword(QCoro::waitFor(Secrets::encrypt(QStringLiteral("old secret"))));
        m_device->setPort(QStringLiteral("8000"));
        m_device->setSshport(QStringLiteral("2222"));
        m_device->setSsl(true);
        m_other = store.insertDevice();
        m_other->setAddress(QStringLiteral("10.0.0.2"));
        store.saveOrDie();
        Settings::instance().setValidateOnEdit(false);
        Settings::instance().setRestApiTimeout(QStringLiteral("5"));
        m_editing = std::make_unique<EditingState>();
    }

    void cleanup()
    {
        m_pane.reset();
        m_editing.reset();
    }

    void summaryShowsTheDevice_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("memoryTotal");
        QTest::addColumn<QString>("diskTotal");
        QTest::addColumn<QString>("modelShown");
        QTest::addColumn<QString>("memoryShown");
        QTest::addColumn<QString>("diskShown");
        const QString zero = ByteCountFormatter::binaryStyle(0);
        QTest::newRow("nothing reported yet") << QString() << QString() << QString() << "Unknown" << zero << zero;
        QTest::newRow("binary sizes") << "RB5009UG+S+"
                                      << "268435456"
                                      << "1073741824"
                                      << "RB5009UG+S+"
                                      << "256 MB"
                                      << "1 GB";
        QTest::newRow("not numbers") << "hAP"
                                     << "lots"
                                     << " 1024"
                                     << "hAP" << zero << zero;
        QTest::newRow("empty texts") << ""
                                     << ""
                                     << ""
                                     << "" << zero << zero;
    }

    void summaryShowsTheDevice()
    {
        QFETCH(QString, model);
        QFETCH(QString, memoryTotal);
        QFETCH(QString, diskTotal);
        m_device->setModel(optionalText(model));
        m_device->setMemoryTotal(optionalText(memoryTotal));
        m_device->setDiskTotal(optionalText(diskTotal));
        showPanel();
        QTEST(shown("modelValueLabel"), "modelShown");
        QTEST(shown("memoryTotalValueLabel"), "memoryShown");
        QTEST(shown("diskTotalValueLabel"), "diskShown");
        QCOMPARE(shown("addressValueLabel"), QStringLiteral("10.0.0.1"));
        QCOMPARE(shown("archValueLabel"), QStringLiteral("Unknown"));
        QVERIFY(find<QWidget>("summaryWidget")->isVisible());
        QVERIFY(!find<QWidget>("editFormWidget")->isVisible());
        // No picture of ours is named after these models.
        QCOMPARE(m_view->pictureName(), QStringLiteral("DeviceUnknown_120"));
        QVERIFY(!find<QLabel>("pictureLabel")->pixmap().isNull());

        // The summary follows the device.
        m_device->setArch(QStringLiteral("arm64"));
        m_device->setCpuCount(QStringLiteral("4"));
        QCOMPARE(shown("archValueLabel"), QStringLiteral("arm64"));
        QCOMPARE(shown("cpuCountValueLabel"), QStringLiteral("4"));

        // What a person sees: every heading and value whole, apart and drawn, and the edit button.
        const ShownWidgets summary(m_pane.get(), m_view);
        if (QTest::currentDataTag() == QLatin1String("binary sizes"))
            QVERIFY(summary.save(QStringLiteral("deviceviewconfig.png")));
        QStringList expected
            = {"Architecture:", "CPU Cores:", "Hostname:", "Model:", "Total RAM:", "Total Disk:", "Edit Configuration",
                "10.0.0.1", "arm64", "4", shown("memoryTotalValueLabel"), shown("diskTotalValueLabel")};
        if (!shown("modelValueLabel").isEmpty())
            expected << shown("modelValueLabel");
        const QString problems = summary.problems(expected);
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
    }

    void drawsNothingWithoutAnAddress()
    {
        m_device->setAddress(std::nullopt);
        showPanel();
        QVERIFY(!m_view->isVisible());
        m_device->setAddress(QStringLiteral("10.0.0.1"));
        QVERIFY(m_view->isVisible());
    }

    void editButtonWaitsForTheDevice_data()
    {
        QTest::addColumn<int>("flag");
        QTest::newRow("refreshing") << 0;
        QTest::newRow("rebooting") << 1;
        QTest::newRow("shutting down") << 2;
        QTest::newRow("upgrading RouterOS") << 3;
        QTest::newRow("upgrading RouterBOOT") << 4;
    }

    void editButtonWaitsForTheDevice()
    {
        QFETCH(int, flag);
        const std::function<void(bool)> setters[] = {
            [this](bool on) { m_device->setRefreshing(on); },
            [this](bool on) { m_device->setRebooting(on); },
            [this](bool on) { m_device->setShuttingdown(on); },
            [this](bool on) { m_device->setUpgradingRouterOS(on); },
            [this](bool on) { m_device->setUpgradingRouterBOOT(on); },
        };
        showPanel();
        auto* button = find<OVButton>("editConfigurationButton");
        QVERIFY(button->isEnabled());
        setters[flag](true);
        QVERIFY(!button->isEnabled());
        click("editConfigurationButton");
        QVERIFY(!m_editing->value());
        setters[flag](false);
        QVERIFY(button->isEnabled());
    }

    void opensWithTheStoredValues_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<bool>("ssl");
        QTest::addColumn<QString>("portLabel");
        QTest::newRow("API over TLS") << "API" << true << "API-SSL Port";
        QTest::newRow("plain API") << "API" << false << "API Port";
        QTest::newRow("REST") << "REST" << true << "Web-SSL Port";
    }

    void opensWithTheStoredValues()
    {
        QFETCH(QString, method);
        QFETCH(bool, ssl);
        m_device->setControlMethod(method);
        m_device->setSsl(ssl);
        m_device->setError(QStringLiteral("an old failure"));
        showPanel();
        openForm();

        QVERIFY(m_editing->value());
        QVERIFY(find<QWidget>("editFormWidget")->isVisible());
        QVERIFY(!find<QWidget>("summaryWidget")->isVisible());
        QCOMPARE(m_device->error(), QString());
        QTEST(shown("portLabel"), "portLabel");
        QCOMPARE(find<QLineEdit>("addressLineEdit")->text(), QStringLiteral("10.0.0.1"));
        QCOMPARE(find<QLineEdit>("passwordLineEdit")->text(), QStringLiteral("old secret"));
        // Loading runs no rule: the stored port stays.
        QCOMPARE(find<QLineEdit>("portLineEdit")->text(), QStringLiteral("8000"));
        QCOMPARE(find<QLineEdit>("sshPortLineEdit")->text(), QStringLiteral("2222"));
        // The form as a person sees it: labels, fields and buttons whole, apart and drawn.
        const ShownWidgets form(m_pane.get(), m_view);
        if (QTest::currentDataTag() == QLatin1String("REST"))
            QVERIFY(form.save(QStringLiteral("deviceviewconfig-edit.png")));
        const QString problems = form.problems({"Configuration", "Hostname", "Username", "Password", "Control Method",
            shown("portLabel"), "SSH Port", "Save", "Cancel"});
        QVERIFY2(problems.isEmpty(), qPrintable(problems));

        // Cancel discards what was typed; the next opening reloads the device.
        type("usernameLineEdit", QStringLiteral("someone"));
        click("cancelButton");
        QVERIFY(!m_editing->value());
        QVERIFY(find<QWidget>("summaryWidget")->isVisible());
        QCOMPARE(m_device->username(), QStringLiteral("admin"));
        openForm();
        QCOMPARE(find<QLineEdit>("usernameLineEdit")->text(), QStringLiteral("admin"));
    }

    void unreadablePasswordLoadsAsItsMessage()
    {
        m_device->setPassword(QStringLiteral("not a cipher text"));
        showPanel();
        openForm();
        QCOMPARE(find<QLineEdit>("passwordLineEdit")->text(), QStringLiteral("Could not decrypt"));
    }

    // The stored password reaches the form only when the keychain answers; a Save before that
    // would store the empty field in its place.
    void saveWaitsForTheStoredPassword()
    {
        showPanel();
        click("editConfigurationButton");
        QVERIFY(m_view->loadingPassword());
        QVERIFY(!find<OVButton>("saveButton")->isEnabled());
        m_view->saveConfiguration();
        QVERIFY(!m_view->saving());
        QTRY_COMPARE(find<QLineEdit>("passwordLineEdit")->text(), QStringLiteral("old secret"));
        QVERIFY(find<OVButton>("saveButton")->isEnabled());
        QVERIFY(m_editing->value());
        QCOMPARE(QCoro::waitFor(Secrets::decrypt(m_device->password().value_or(QString()))).response,
            QStringLiteral("old secret"));
    }

    void checksBeforeSaving_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("sshport");
        QTest::addColumn<QString>("username");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::newRow("unchanged address") << "10.0.0.1"
                                           << "8000"
                                           << "2222"
                                           << "admin"
                                           << "pw"
                                           << "";
        QTest::newRow("new address") << "10.0.0.3"
                                     << "8000"
                                     << "2222"
                                     << "admin"
                                     << "pw"
                                     << "";
        QTest::newRow("blank address is filled in") << " "
                                                    << "8000"
                                                    << "2222"
                                                    << "admin"
                                                    << "pw"
                                                    << "";
        QTest::newRow("another device's address") << "10.0.0.2"
                                                  << ""
                                                  << "2222"
                                                  << "admin"
                                                  << "pw"
                                                  << "Address already exists";
        QTest::newRow("no address") << ""
                                    << "8000"
                                    << "2222"
                                    << "admin"
                                    << "pw"
                                    << "Please add a hostname";
        QTest::newRow("no port") << "10.0.0.1"
                                 << ""
                                 << "2222"
                                 << "admin"
                                 << "pw"
                                 << "API-SSL port: Enter the port number";
        QTest::newRow("leading zero") << "10.0.0.1"
                                      << "08"
                                      << "2222"
                                      << "admin"
                                      << "pw"
                                      << "API-SSL port: Cannot start with 0";
        QTest::newRow("both ports wrong") << "10.0.0.1"
                                          << ""
                                          << ""
                                          << "admin"
                                          << "pw"
                                          << "API-SSL port: Enter the port number";
        QTest::newRow("SSH port out of range") << "10.0.0.1"
                                               << "8000"
                                               << "70000"
                                               << "admin"
                                               << "pw"
                                               << "SSH port: Valid range is 1-65535";
        QTest::newRow("no username") << "10.0.0.1"
                                     << "8000"
                                     << "2222"
                                     << ""
                                     << ""
                                     << "Please add a username";
        QTest::newRow("no password") << "10.0.0.1"
                                     << "8000"
                                     << "2222"
                                     << "admin"
                                     << ""
                                     << "Please add a password";
    }

    void checksBeforeSaving()
    {
        QFETCH(QString, address);
        QFETCH(QString, port);
        QFETCH(QString, sshport);
        QFETCH(QString, username);
        QFETCH(QString, password);
        QFETCH(QString, message);
        showPanel();
        openForm();
        type("addressLineEdit", address);
        type("portLineEdit", port);
        type("sshPortLineEdit", sshport);
        type("usernameLineEdit", username);
        type("passwordLineEdit", password);
        click("saveButton");

        QTRY_VERIFY(!m_view->saving());
        if (message.isEmpty()) {
            QVERIFY(!m_editing->value());
            QCOMPARE(m_device->address(), address);
            QCOMPARE(m_device->error(), QString());
            QVERIFY(!PersistenceController::shared().hasChanges());
        } else {
            QVERIFY(m_editing->value());
            QCOMPARE(m_device->error(), message);
            QCOMPARE(errorShown(), message);
            QCOMPARE(m_device->address(), QStringLiteral("10.0.0.1"));
            QCOMPARE(m_device->sshport(), QStringLiteral("2222"));
            QCOMPARE(find<QLineEdit>("addressLineEdit")->text(), address);
        }
    }

    void saveWritesOnlyTheConnectionValues()
    {
        m_device->setModel(QStringLiteral("RB5009UG+S+"));
        m_device->setMemoryTotal(QStringLiteral("1073741824"));
        m_device->setVersionRouterOS(QStringLiteral("7.12"));
        m_device->setHealth(QStringLiteral("[]"));
        const QDateTime stamp = QDateTime::currentDateTimeUtc().addDays(-1);
        m_device->setLastupdated(stamp);
        PersistenceController::shared().saveOrDie();
        showPanel();
        openForm();
        click("restButton");
        type("addressLineEdit", QStringLiteral("router.lan"));
        type("usernameLineEdit", QStringLiteral("ops"));
        type("passwordLineEdit", QStringLiteral("new secret"));
        type("sshPortLineEdit", QStringLiteral("22"));
        QSignalSpy changes(m_device.data(), &Device::changed);
        click("saveButton");
        QTRY_VERIFY(!m_view->saving());

        QVERIFY(!m_editing->value());
        QVERIFY(!PersistenceController::shared().hasChanges());
        QCOMPARE(m_device->address(), QStringLiteral("router.lan"));
        QCOMPARE(m_device->controlMethod(), QStringLiteral("REST"));
        QCOMPARE(m_device->username(), QStringLiteral("ops"));
        QCOMPARE(m_device->port(), QStringLiteral("443"));
        QCOMPARE(m_device->sshport(), QStringLiteral("22"));
        QVERIFY(m_device->ssl());
        QCOMPARE(QCoro::waitFor(Secrets::decrypt(m_device->password().value_or(QString()))).response,
            QStringLiteral("new secret"));
        QCOMPARE(m_device->model(), QStringLiteral("RB5009UG+S+"));
        QCOMPARE(m_device->memoryTotal(), QStringLiteral("1073741824"));
        QCOMPARE(m_device->versionRouterOS(), QStringLiteral("7.12"));
        QCOMPARE(m_device->health(), QStringLiteral("[]"));
        QCOMPARE(m_device->lastupdated(), stamp);
        QCOMPARE(m_device->error(), QString());
        QVERIFY(changes.count() > 0);
        QCOMPARE(shown("addressValueLabel"), QStringLiteral("router.lan"));

        openForm();
        QCOMPARE(find<QLineEdit>("passwordLineEdit")->text(), QStringLiteral("new secret"));
        QCOMPARE(shown("portLabel"), QStringLiteral("Web-SSL Port"));
    }

    void failedSftpTestKeepsTheFormOpen()
    {
        Settings::instance().setValidateOnEdit(true);
        showPanel();
        openForm();
        type("sshPortLineEdit", QString::number(LocalPorts::closed()));
        click("saveButton");
        QTRY_VERIFY_WITH_TIMEOUT(!m_view->saving(), NetworkBound);

        QVERIFY(m_editing->value());
        QVERIFY2(errorShown().startsWith(QStringLiteral("SFTP error: ")), qPrintable(errorShown()));
        QVERIFY(!find<OVMessageInfo>("infoMessage")->isVisible());
        QCOMPARE(m_device->sshport(), QStringLiteral("2222"));
    }

    void provenValuesAreSaved()
    {
        SshServer ssh(QStringLiteral("admin"), QStringLiteral("secret"));
        FakeApiRouter router;
        saveAgainst(ssh, router);
        if (QTest::currentTestFailed())
            return;
        // The SSH handshake is still under way.
        QVERIFY(m_view->saving());
        QVERIFY(find<OVMessageInfo>("infoMessage")->isVisible());
        QCOMPARE(find<OVMessageInfo>("infoMessage")->message(), QStringLiteral("Validating device credentials..."));
        QVERIFY(!find<OVButton>("saveButton")->isEnabled());
        QVERIFY(find<OVButton>("cancelButton")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!m_view->saving(), NetworkBound);

        QVERIFY(!find<OVMessageInfo>("infoMessage")->isVisible());
        QVERIFY2(!m_editing->value(), qPrintable(m_device->error().value_or(QString())));
        QVERIFY(router.receivedSentences().contains(QStringList {QStringLiteral("/system/routerboard/print")}));
        QCOMPARE(QCoro::waitFor(Secrets::decrypt(m_device->password().value_or(QString()))).response,
            QStringLiteral("secret"));
        QVERIFY(!PersistenceController::shared().hasChanges());
    }

    // Cancel pressed while the test runs closes the form; the save still lands at its end and
    // must not open the form again.
    void cancelDuringASaveKeepsTheFormClosed()
    {
        SshServer ssh(QStringLiteral("admin"), QStringLiteral("secret"));
        FakeApiRouter router;
        saveAgainst(ssh, router);
        if (QTest::currentTestFailed())
            return;
        click("cancelButton");
        QVERIFY(!m_editing->value());
        QTRY_VERIFY_WITH_TIMEOUT(!m_view->saving(), NetworkBound);

        QVERIFY(!m_editing->value());
        QVERIFY(find<QWidget>("summaryWidget")->isVisible());
        QCOMPARE(QCoro::waitFor(Secrets::decrypt(m_device->password().value_or(QString()))).response,
            QStringLiteral("secret"));
    }

    // The panel may go away while a save waits for the router; the device is still saved.
    void saveOutlivesThePanel()
    {
        SshServer ssh(QStringLiteral("admin"), QStringLiteral("secret"));
        FakeApiRouter router;
        saveAgainst(ssh, router);
        if (QTest::currentTestFailed())
            return;
        delete m_view;

        QTRY_VERIFY_WITH_TIMEOUT(!m_editing->value(), NetworkBound);
        QCOMPARE(QCoro::waitFor(Secrets::decrypt(m_device->password().value_or(QString()))).response,
            QStringLiteral("secret"));
        QVERIFY(!PersistenceController::shared().hasChanges());
    }
};

ORVANTA_WIDGET_TEST_MAIN(TestDeviceViewConfig)
#include "tst_deviceviewconfig.moc"
