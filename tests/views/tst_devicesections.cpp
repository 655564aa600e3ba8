#include "support/TestMain.h"
#include "support/WidgetInput.h"
#include "views/DeviceFormState.h"
#include "views/OVDevControl.h"
#include "views/OVDevCredentials.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

// The credential and control-method rows, bound to a form state the test owns as a parent form
// would, driven through their widgets.
class TestDeviceSections : public QObject
{
    Q_OBJECT

private:
    struct Form
    {
        std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
        DeviceFormState* state = new DeviceFormState(window.get());
        OVDevCredentials* credentials = nullptr;
        OVDevControl* control = nullptr;

        template<typename T>
        T* find(const char* name) const
        {
            return WidgetInput::find<T>(window.get(), name);
        }
    };

    // The add form's starting values: API over TLS.
    static std::unique_ptr<Form> makeForm(const QString& method = QStringLiteral("API"), bool ssl = true)
    {
        auto form = std::make_unique<Form>();
        form->state->setControlMethod(method);
        form->state->setSsl(ssl);
        form->state->setPort(method == QLatin1String("REST") ? QStringLiteral("443")
                                                             : (ssl ? QStringLiteral("8729") : QStringLiteral("8728")));
        form->state->setServiceName(method == QLatin1String("REST")
                ? QStringLiteral("Web-SSL")
                : (ssl ? QStringLiteral("API-SSL") : QStringLiteral("API")));
        form->state->setSshport(QStringLiteral("22"));
        auto* layout = new QVBoxLayout(form->window.get());
        form->credentials = new OVDevCredentials(*form->state, 95, Qt::transparent, form->window.get());
        form->control = new OVDevControl(*form->state, 95, Qt::transparent, form->window.get());
        layout->addWidget(form->credentials);
        layout->addWidget(form->control);
        form->window->show();
        if (!QTest::qWaitForWindowExposed(form->window.get()))
            qFatal("window not exposed");
        return form;
    }

    static void retype(QLineEdit* field, const QString& text) { WidgetInput::retype(field, text); }

private slots:
    void typedPortsKeepDigitsOnly_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        for (const char* field : {"portLineEdit", "sshPortLineEdit"}) {
            const QString name = QString::fromLatin1(field);
            QTest::addRow("%s: lone zero", field) << name << ""
                                                  << "0"
                                                  << "";
            QTest::addRow("%s: zero after a digit", field) << name << ""
                                                           << "80"
                                                           << "80";
            QTest::addRow("%s: letter refused", field) << name << "87"
                                                       << "x"
                                                       << "87";
            QTest::addRow("%s: zero typed first", field) << name << ""
                                                         << "08"
                                                         << "8";
            QTest::addRow("%s: mixed typing", field) << name << ""
                                                     << "8a7 2-9"
                                                     << "8729";
        }
    }

    void typedPortsKeepDigitsOnly()
    {
        QFETCH(QString, field);
        QFETCH(QString, before);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        auto form = makeForm();
        auto* edit = form->find<QLineEdit>(field.toLatin1().constData());
        retype(edit, before);
        QTest::keyClicks(edit, typed);
        QCOMPARE(edit->text(), expected);
        const QString stored = field == QLatin1String("portLineEdit") ? form->state->port() : form->state->sshport();
        QCOMPARE(stored, expected);
        QCOMPARE(edit->cursorPosition(), expected.size());
    }

    // Only a lone "0" goes: one put in front of other digits stays for the form check to refuse.
    void zeroInFrontStays()
    {
        auto form = makeForm();
        auto* edit = form->find<QLineEdit>("sshPortLineEdit");
        retype(edit, QStringLiteral("8"));
        QTest::keyClick(edit, Qt::Key_Home);
        QTest::keyClicks(edit, QStringLiteral("0"));
        QCOMPARE(edit->text(), QStringLiteral("08"));
        QCOMPARE(form->state->sshport(), QStringLiteral("08"));
    }

    void pastedPortKeepsItsDigits()
    {
        auto form = makeForm();
        auto* edit = form->find<QLineEdit>("portLineEdit");
        QGuiApplication::clipboard()->setText(QStringLiteral(" 8 7a2 9 "));
        if (QGuiApplication::clipboard()->text() != QLatin1String(" 8 7a2 9 "))
            QSKIP("no clipboard on this platform");
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit->text(), QStringLiteral("8729"));
        QCOMPARE(form->state->port(), QStringLiteral("8729"));
    }

    void pickingAMethodResetsPortNameAndSsl_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<bool>("ssl");
        QTest::addColumn<QString>("picked");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("serviceName");
        QTest::addColumn<bool>("sslRowEnabled");
        QTest::newRow("API with SSL to REST") << "API" << true << "restButton"
                                              << "443"
                                              << "Web-SSL" << false;
        QTest::newRow("API without SSL to REST") << "API" << false << "restButton"
                                                 << "443"
                                                 << "Web-SSL" << false;
        QTest::newRow("REST to API") << "REST" << true << "apiButton"
                                     << "8729"
                                     << "API-SSL" << true;
    }

    void pickingAMethodResetsPortNameAndSsl()
    {
        QFETCH(QString, method);
        QFETCH(bool, ssl);
        QFETCH(QString, picked);
        QFETCH(QString, port);
        QFETCH(QString, serviceName);
        QFETCH(bool, sslRowEnabled);
        auto form = makeForm(method, ssl);
        auto* portEdit = form->find<QLineEdit>("portLineEdit");
        // A port typed by hand does not survive a change of method.
        retype(portEdit, QStringLiteral("1234"));
        QTest::mouseClick(form->find<QPushButton>(picked.toLatin1().constData()), Qt::LeftButton);

        QCOMPARE(form->state->controlMethod(), picked == QLatin1String("restButton") ? "REST" : "API");
        QVERIFY(form->state->ssl());
        QVERIFY(form->find<QCheckBox>("sslCheckBox")->isChecked());
        QCOMPARE(form->state->port(), port);
        QCOMPARE(portEdit->text(), port);
        QCOMPARE(form->state->serviceName(), serviceName);
        QCOMPARE(form->find<QLabel>("portLabel")->text(), serviceName + " Port");
        QCOMPARE(portEdit->placeholderText(), serviceName + " Port");
        QCOMPARE(form->find<QWidget>("sslRowWidget")->isEnabled(), sslRowEnabled);
        QVERIFY(form->find<QPushButton>(picked.toLatin1().constData())->isChecked());
    }

    void pickingTheSelectedMethodChangesNothing()
    {
        auto form = makeForm(QStringLiteral("API"), false);
        auto* portEdit = form->find<QLineEdit>("portLineEdit");
        retype(portEdit, QStringLiteral("1234"));
        QSignalSpy changes(form->state, &DeviceFormState::changed);
        QTest::mouseClick(form->find<QPushButton>("apiButton"), Qt::LeftButton);
        QCOMPARE(changes.count(), 0);
        QCOMPARE(form->state->port(), QStringLiteral("1234"));
        QVERIFY(!form->state->ssl());
        QVERIFY(form->find<QPushButton>("apiButton")->isChecked());
        QVERIFY(!form->find<QPushButton>("restButton")->isChecked());
    }

    void flippingSslSetsTheApiPort()
    {
        auto form = makeForm();
        auto* portEdit = form->find<QLineEdit>("portLineEdit");
        auto* ssl = form->find<QCheckBox>("sslCheckBox");
        retype(portEdit, QStringLiteral("1234"));
        QTest::mouseClick(ssl, Qt::LeftButton);
        QVERIFY(!form->state->ssl());
        QCOMPARE(portEdit->text(), QStringLiteral("8728"));
        QCOMPARE(form->state->serviceName(), QStringLiteral("API"));
        QCOMPARE(form->find<QLabel>("portLabel")->text(), QStringLiteral("API Port"));

        retype(portEdit, QStringLiteral("99"));
        QTest::mouseClick(ssl, Qt::LeftButton);
        QVERIFY(form->state->ssl());
        QCOMPARE(portEdit->text(), QStringLiteral("8729"));
        QCOMPARE(form->state->serviceName(), QStringLiteral("API-SSL"));
    }

    void sslCannotBeOperatedUnderRest()
    {
        auto form = makeForm(QStringLiteral("REST"), true);
        auto* ssl = form->find<QCheckBox>("sslCheckBox");
        QVERIFY(!ssl->isEnabled());
        QTest::mouseClick(ssl, Qt::LeftButton);
        QVERIFY(ssl->isChecked());
        QVERIFY(form->state->ssl());
        QCOMPARE(form->state->port(), QStringLiteral("443"));
    }

    // Values the parent loads are shown as they are: no rule and no filter runs on them.
    void parentWritesRunNoRule()
    {
        auto form = makeForm();
        form->state->setSsl(false);
        form->state->setControlMethod(QStringLiteral("REST"));
        form->state->setPort(QStringLiteral("0"));
        form->state->setSshport(QStringLiteral("2a2"));
        form->state->setServiceName(QStringLiteral("API"));
        QCOMPARE(form->find<QLineEdit>("portLineEdit")->text(), QStringLiteral("0"));
        QCOMPARE(form->find<QLineEdit>("sshPortLineEdit")->text(), QStringLiteral("2a2"));
        QVERIFY(!form->state->ssl());
        QVERIFY(!form->find<QCheckBox>("sslCheckBox")->isChecked());
        QCOMPARE(form->find<QLabel>("portLabel")->text(), QStringLiteral("API Port"));
        QVERIFY(form->find<QPushButton>("restButton")->isChecked());
        QVERIFY(!form->find<QWidget>("sslRowWidget")->isEnabled());

        // A stored method that is neither segment selects neither.
        form->state->setControlMethod(QStringLiteral("api"));
        QVERIFY(!form->find<QPushButton>("restButton")->isChecked());
        QVERIFY(!form->find<QPushButton>("apiButton")->isChecked());
        QVERIFY(form->find<QWidget>("sslRowWidget")->isEnabled());
    }

    void credentialsWriteThroughAndMaskThePassword()
    {
        auto form = makeForm();
        auto* address = form->find<QLineEdit>("addressLineEdit");
        auto* username = form->find<QLineEdit>("usernameLineEdit");
        auto* password = form->find<QLineEdit>("passwordLineEdit");
        QCOMPARE(address->placeholderText(), QStringLiteral("IP or hostname"));
        QCOMPARE(password->echoMode(), QLineEdit::Password);

        retype(address, QStringLiteral(" router.lan "));
        retype(username, QStringLiteral("ops"));
        retype(password, QStringLiteral("s3 cret"));
        QCOMPARE(form->state->address(), QStringLiteral(" router.lan "));
        QCOMPARE(form->state->username(), QStringLiteral("ops"));
        QCOMPARE(form->state->password(), QStringLiteral("s3 cret"));
        QVERIFY(!password->displayText().contains(QStringLiteral("s3")));

        form->state->setAddress(QStringLiteral("10.0.0.9"));
        QCOMPARE(address->text(), QStringLiteral("10.0.0.9"));
    }
};

ORVANTA_WIDGET_TEST_MAIN(TestDeviceSections)
#include "tst_devicesections.moc"
