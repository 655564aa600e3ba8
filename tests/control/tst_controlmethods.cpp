#include "control/OVControl.h"
#include "model/Secrets.h"
#include "support/FakeApiRouter.h"
#include "support/FakeRestRouter.h"
#include "support/TestMain.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

namespace {

QJsonDocument callOver(const QString& method, bool ssl, quint16 port, OVRequestCommand command)
{
    const auto control = OVControl::forControlMethod(method, false, QStringLiteral("5"), QStringLiteral("127.0.0.1"),
        QStringLiteral("admin"), QCoro::waitFor(Secrets::encrypt(QStringLiteral("secret"))), QString::number(port),
        ssl);
    const ValidateReturn result = QCoro::waitFor(control->makeCall(command));
    if (!result.success)
        qWarning() << method << ssl << "failed:" << result.message;
    return QJsonDocument::fromJson(result.response.value_or(QString()).toUtf8());
}

// A router with more packages than the usual two, the RouterOS one not first.
RouterData manyPackages()
{
    RouterData data = RouterData::typical();
    data.rows["/system/package"] = {
        {{".id", "*4"}, {"name", "container"}, {"version", "7.12"}, {"disabled", "false"}},
        {{".id", "*1"}, {"name", "routeros"}, {"version", "7.12"}, {"build-time", "2023-10-30 10:02:38"}},
        {{".id", "*2"}, {"name", "wifiwave2"}, {"version", "7.12"}, {"disabled", "true"}},
        {{".id", "*3"}, {"name", "zerotier"}, {"version", "7.12"}, {"disabled", "false"}},
    };
    return data;
}

} // namespace

// Whatever reads a reply must not care which method carried it.
class TestControlMethods : public QObject
{
    Q_OBJECT
private slots:
    void readsGiveTheSameJson_data();
    void readsGiveTheSameJson();
};

void TestControlMethods::readsGiveTheSameJson_data()
{
    QTest::addColumn<OVRequestCommand>("command");
    QTest::addColumn<RouterData>("data");
    RouterData onePackage = RouterData::typical();
    onePackage.rows["/system/package"].removeLast();
    RouterData noHealth = RouterData::typical();
    noHealth.rows["/system/health"].clear();
    QTest::newRow("resource") << OVRequestCommand::system_resource << manyPackages();
    QTest::newRow("routerboard") << OVRequestCommand::system_routerboard << manyPackages();
    QTest::newRow("health") << OVRequestCommand::system_health << manyPackages();
    QTest::newRow("health, none") << OVRequestCommand::system_health << noHealth;
    QTest::newRow("package, several") << OVRequestCommand::system_package << manyPackages();
    QTest::newRow("package, typical") << OVRequestCommand::system_package << RouterData::typical();
    QTest::newRow("package, one") << OVRequestCommand::system_package << onePackage;
}

void TestControlMethods::readsGiveTheSameJson()
{
    QFETCH(OVRequestCommand, command);
    QFETCH(RouterData, data);
    FakeApiRouter api(data);
    QVERIFY(api.start());
    FakeApiRouter apiTls(data, {.tls = true});
    QVERIFY(apiTls.start());
    FakeRestRouter rest(data);
    QVERIFY(rest.listen());

    const QJsonDocument overRest = callOver(QStringLiteral("REST"), true, rest.port(), command);
    QCOMPARE(overRest, rest.json(rawValue(command)));
    QVERIFY(!overRest.isNull());
    const QJsonDocument overApi = callOver(QStringLiteral("API"), false, api.port(), command);
    QCOMPARE(overApi, overRest);
    const QJsonDocument overApiTls = callOver(QStringLiteral("API"), true, apiTls.port(), command);
    QCOMPARE(overApiTls, overRest);
}

ORVANTA_TEST_MAIN(TestControlMethods)

#include "tst_controlmethods.moc"
