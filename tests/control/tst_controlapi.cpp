#include "control/OVControlAPI.h"
#include "model/Secrets.h"
#include "support/FakeApiRouter.h"
#include "support/LocalPorts.h"
#include "support/TestMain.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {

struct Call
{
    QString username = QStringLiteral("admin");
    QString password = QStringLiteral("secret");
    QString port; // the router's when empty
    bool ssl = false;
    bool validSSL = false;
    QString timeout = QStringLiteral("5");
};

ValidateReturn run(const Call& call, quint16 routerPort, OVRequestCommand command)
{
    OVControlAPI control(call.validSSL, call.timeout, QStringLiteral("127.0.0.1"), call.username,
        QCoro::waitFor(Secrets::encrypt(call.password)), call.port.isNull() ? QString::number(routerPort) : call.port,
        call.ssl);
    return QCoro::waitFor(control.makeCall(command));
}

QJsonObject object(const RouterData::Row& row)
{
    QJsonObject result;
    for (auto it = row.cbegin(); it != row.cend(); ++it)
        result.insert(it.key(), it.value());
    return result;
}

QJsonDocument parsed(const ValidateReturn& result)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(result.response.value_or(QString()).toUtf8(), &error);
    if (error.error != QJsonParseError::NoError)
        qWarning() << "not JSON:" << result.response.value_or(QString());
    return document;
}

FakeApiReply make(const QByteArray& bytes)
{
    FakeApiReply reply;
    reply.bytes = bytes;
    return reply;
}

const QStringList fixedMessages {QStringLiteral("Error during login: "), QStringLiteral("API usage error: "),
    QStringLiteral("Missing Parameter in API call: ")};

} // namespace

class TestControlAPI : public QObject
{
    Q_OBJECT
private slots:
    void readReplyShapes();
    void packageKeepsOnlyTheFirstRow();
    void emptyRepliesAreAnEmptyArray_data();
    void emptyRepliesAreAnEmptyArray();
    void actionsSendTheBarePath_data();
    void actionsSendTheBarePath();
    void trapCountsAsAReply();
    void errorMessages_data();
    void errorMessages();
    void socketFailuresKeepTheirDescription();
    void tlsTrust();
};

void TestControlAPI::readReplyShapes()
{
    const RouterData data = RouterData::typical();
    FakeApiRouter router(data);
    QVERIFY(router.start());

    const ValidateReturn resource = run(Call {}, router.port(), OVRequestCommand::system_resource);
    QVERIFY2(resource.success, qPrintable(resource.message));
    QCOMPARE(resource.message, QString());
    QVERIFY(!resource.session);
    // Pretty-printed, as the stored health text is.
    QVERIFY(resource.response->contains(QLatin1Char('\n')));
    QCOMPARE(parsed(resource).object(), object(data.rows.value("/system/resource").first()));

    const ValidateReturn board = run(Call {}, router.port(), OVRequestCommand::system_routerboard);
    QCOMPARE(parsed(board).object(), object(data.rows.value("/system/routerboard").first()));

    const ValidateReturn health = run(Call {}, router.port(), OVRequestCommand::system_health);
    QJsonArray readings;
    for (const auto& row : data.rows.value("/system/health"))
        readings.append(object(row));
    QCOMPARE(parsed(health).array(), readings);

    QCOMPARE(router.receivedSentences().last().first(), QStringLiteral("/system/health/print"));
}

void TestControlAPI::packageKeepsOnlyTheFirstRow()
{
    RouterData data = RouterData::typical();
    FakeApiRouter router(data);
    QVERIFY(router.start());
    const ValidateReturn first = run(Call {}, router.port(), OVRequestCommand::system_package);
    QCOMPARE(parsed(first).array(), QJsonArray {object(data.rows["/system/package"].at(0))});

    std::swap(data.rows["/system/package"][0], data.rows["/system/package"][1]);
    router.setData(data);
    const ValidateReturn swapped = run(Call {}, router.port(), OVRequestCommand::system_package);
    QCOMPARE(parsed(swapped).array(), QJsonArray {object(data.rows["/system/package"].at(0))});
    QCOMPARE(parsed(swapped).array().first()[QLatin1String("name")].toString(), QStringLiteral("wifiwave2"));
}

void TestControlAPI::emptyRepliesAreAnEmptyArray_data()
{
    QTest::addColumn<OVRequestCommand>("command");
    QTest::addColumn<bool>("emptyWord");
    QTest::newRow("health") << OVRequestCommand::system_health << false;
    QTest::newRow("health, !empty") << OVRequestCommand::system_health << true;
    QTest::newRow("package") << OVRequestCommand::system_package << true;
    QTest::newRow("resource") << OVRequestCommand::system_resource << false;
}

void TestControlAPI::emptyRepliesAreAnEmptyArray()
{
    QFETCH(OVRequestCommand, command);
    QFETCH(bool, emptyWord);
    RouterData data = RouterData::typical();
    data.rows[rawValue(command)].clear();
    FakeApiRouter::Options options;
    options.emptyWord = emptyWord;
    FakeApiRouter router(data, options);
    QVERIFY(router.start());
    const ValidateReturn result = run(Call {}, router.port(), command);
    QVERIFY2(result.success, qPrintable(result.message));
    QCOMPARE(result.response, std::optional<QString>(QStringLiteral("[]")));
}

void TestControlAPI::actionsSendTheBarePath_data()
{
    QTest::addColumn<OVRequestCommand>("command");
    QTest::newRow("downgrade") << OVRequestCommand::system_package_downgrade;
    QTest::newRow("reboot") << OVRequestCommand::system_reboot;
    QTest::newRow("firmware") << OVRequestCommand::system_routerboard_upgrade;
    QTest::newRow("shutdown") << OVRequestCommand::system_shutdown;
}

void TestControlAPI::actionsSendTheBarePath()
{
    QFETCH(OVRequestCommand, command);
    FakeApiRouter router;
    QVERIFY(router.start());
    const ValidateReturn result = run(Call {}, router.port(), command);
    QVERIFY2(result.success, qPrintable(result.message));
    QCOMPARE(result.response, std::optional<QString>(QStringLiteral("[]")));
    QCOMPARE(router.receivedSentences().last(), QStringList {rawValue(command)});
}

void TestControlAPI::trapCountsAsAReply()
{
    FakeApiRouter router;
    QVERIFY(router.start());
    const QByteArray trap = FakeApiRouter::sentence({QStringLiteral("!trap"), QStringLiteral("=category=0"),
                                QStringLiteral("=message=no such command")})
        + FakeApiRouter::sentence({QStringLiteral("!done")});
    router.setReply(QStringLiteral("/system/resource/print"), make(trap));
    router.setReply(QStringLiteral("/system/package/print"), make(trap));

    const ValidateReturn resource = run(Call {}, router.port(), OVRequestCommand::system_resource);
    QVERIFY2(resource.success, qPrintable(resource.message));
    QCOMPARE(parsed(resource).object(), (QJsonObject {{QStringLiteral("category"), QStringLiteral("0")}}));
    const ValidateReturn package = run(Call {}, router.port(), OVRequestCommand::system_package);
    QCOMPARE(parsed(package).array(), (QJsonArray {QJsonObject {{QStringLiteral("category"), QStringLiteral("0")}}}));
}

void TestControlAPI::errorMessages_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("probeAttributes");
    QTest::addColumn<QByteArray>("replyBytes");
    QTest::addColumn<QString>("message");
    const QString login = QStringLiteral("Error during login: ");
    const QString usage = QStringLiteral("API usage error: ");
    const QString parameter = QStringLiteral("Missing Parameter in API call: ");
    const QString good = QStringLiteral("secret");
    QTest::newRow("refused password") << QStringLiteral("wrong") << QString() << 1 << QByteArray() << login;
    QTest::newRow("probe without attribute") << good << QString() << 0 << QByteArray() << login;
    QTest::newRow("probe with two attributes") << good << QString() << 2 << QByteArray() << login;
    QTest::newRow("closed before the reply ends")
        << good << QString() << 1 << FakeApiRouter::sentence({QStringLiteral("!re"), QStringLiteral("=a=b")}) << usage;
    QTest::newRow("port not a number") << good << QStringLiteral("87x8") << 1 << QByteArray() << parameter;
    QTest::newRow("port empty") << good << QStringLiteral("") << 1 << QByteArray() << parameter;
    QTest::newRow("port with blank") << good << QStringLiteral(" 8728") << 1 << QByteArray() << parameter;
}

void TestControlAPI::errorMessages()
{
    QFETCH(QString, password);
    QFETCH(QString, port);
    QFETCH(int, probeAttributes);
    QFETCH(QByteArray, replyBytes);
    QFETCH(QString, message);
    FakeApiRouter::Options options;
    options.probeAttributes = probeAttributes;
    FakeApiRouter router(RouterData::typical(), options);
    QVERIFY(router.start());
    if (!replyBytes.isEmpty()) {
        FakeApiReply reply = make(replyBytes);
        reply.close = true;
        router.setReply(QStringLiteral("/system/resource/print"), reply);
    }
    Call call;
    call.password = password;
    call.port = port;
    const ValidateReturn result = run(call, router.port(), OVRequestCommand::system_resource);
    QVERIFY(!result.success);
    QCOMPARE(result.message, message);
    QCOMPARE(result.response, std::nullopt);
    QVERIFY(!result.session);
}

void TestControlAPI::socketFailuresKeepTheirDescription()
{
    const quint16 closed = LocalPorts::closed();
    const ValidateReturn refused = run(Call {}, closed, OVRequestCommand::system_resource);
    QVERIFY(!refused.success);
    QVERIFY(!refused.message.isEmpty());
    QVERIFY2(!fixedMessages.contains(refused.message), qPrintable(refused.message));

    // A router that never answers: the call fails within a bound.
    FakeApiRouter router;
    QVERIFY(router.start());
    FakeApiReply silent;
    silent.silent = true;
    router.setReply(QStringLiteral("/system/health/print"), silent);
    Call call;
    call.timeout = QStringLiteral("1");
    QElapsedTimer elapsed;
    elapsed.start();
    const ValidateReturn timedOut = run(call, router.port(), OVRequestCommand::system_health);
    QVERIFY(elapsed.elapsed() < 5000);
    QVERIFY(!timedOut.success);
    QVERIFY(!timedOut.message.isEmpty());
}

void TestControlAPI::tlsTrust()
{
    FakeApiRouter::Options options;
    options.tls = true;
    FakeApiRouter router(RouterData::typical(), options);
    QVERIFY(router.start());
    Call call;
    call.ssl = true;
    const ValidateReturn accepted = run(call, router.port(), OVRequestCommand::system_routerboard);
    QVERIFY2(accepted.success, qPrintable(accepted.message));
    call.validSSL = true;
    const ValidateReturn refused = run(call, router.port(), OVRequestCommand::system_routerboard);
    QVERIFY(!refused.success);
    QVERIFY2(!refused.message.isEmpty() && !fixedMessages.contains(refused.message), qPrintable(refused.message));
}

ORVANTA_TEST_MAIN(TestControlAPI)

#include "tst_controlapi.moc"
