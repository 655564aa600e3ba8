#include "control/OVControl.h"
#include "model/Device.h"
#include "model/PersistenceController.h"
#include "model/Secrets.h"
#include "support/FakeApiRouter.h"
#include "support/FakeRestRouter.h"
#include "support/HttpsServer.h"
#include "support/LocalPorts.h"
#include "support/ShownWidgets.h"
#include "support/SshServer.h"
#include "support/TestMain.h"
#include "support/WidgetInput.h"
#include "views/AddDeviceView.h"
#include "widgets/AppState.h"
#include "widgets/OVButton.h"
#include "widgets/Settings.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTcpServer>
#include <QtTest>

#include <QCoroTask>

#include <memory>

namespace {
constexpr int NetworkBound = 20000;

} // namespace

// The add-device form on the real store and keychain, against fake routers and a real SSH server.
class TestAddDeviceView : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<AppState> m_appState;
    QPointer<AddDeviceView> m_view;

    template<typename T>
    T* find(const char* name) const
    {
        return WidgetInput::find<T>(m_view, name);
    }

    void type(const char* field, const QString& text) { WidgetInput::retype(find<QLineEdit>(field), text); }

    void click(const char* name) { QTest::mouseClick(find<QWidget>(name), Qt::LeftButton); }

    QString status() const { return find<QLabel>("statusLabel")->text(); }

    static QList<Device*> stored() { return PersistenceController::shared().devices(); }

    // Fills in an API-over-plain-TCP form for a router on this machine.
    void fillPlainApi(quint16 apiPort, quint16 sshPort, const QString& password)
    {
        type("addressLineEdit", QStringLiteral("127.0.0.1"));
        click("sslCheckBox");
        type("portLineEdit", QString::number(apiPort));
        type("sshPortLineEdit", QString::number(sshPort));
        type("passwordLineEdit", password);
    }

    // A real SSH server and a plain API router on this machine, and the form filled in for them.
    void startAndFill(SshServer& ssh, FakeApiRouter& apiRouter)
    {
        QVERIFY2(ssh.start(), qPrintable(ssh.errorText()));
        QVERIFY(apiRouter.start());
        fillPlainApi(apiRouter.port(), ssh.port(), QStringLiteral("secret"));
    }

private slots:
    void init()
    {
        PersistenceController& store = PersistenceController::shared();
        for (Device* device : store.devices())
            store.deleteDevice(device);
        store.saveOrDie();
        Settings& settings = Settings::instance();
        settings.setValidateOnAdd(true);
        settings.setRestApiValidSSL(false);
        settings.setRestApiTimeout(QStringLiteral("5"));

        m_appState = std::make_unique<AppState>();
        m_appState->setShowAddDevice(true);
        m_view = new AddDeviceView(*m_appState);
        m_view->resize(720, 420);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view));
    }

    void cleanup()
    {
        delete m_view;
        m_appState.reset();
    }

    void opensWithTheInitialValues()
    {
        QCOMPARE(find<QLineEdit>("addressLineEdit")->text(), QString());
        QCOMPARE(find<QLineEdit>("usernameLineEdit")->text(), QStringLiteral("admin"));
        QCOMPARE(find<QLineEdit>("passwordLineEdit")->text(), QString());
        QCOMPARE(find<QLineEdit>("portLineEdit")->text(), QStringLiteral("8729"));
        QCOMPARE(find<QLineEdit>("sshPortLineEdit")->text(), QStringLiteral("22"));
        QVERIFY(find<QPushButton>("apiButton")->isChecked());
        QVERIFY(find<QCheckBox>("sslCheckBox")->isChecked());
        QCOMPARE(find<QLabel>("portLabel")->text(), QStringLiteral("API-SSL Port"));
        QVERIFY(find<QLabel>("helpMethodLabel")->text().startsWith(QStringLiteral("API functionality")));
        QCOMPARE(status(), QString());
        // The form and its help as a person sees them: whole, apart and drawn.
        const ShownWidgets form(m_view);
        QVERIFY(form.save(QStringLiteral("adddeviceview.png")));
        const QString problems = form.problems({"Add Device", "Hostname", "Username", "Password", "Control Method",
            "API-SSL Port", "SSH Port", "Cancel", "Add", "Help", find<QLabel>("helpMethodLabel")->text()});
        QVERIFY2(problems.isEmpty(), qPrintable(problems));

        click("restButton");
        QVERIFY(find<QLabel>("helpMethodLabel")->text().startsWith(QStringLiteral("The REST API")));
    }

    void reportsTheFirstProblem_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("rest");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("sshport");
        QTest::addColumn<QString>("username");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::newRow("nothing entered") << "" << false << "8729"
                                         << "22"
                                         << "admin"
                                         << ""
                                         << "Please add a hostname";
        QTest::newRow("no service port") << "r1" << false << ""
                                         << "22"
                                         << "admin"
                                         << "pw"
                                         << "API-SSL port: Enter the port number";
        QTest::newRow("no REST port") << "r1" << true << ""
                                      << "22"
                                      << "admin"
                                      << "pw"
                                      << "Web-SSL port: Enter the port number";
        QTest::newRow("both ports wrong") << "r1" << false << "70000"
                                          << ""
                                          << ""
                                          << ""
                                          << "API-SSL port: Valid range is 1-65535";
        QTest::newRow("SSH port with a leading zero") << "r1" << false << "8729"
                                                      << "08"
                                                      << ""
                                                      << ""
                                                      << "SSH port: Cannot start with 0";
        QTest::newRow("no username") << "r1" << false << "8729"
                                     << "22"
                                     << ""
                                     << ""
                                     << "Please add a username";
        QTest::newRow("no password") << "r1" << false << "8729"
                                     << "22"
                                     << "admin"
                                     << ""
                                     << "Please add a password";
    }

    void reportsTheFirstProblem()
    {
        QFETCH(QString, address);
        QFETCH(bool, rest);
        QFETCH(QString, port);
        QFETCH(QString, sshport);
        QFETCH(QString, username);
        QFETCH(QString, password);
        QFETCH(QString, message);
        if (rest)
            click("restButton");
        type("addressLineEdit", address);
        type("portLineEdit", port);
        type("sshPortLineEdit", sshport);
        type("usernameLineEdit", username);
        type("passwordLineEdit", password);
        click("addButton");

        QCOMPARE(status(), message);
        QVERIFY(!m_view->adding());
        QVERIFY(find<OVButton>("addButton")->isEnabled());
        QVERIFY(m_appState->showAddDevice());
        QVERIFY(stored().isEmpty());
        // The message stays while the user corrects the form, and the typed values stay too.
        type("usernameLineEdit", QStringLiteral("someone"));
        QCOMPARE(status(), message);
        QCOMPARE(find<QLineEdit>("addressLineEdit")->text(), address);
    }

    void refusesAStoredAddressWithoutConnecting()
    {
        Device* existing = PersistenceController::shared().insertDevice();
        existing->setAddress(QStringLiteral("127.0.0.1"));
        PersistenceController::shared().saveOrDie();
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost));
        fillPlainApi(listener.serverPort(), listener.serverPort(), QStringLiteral("pw"));
        click("addButton");

        QCOMPARE(status(), QStringLiteral("Address already exists"));
        QVERIFY(!m_view->adding());
        QVERIFY(!listener.waitForNewConnection(300));
        QCOMPARE(stored().size(), 1);
    }

    void storesAtOnceWhenValidationIsOff()
    {
        Settings::instance().setValidateOnAdd(false);
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost));
        click("restButton");
        type("addressLineEdit", QStringLiteral("router.lan"));
        type("usernameLineEdit", QStringLiteral("ops"));
        type("passwordLineEdit", QStringLiteral("pass word!"));
        type("portLineEdit", QString::number(listener.serverPort()));
        type("sshPortLineEdit", QString::number(listener.serverPort()));
        click("addButton");
        // Only the keychain is waited for.
        QTRY_VERIFY(!m_view->adding());

        QVERIFY(!m_appState->showAddDevice());
        QCOMPARE(status(), QString());
        QVERIFY(!listener.waitForNewConnection(300));
        const QList<Device*> devices = stored();
        QCOMPARE(devices.size(), 1);
        const Device* device = devices.first();
        QCOMPARE(device->address(), QStringLiteral("router.lan"));
        QCOMPARE(device->controlMethod(), QStringLiteral("REST"));
        QCOMPARE(device->username(), QStringLiteral("ops"));
        QCOMPARE(device->port(), QString::number(listener.serverPort()));
        QCOMPARE(device->sshport(), QString::number(listener.serverPort()));
        QVERIFY(device->ssl());
        QVERIFY(device->password() != QStringLiteral("pass word!"));
        QCOMPARE(QCoro::waitFor(Secrets::decrypt(device->password().value_or(QString()))).response,
            QStringLiteral("pass word!"));
        QVERIFY(!device->model().has_value());
        QVERIFY(!device->error().has_value());
        QVERIFY(!device->lastupdated().has_value());
        QVERIFY(!PersistenceController::shared().hasChanges());
    }

    void sftpFailureStopsBeforeTheRouter_data()
    {
        QTest::addColumn<bool>("rest");
        QTest::newRow("API") << false;
        QTest::newRow("REST") << true;
    }

    void sftpFailureStopsBeforeTheRouter()
    {
        QFETCH(bool, rest);
        FakeApiRouter apiRouter;
        QVERIFY(apiRouter.start());
        FakeRestRouter restRouter;
        QVERIFY(restRouter.listen());
        if (rest) {
            click("restButton");
            type("addressLineEdit", QStringLiteral("127.0.0.1"));
            type("portLineEdit", QString::number(restRouter.port()));
            type("sshPortLineEdit", QString::number(LocalPorts::closed()));
            type("passwordLineEdit", QStringLiteral("secret"));
        } else {
            fillPlainApi(apiRouter.port(), LocalPorts::closed(), QStringLiteral("secret"));
        }
        click("addButton");
        QTRY_VERIFY_WITH_TIMEOUT(!m_view->adding(), NetworkBound);

        QVERIFY2(status().startsWith(QStringLiteral("SFTP error: ")), qPrintable(status()));
        QVERIFY(status().size() > QStringLiteral("SFTP error: ").size());
        QCOMPARE(apiRouter.connectionCount(), 0);
        QVERIFY(restRouter.requests().isEmpty());
        QVERIFY(stored().isEmpty());
        QVERIFY(m_appState->showAddDevice());
    }

    void storesAfterTheAccountIsProven_data()
    {
        QTest::addColumn<bool>("rest");
        QTest::newRow("API") << false;
        QTest::newRow("REST") << true;
    }

    void storesAfterTheAccountIsProven()
    {
        QFETCH(bool, rest);
        SshServer ssh(QStringLiteral("admin"), QStringLiteral("secret"));
        QVERIFY2(ssh.start(), qPrintable(ssh.errorText()));
        FakeApiRouter apiRouter;
        QVERIFY(apiRouter.start());
        FakeRestRouter restRouter;
        QVERIFY(restRouter.listen());
        if (rest) {
            click("restButton");
            type("addressLineEdit", QStringLiteral("127.0.0.1"));
            type("portLineEdit", QString::number(restRouter.port()));
            type("sshPortLineEdit", QString::number(ssh.port()));
            type("passwordLineEdit", QStringLiteral("secret"));
        } else {
            fillPlainApi(apiRouter.port(), ssh.port(), QStringLiteral("secret"));
        }
        click("addButton");
        QVERIFY(m_view->adding());
        QCOMPARE(status(), QStringLiteral("Validating device credentials..."));
        QVERIFY(!find<OVButton>("addButton")->isEnabled());
        QVERIFY(find<OVButton>("cancelButton")->isEnabled());
        QVERIFY(find<QProgressBar>("busyProgressBar")->isVisible());
        // A second press while the attempt runs starts nothing.
        click("addButton");
        QTRY_VERIFY_WITH_TIMEOUT(!m_appState->showAddDevice(), NetworkBound);

        if (rest) {
            QCOMPARE(restRouter.requests().size(), 1);
            QCOMPARE(restRouter.requests().first().path, QByteArray("/rest/system/routerboard"));
            QCOMPARE(apiRouter.connectionCount(), 0);
        } else {
            QCOMPARE(apiRouter.connectionCount(), 1);
            QVERIFY(apiRouter.receivedSentences().contains(QStringList {QStringLiteral("/system/routerboard/print")}));
            QVERIFY(restRouter.requests().isEmpty());
        }
        const QList<Device*> devices = stored();
        QCOMPARE(devices.size(), 1);
        QCOMPARE(devices.first()->controlMethod(), rest ? QStringLiteral("REST") : QStringLiteral("API"));
        QCOMPARE(devices.first()->ssl(), rest);
        QCOMPARE(QCoro::waitFor(Secrets::decrypt(devices.first()->password().value_or(QString()))).response,
            QStringLiteral("secret"));
    }

    void routerRefusalIsShownUnprefixed()
    {
        SshServer ssh(QStringLiteral("admin"), QStringLiteral("secret"));
        QVERIFY2(ssh.start(), qPrintable(ssh.errorText()));
        RouterData data = RouterData::typical();
        data.password = QStringLiteral("something else");
        FakeApiRouter apiRouter(data);
        QVERIFY(apiRouter.start());
        fillPlainApi(apiRouter.port(), ssh.port(), QStringLiteral("secret"));
        click("addButton");
        QTRY_VERIFY_WITH_TIMEOUT(!m_view->adding(), NetworkBound);

        // The control method words its own failure; the form shows it as it is.
        const std::unique_ptr<OVControl> control = OVControl::forControlMethod(QStringLiteral("API"), false,
            QStringLiteral("5"), QStringLiteral("127.0.0.1"), QStringLiteral("admin"),
            QCoro::waitFor(Secrets::encrypt(QStringLiteral("secret"))), QString::number(apiRouter.port()), false);
        const ValidateReturn direct = QCoro::waitFor(control->makeCall(OVRequestCommand::system_routerboard));
        QVERIFY(!direct.success);
        QCOMPARE(status(), direct.message);
        QVERIFY(!status().startsWith(QStringLiteral("SFTP error")));
        QVERIFY(stored().isEmpty());
        QVERIFY(m_appState->showAddDevice());
        QCOMPARE(find<QLineEdit>("passwordLineEdit")->text(), QStringLiteral("secret"));
    }

    void statusLineHugsItsMessage()
    {
        // The form in a window much taller and wider than it needs.
        m_view->resize(1100, 700);
        QTest::qWait(20);
        auto* form = find<QWidget>("formFrame");
        auto* help = find<QWidget>("helpFrame");
        const int formHeight = form->height();
        const int helpHeight = help->height();
        QCOMPARE(formHeight, form->sizeHint().height());

        click("addButton");
        QCOMPARE(status(), QStringLiteral("Please add a hostname"));
        QTest::qWait(20);
        auto* line = find<QLabel>("statusLabel");
        QVERIFY(line->isVisible());
        const QFontMetrics metrics(line->font());
        // One line of text, 5 points of padding and the outline: no more.
        QVERIFY2(line->height() <= metrics.height() + 2 * 5 + 2 + 4, qPrintable(QString::number(line->height())));
        QVERIFY2(line->width() <= metrics.horizontalAdvance(status()) + 2 * 5 + 2 + 8,
            qPrintable(QString::number(line->width())));
        // It stands under the two columns, which keep their own heights.
        QVERIFY(line->mapTo(m_view, QPoint(0, 0)).y() >= form->mapTo(m_view, QPoint(0, form->height())).y());
        QCOMPARE(form->height(), formHeight);
        QCOMPARE(help->height(), helpHeight);
    }

    void longMessageWrapsWithinTheForm()
    {
        SshServer ssh(QStringLiteral("admin"), QStringLiteral("secret"));
        QVERIFY2(ssh.start(), qPrintable(ssh.errorText()));
        FakeRestRouter restRouter;
        QVERIFY(restRouter.listen());
        const QString reason = QStringLiteral("The routerboard menu is not available to this account because its "
                                              "group lacks the read policy; ask the administrator of the router");
        restRouter.script(QStringLiteral("/system/routerboard"),
            HttpReply {400, QStringLiteral(R"({"error":400,"message":"%1"})").arg(reason).toUtf8()});
        const int widthBefore = m_view->minimumSizeHint().width();
        click("restButton");
        type("addressLineEdit", QStringLiteral("127.0.0.1"));
        type("portLineEdit", QString::number(restRouter.port()));
        type("sshPortLineEdit", QString::number(ssh.port()));
        type("passwordLineEdit", QStringLiteral("secret"));
        click("addButton");
        QTRY_VERIFY_WITH_TIMEOUT(!m_view->adding(), NetworkBound);
        QVERIFY2(status().contains(reason), qPrintable(status()));
        QTest::qWait(20);
        // The long message shows whole, with the form and its buttons still whole beside it.
        const ShownWidgets form(m_view);
        QVERIFY(form.save(QStringLiteral("adddevice-long-message.png")));
        const QString problems = form.problems({status(), "Add Device", "Cancel", "Add", "Help"});
        QVERIFY2(problems.isEmpty(), qPrintable(problems));

        auto* line = find<QLabel>("statusLabel");
        const QFontMetrics metrics(line->font());
        QVERIFY(metrics.horizontalAdvance(status()) > m_view->width());
        // Wrapped over several lines, within the width of the two columns.
        QVERIFY2(line->height() >= 2 * metrics.height(), qPrintable(QString::number(line->height())));
        const QRect columns = find<QWidget>("formFrame")->geometry().united(find<QWidget>("helpFrame")->geometry());
        QVERIFY2(line->width() <= columns.width() + 40,
            qPrintable(QStringLiteral("%1 > %2").arg(line->width()).arg(columns.width())));
        QVERIFY2(m_view->minimumSizeHint().width() <= widthBefore,
            qPrintable(QStringLiteral("%1 > %2").arg(m_view->minimumSizeHint().width()).arg(widthBefore)));
        QVERIFY(stored().isEmpty());
    }

    void cancelClosesAtOnceAndTheAttemptRunsOn()
    {
        SshServer ssh(QStringLiteral("admin"), QStringLiteral("secret"));
        FakeApiRouter apiRouter;
        startAndFill(ssh, apiRouter);
        if (QTest::currentTestFailed())
            return;
        click("addButton");
        QVERIFY(m_view->adding());
        click("cancelButton");
        QVERIFY(!m_appState->showAddDevice());
        // The window drops the form as soon as the flag clears; the user opens a new one.
        delete m_view;
        m_appState->setShowAddDevice(true);
        m_view = new AddDeviceView(*m_appState);
        m_view->show();
        type("addressLineEdit", QStringLiteral("typed meanwhile"));

        QTRY_COMPARE_WITH_TIMEOUT(stored().size(), 1, NetworkBound);
        QCOMPARE(stored().first()->address(), QStringLiteral("127.0.0.1"));
        QVERIFY(!PersistenceController::shared().hasChanges());
        // The new form stays open with what was typed into it.
        QVERIFY(m_appState->showAddDevice());
        QCOMPARE(find<QLineEdit>("addressLineEdit")->text(), QStringLiteral("typed meanwhile"));
        QCOMPARE(m_view->error(), QString());
    }

    // A form reopened after Cancel may store the same address while the first attempt still
    // waits for the router; the later one must not add a second device.
    void aConcurrentAttemptDoesNotDuplicate()
    {
        SshServer ssh(QStringLiteral("admin"), QStringLiteral("secret"));
        FakeApiRouter apiRouter;
        startAndFill(ssh, apiRouter);
        if (QTest::currentTestFailed())
            return;
        click("addButton");
        click("cancelButton");
        // This window keeps the closed form around, so the first attempt's end can be watched.
        std::unique_ptr<AddDeviceView> first(m_view.data());
        first->hide();

        Settings::instance().setValidateOnAdd(false);
        m_appState->setShowAddDevice(true);
        m_view = new AddDeviceView(*m_appState);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view));
        fillPlainApi(apiRouter.port(), ssh.port(), QStringLiteral("secret"));
        click("addButton");
        QTRY_VERIFY(!m_view->adding());
        QCOMPARE(stored().size(), 1);

        QTRY_VERIFY_WITH_TIMEOUT(!first->adding(), NetworkBound);
        QCOMPARE(first->error(), QStringLiteral("Address already exists"));
        QCOMPARE(stored().size(), 1);
    }
};

ORVANTA_WIDGET_TEST_MAIN(TestAddDeviceView)
#include "tst_adddeviceview.moc"
