#include "control/OVControlAPI.h"
#include "control/OVControlRest.h"
#include "model/Device.h"
#include "model/PersistenceController.h"
#include "support/TestMain.h"

#include <QSet>
#include <QTemporaryDir>
#include <QTest>

class TestRequestCommand : public QObject
{
    Q_OBJECT
private slots:
    void paths_data();
    void paths();
    void onlyTheEightPathsMakeACommand_data();
    void onlyTheEightPathsMakeACommand();
    void requestMethodRawValues();
    void controlMethodChoosesTheBackEnd_data();
    void controlMethodChoosesTheBackEnd();
    void deviceValuesAreCopied();
};

void TestRequestCommand::paths_data()
{
    QTest::addColumn<OVRequestCommand>("command");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("apiWord");
    using C = OVRequestCommand;
    QTest::newRow("health") << C::system_health << "/system/health"
                            << "/system/health/print";
    QTest::newRow("package") << C::system_package << "/system/package"
                             << "/system/package/print";
    QTest::newRow("downgrade") << C::system_package_downgrade << "/system/package/downgrade"
                               << "/system/package/downgrade";
    QTest::newRow("reboot") << C::system_reboot << "/system/reboot"
                            << "/system/reboot";
    QTest::newRow("resource") << C::system_resource << "/system/resource"
                              << "/system/resource/print";
    QTest::newRow("routerboard") << C::system_routerboard << "/system/routerboard"
                                 << "/system/routerboard/print";
    QTest::newRow("firmware") << C::system_routerboard_upgrade << "/system/routerboard/upgrade"
                              << "/system/routerboard/upgrade";
    QTest::newRow("shutdown") << C::system_shutdown << "/system/shutdown"
                              << "/system/shutdown";
}

void TestRequestCommand::paths()
{
    QFETCH(OVRequestCommand, command);
    QFETCH(QString, path);
    QFETCH(QString, apiWord);
    QCOMPARE(rawValue(command), path);
    QCOMPARE(apiCommandWord(command), apiWord);
    QCOMPARE(requestCommandFromRawValue(path), std::optional<OVRequestCommand>(command));
    QCOMPARE(qHash(command, 7), qHash(path, 7));
}

void TestRequestCommand::onlyTheEightPathsMakeACommand_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("api word") << QStringLiteral("/system/routerboard/print");
    QTest::newRow("case name") << QStringLiteral("system_reboot");
    QTest::newRow("trailing slash") << QStringLiteral("/system/reboot/");
    QTest::newRow("upper case") << QStringLiteral("/System/Reboot");
    QTest::newRow("parent menu") << QStringLiteral("/system");
}

void TestRequestCommand::onlyTheEightPathsMakeACommand()
{
    QFETCH(QString, text);
    QCOMPARE(requestCommandFromRawValue(text), std::nullopt);
}

void TestRequestCommand::requestMethodRawValues()
{
    QCOMPARE(requestMethodFromRawValue(0), std::optional<OVRequestMethod>(OVRequestMethod::get));
    QCOMPARE(requestMethodFromRawValue(1), std::optional<OVRequestMethod>(OVRequestMethod::set));
    QCOMPARE(requestMethodFromRawValue(2), std::nullopt);
    QCOMPARE(requestMethodFromRawValue(-1), std::nullopt);
}

void TestRequestCommand::controlMethodChoosesTheBackEnd_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<bool>("rest");
    QTest::newRow("REST") << QStringLiteral("REST") << true;
    QTest::newRow("API") << QStringLiteral("API") << false;
    QTest::newRow("lower case rest") << QStringLiteral("rest") << false;
    QTest::newRow("empty") << QString() << false;
}

void TestRequestCommand::controlMethodChoosesTheBackEnd()
{
    QFETCH(QString, method);
    QFETCH(bool, rest);
    const auto control = OVControl::forControlMethod(method, true, QStringLiteral("3"), QStringLiteral("10.0.0.1"),
        QStringLiteral("admin"), QStringLiteral("stored"), QStringLiteral("443"), true);
    QCOMPARE(dynamic_cast<OVControlRest*>(control.get()) != nullptr, rest);
    QCOMPARE(dynamic_cast<OVControlAPI*>(control.get()) != nullptr, !rest);
    QCOMPARE(control->validSSL, true);
    QCOMPARE(control->timeout, QStringLiteral("3"));
    QCOMPARE(control->address, QStringLiteral("10.0.0.1"));
    QCOMPARE(control->password, QStringLiteral("stored"));
    QCOMPARE(control->port, QStringLiteral("443"));
}

void TestRequestCommand::deviceValuesAreCopied()
{
    QTemporaryDir dir;
    PersistenceController store(dir.filePath(QStringLiteral("Orvanta.sqlite")));
    Device* device = store.insertDevice();
    device->setAddress(QStringLiteral("192.0.2.1"));
    device->setUsername(QStringLiteral("admin"));
    device->setPassword(QStringLiteral("c3RvcmVk"));
    device->setSsl(true);
    // The port stays absent.
    const auto control = OVControl::forControlMethod(QStringLiteral("REST"), false, QString(), *device);
    QCOMPARE(control->address, QStringLiteral("192.0.2.1"));
    QCOMPARE(control->username, QStringLiteral("admin"));
    QCOMPARE(control->password, QStringLiteral("c3RvcmVk"));
    QCOMPARE(control->port, QString());
    QCOMPARE(control->ssl, true);

    // Later changes to the device do not reach an existing control object.
    device->setAddress(QStringLiteral("192.0.2.2"));
    QCOMPARE(control->address, QStringLiteral("192.0.2.1"));
}

ORVANTA_TEST_MAIN(TestRequestCommand)

#include "tst_requestcommand.moc"
