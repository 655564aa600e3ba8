#include "control/OVControl.h"
#include "model/Secrets.h"
#include "support/FakeApiRouter.h"
#include "support/FakeRestRouter.h"
#include "support/TestMain.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

namespace {

QJsonDocument callOver(const QString& method, quint16 port, OVRequestCommand command)
{
    const auto control = OVControl::forControlMethod(method, false, QStringLiteral("5"), QStringLiteral("127.0.0.1"),
        QStringLiteral("admin"), QCoro::waitFor(Secrets::encrypt(QStringLiteral("secret"))), QString::number(port),
        false);
    const ValidateReturn result = QCoro::waitFor(control->makeCall(command));
    if (!result.success)
        qWarning() << method << "failed:" << result.message;
    return QJsonDocument::fromJson(result.response.value_or(QString()).toUtf8());
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
    QTest::newRow("resource") << OVRequestCommand::system_resource << RouterData::typical();
    QTest::newRow("routerboard") << OVRequestCommand::system_routerboard << RouterData::typical();
    QTest::newRow("health") << OVRequestCommand::system_health << RouterData::typical();
    QTest::newRow("health, none") << OVRequestCommand::system_health << noHealth;
    QTest::newRow("package") << OVRequestCommand::system_package << onePackage;
}

void TestControlMethods::readsGiveTheSameJson()
{
    QFETCH(OVRequestCommand, command);
    QFETCH(RouterData, data);
    FakeApiRouter api(data);
    QVERIFY(api.start());
    FakeRestRouter rest(data);
    QVERIFY(rest.listen());

    const QJsonDocument overApi = callOver(QStringLiteral("API"), api.port(), command);
    const QJsonDocument overRest = callOver(QStringLiteral("REST"), rest.port(), command);
    QVERIFY(!overApi.isNull());
    QCOMPARE(overApi, overRest);
    QCOMPARE(overRest, rest.json(rawValue(command)));
}

ORVANTA_TEST_MAIN(TestControlMethods)

#include "tst_controlmethods.moc"
