#include "control/OVControlRest.h"
#include "model/Secrets.h"
#include "support/FakeRestRouter.h"
#include "support/LocalPorts.h"
#include "support/TestMain.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QTest>

#include <vector>

Q_DECLARE_METATYPE(HttpReply)

namespace {

struct Call
{
    QString address = QStringLiteral("127.0.0.1");
    QString username = QStringLiteral("admin");
    QString password = QStringLiteral("secret");
    bool validSSL = false;
    QString timeout = QStringLiteral("5");
};

ValidateReturn run(const Call& call, quint16 port, OVRequestCommand command)
{
    OVControlRest control(call.validSSL, call.timeout, call.address, call.username,
        QCoro::waitFor(Secrets::encrypt(call.password)), QString::number(port), true);
    return QCoro::waitFor(control.makeCall(command));
}

struct TimedResult
{
    bool success = false;
    QString message;
    bool hadSession = false;
    qint64 elapsedMs = 0;
};

// One call with its own clock, so that several can run side by side. Like the application's
// callers, it keeps what the user sees and drops the rest (the session with it) as soon as the
// call returns.
QCoro::Task<TimedResult> timedCall(Call call, QString storedPassword, quint16 port, OVRequestCommand command)
{
    QElapsedTimer elapsed;
    elapsed.start();
    OVControlRest control(
        call.validSSL, call.timeout, call.address, call.username, storedPassword, QString::number(port), true);
    const ValidateReturn result = co_await control.makeCall(command);
    co_return TimedResult {result.success, result.message, bool(result.session), elapsed.elapsed()};
}

HttpReply withHeader(HttpReply reply, const QByteArray& name, const QByteArray& value)
{
    reply.headers.append({name, value});
    return reply;
}

int headerIndex(const HttpRequestRecord& request, const QByteArray& name)
{
    for (qsizetype i = 0; i < request.headers.size(); ++i) {
        if (request.headers[i].first.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

} // namespace

class TestControlRest : public QObject
{
    Q_OBJECT
private slots:
    void requestShape_data();
    void requestShape();
    void emptyPasswordStillAuthenticates();
    void readReplies_data();
    void readReplies();
    void actionReplies_data();
    void actionReplies();
    void refusedCredentialsShowTheRouterMessage();
    void unauthorizedChallengeShowsTheRouterMessage();
    void redirectsNeverLeaveTheRequest_data();
    void redirectsNeverLeaveTheRequest();
    void timeoutSetting_data();
    void timeoutSetting();
    void silentRouterEndsWithinTheTimeout();
    void stalledRoutersFailEveryCallWithinTheTimeout_data();
    void stalledRoutersFailEveryCallWithinTheTimeout();
    void transportFailures();
    void certificateTrust();
};

void TestControlRest::requestShape_data()
{
    QTest::addColumn<OVRequestCommand>("command");
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("body");
    const QByteArray query = "{\".query\":[\"\"]}";
    QTest::newRow("health") << OVRequestCommand::system_health << QByteArray("GET") << QByteArray();
    QTest::newRow("package") << OVRequestCommand::system_package << QByteArray("GET") << QByteArray();
    QTest::newRow("resource") << OVRequestCommand::system_resource << QByteArray("GET") << QByteArray();
    QTest::newRow("routerboard") << OVRequestCommand::system_routerboard << QByteArray("GET") << QByteArray();
    QTest::newRow("downgrade") << OVRequestCommand::system_package_downgrade << QByteArray("POST") << query;
    QTest::newRow("reboot") << OVRequestCommand::system_reboot << QByteArray("POST") << query;
    QTest::newRow("firmware") << OVRequestCommand::system_routerboard_upgrade << QByteArray("POST") << query;
    QTest::newRow("shutdown") << OVRequestCommand::system_shutdown << QByteArray("POST") << query;
}

void TestControlRest::requestShape()
{
    QFETCH(OVRequestCommand, command);
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, body);
    FakeRestRouter router;
    QVERIFY(router.listen());

    const ValidateReturn result = run(Call {}, router.port(), command);
    QVERIFY2(result.success, qPrintable(result.message));
    QVERIFY(result.session);
    if (method == "POST")
        QCOMPARE(result.response, std::optional<QString>(QStringLiteral("[]")));

    QCOMPARE(router.requests().size(), 1);
    const HttpRequestRecord request = router.requests().first();
    QCOMPARE(request.method, method);
    QCOMPARE(request.path, "/rest" + rawValue(command).toUtf8());
    QCOMPARE(request.body, body);
    QCOMPARE(request.header("Authorization"), QByteArray("Basic YWRtaW46c2VjcmV0"));
    QCOMPARE(request.header("Accept"), QByteArray("application/json"));
    QCOMPARE(request.header("Content-Type"), QByteArray("application/json"));
    const int authorization = headerIndex(request, "Authorization");
    const int accept = headerIndex(request, "Accept");
    const int contentType = headerIndex(request, "Content-Type");
    QVERIFY(authorization >= 0 && authorization < accept && accept < contentType);
}

void TestControlRest::emptyPasswordStillAuthenticates()
{
    FakeRestRouter router;
    router.data().password.clear();
    QVERIFY(router.listen());
    Call call;
    call.password.clear();
    const ValidateReturn result = run(call, router.port(), OVRequestCommand::system_routerboard);
    QVERIFY2(result.success, qPrintable(result.message));
    QCOMPARE(router.requests().first().header("Authorization"), "Basic " + QByteArray("admin:").toBase64());
    QCOMPARE(QJsonDocument::fromJson(result.response->toUtf8()), router.json(QStringLiteral("/system/routerboard")));
}

void TestControlRest::readReplies_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("success");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("response");
    const QString failed;
    QTest::newRow("empty array") << 200 << QByteArray("[]") << true << QString() << QStringLiteral("[]");
    QTest::newRow("plain text") << 200 << QByteArray("hello router") << true << QString()
                                << QStringLiteral("hello router");
    QTest::newRow("object without error, any status")
        << 500 << QByteArray("{\"detail\":\"x\"}") << true << QString() << QStringLiteral("{\"detail\":\"x\"}");
    QTest::newRow("error object") << 401 << QByteArray("{\"error\":401,\"message\":\"Unauthorized\"}") << false
                                  << QStringLiteral("Web-SSL error: Unauthorized") << failed;
    QTest::newRow("message before error") << 400 << QByteArray("{\"message\":\"no such item\",\"error\":400}") << false
                                          << QStringLiteral("Web-SSL error: no such item") << failed;
    QTest::newRow("error without message")
        << 400 << QByteArray("{\"error\":400}") << false << QStringLiteral("Web-SSL error: ") << failed;
    QTest::newRow("numeric message") << 200 << QByteArray("{\"error\":true,\"message\":42}") << false
                                     << QStringLiteral("Web-SSL error: 42") << failed;
    QTest::newRow("error object, 404") << 404 << QByteArray("{\"error\":404,\"message\":\"Not Found\"}") << false
                                       << QStringLiteral("Web-SSL error: Not Found") << failed;
    QTest::newRow("no content") << 204 << QByteArray() << true << QString() << QString();
    QTest::newRow("reset content") << 205 << QByteArray() << true << QString() << QString();
    QTest::newRow("invalid utf-8") << 200
                                   << QByteArray("a\xff"
                                                 "b")
                                   << true << QString() << QStringLiteral("a\uFFFDb");
}

void TestControlRest::readReplies()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, success);
    QFETCH(QString, message);
    QFETCH(QString, response);
    FakeRestRouter router;
    QVERIFY(router.listen());
    router.script(QStringLiteral("/system/resource"), HttpReply {status, body});

    const ValidateReturn result = run(Call {}, router.port(), OVRequestCommand::system_resource);
    QCOMPARE(result.success, success);
    QCOMPARE(result.message, message);
    QCOMPARE(result.response, success ? std::optional<QString>(response) : std::nullopt);
    QVERIFY(result.session);
}

void TestControlRest::actionReplies_data()
{
    QTest::addColumn<OVRequestCommand>("command");
    QTest::addColumn<HttpReply>("reply");
    QTest::addColumn<bool>("success");
    QTest::addColumn<QString>("message");
    const QByteArray unauthorized = "{\"error\":401,\"message\":\"Unauthorized\"}";
    QTest::newRow("empty array") << OVRequestCommand::system_reboot << HttpReply {200, "[]"} << true << QString();
    QTest::newRow("object without error")
        << OVRequestCommand::system_routerboard_upgrade << HttpReply {200, "{\"ret\":\"ok\"}"} << true << QString();
    QTest::newRow("unauthorized") << OVRequestCommand::system_reboot << HttpReply {401, unauthorized} << false
                                  << QStringLiteral("Web-SSL error: Unauthorized");
    // RouterOS sends a basic-authentication challenge with its 401.
    QTest::newRow("unauthorized with challenge")
        << OVRequestCommand::system_shutdown
        << withHeader(HttpReply {401, unauthorized}, "WWW-Authenticate", "Basic realm=\"router\"") << false
        << QStringLiteral("Web-SSL error: Unauthorized");
    QTest::newRow("refused") << OVRequestCommand::system_package_downgrade
                             << HttpReply {400, "{\"error\":400,\"message\":\"failure: not allowed\"}"} << false
                             << QStringLiteral("Web-SSL error: failure: not allowed");
    QTest::newRow("error without message") << OVRequestCommand::system_reboot << HttpReply {500, "{\"error\":500}"}
                                           << false << QStringLiteral("Web-SSL error: ");
}

void TestControlRest::actionReplies()
{
    QFETCH(OVRequestCommand, command);
    QFETCH(HttpReply, reply);
    QFETCH(bool, success);
    QFETCH(QString, message);
    FakeRestRouter router;
    QVERIFY(router.listen());
    router.script(rawValue(command), reply);
    const ValidateReturn result = run(Call {}, router.port(), command);
    QCOMPARE(result.success, success);
    QCOMPARE(result.message, message);
    QCOMPARE(result.response, success ? std::optional<QString>(QString::fromUtf8(reply.body)) : std::nullopt);
    QVERIFY(result.session);
    QCOMPARE(router.requests().size(), 1);

    // An empty body still fails an action: there is nothing to hand back.
    router.script(rawValue(command), HttpReply {200, {}});
    const ValidateReturn empty = run(Call {}, router.port(), command);
    QVERIFY(!empty.success);
    QVERIFY2(empty.message.startsWith(QStringLiteral("Web-SSL error: ")) && empty.message.size() > 15,
        qPrintable(empty.message));
}

void TestControlRest::unauthorizedChallengeShowsTheRouterMessage()
{
    // Some HTTP stacks answer a challenge themselves and drop the body that holds the message.
    FakeRestRouter router;
    QVERIFY(router.listen());
    router.script(QStringLiteral("/system/resource"),
        withHeader(HttpReply {401, "{\"error\":401,\"message\":\"Unauthorized\"}"}, "WWW-Authenticate",
            "Basic realm=\"router\""));
    const ValidateReturn result = run(Call {}, router.port(), OVRequestCommand::system_resource);
    QVERIFY(!result.success);
    QCOMPARE(result.message, QStringLiteral("Web-SSL error: Unauthorized"));
    QCOMPARE(router.requests().size(), 1);
}

void TestControlRest::refusedCredentialsShowTheRouterMessage()
{
    FakeRestRouter router;
    QVERIFY(router.listen());
    Call call;
    call.password = QStringLiteral("wrong");
    const ValidateReturn result = run(call, router.port(), OVRequestCommand::system_resource);
    QVERIFY(!result.success);
    QCOMPARE(result.message, QStringLiteral("Web-SSL error: Unauthorized"));
    QCOMPARE(result.response, std::nullopt);
}

void TestControlRest::timeoutSetting_data()
{
    QTest::addColumn<QString>("timeout");
    QTest::addColumn<int>("milliseconds");
    QTest::newRow("empty") << QString() << 10000;
    QTest::newRow("zero") << QStringLiteral("0") << 10000;
    QTest::newRow("three") << QStringLiteral("3") << 3000;
    QTest::newRow("fraction") << QStringLiteral("2.5") << 2500;
    QTest::newRow("small fraction") << QStringLiteral("0.0001") << 1;
    QTest::newRow("not a number") << QStringLiteral("ten") << 10000;
    QTest::newRow("negative") << QStringLiteral("-4") << 10000;
    QTest::newRow("comma decimal") << QStringLiteral("2,5") << 10000;
}

void TestControlRest::timeoutSetting()
{
    QFETCH(QString, timeout);
    QFETCH(int, milliseconds);
    QCOMPARE(OVControlRest::timeoutMilliseconds(timeout), milliseconds);

    // The session that carried the call has that time-out.
    FakeRestRouter router;
    QVERIFY(router.listen());
    Call call;
    call.timeout = timeout;
    const ValidateReturn result = run(call, router.port(), OVRequestCommand::system_package);
    if (milliseconds >= 1000) {
        QVERIFY2(result.success, qPrintable(result.message));
        QCOMPARE(result.session->timeoutMilliseconds, milliseconds);
    }
}

void TestControlRest::silentRouterEndsWithinTheTimeout()
{
    FakeRestRouter router;
    QVERIFY(router.listen());
    HttpReply silent;
    silent.silent = true;
    router.script(QStringLiteral("/system/health"), silent);
    Call call;
    call.timeout = QStringLiteral("1");
    QElapsedTimer elapsed;
    elapsed.start();
    const ValidateReturn result = run(call, router.port(), OVRequestCommand::system_health);
    QVERIFY(elapsed.elapsed() < 4000);
    QVERIFY(!result.success);
    QCOMPARE(result.message, QStringLiteral("Web-SSL error: The request timed out."));
    QVERIFY(result.session);
}

void TestControlRest::transportFailures()
{
    // A port where nobody listens.
    const quint16 closed = LocalPorts::closed();
    const ValidateReturn refused = run(Call {}, closed, OVRequestCommand::system_resource);
    QVERIFY(!refused.success);
    QVERIFY2(refused.message.startsWith(QStringLiteral("Web-SSL error: ")) && refused.message.size() > 15,
        qPrintable(refused.message));
    QVERIFY(refused.session);

    // A connection closed without any answer.
    FakeRestRouter router;
    QVERIFY(router.listen());
    HttpReply hangUp;
    hangUp.closeWithoutReply = true;
    router.script(QStringLiteral("/system/package"), hangUp);
    const ValidateReturn dropped = run(Call {}, router.port(), OVRequestCommand::system_package);
    QVERIFY(!dropped.success);
    QVERIFY2(dropped.message.startsWith(QStringLiteral("Web-SSL error: ")) && dropped.message.size() > 15,
        qPrintable(dropped.message));

    // An address that does not make a URL.
    Call bad;
    bad.address = QStringLiteral("bad host/name");
    const ValidateReturn invalid = run(bad, router.port(), OVRequestCommand::system_package);
    QVERIFY(!invalid.success);
    QVERIFY2(
        invalid.message.startsWith(QStringLiteral("Web-SSL error: URL is not valid")), qPrintable(invalid.message));
    QVERIFY(invalid.session);
}

void TestControlRest::certificateTrust()
{
    FakeRestRouter router;
    QVERIFY(router.listen());
    Call call;
    call.address = QStringLiteral("localhost");

    // Self-signed and unknown: accepted only while the check is off.
    call.validSSL = false;
    QVERIFY(run(call, router.port(), OVRequestCommand::system_resource).success);
    call.validSSL = true;
    const ValidateReturn refused = run(call, router.port(), OVRequestCommand::system_resource);
    QVERIFY(!refused.success);
    QVERIFY2(refused.message.startsWith(QStringLiteral("Web-SSL error: ")) && refused.message.size() > 15,
        qPrintable(refused.message));
    QCOMPARE(refused.response, std::nullopt);
    // Ignoring errors for one call must not leak into the next.
    call.validSSL = false;
    QVERIFY(run(call, router.port(), OVRequestCommand::system_resource).success);

    // Trusted certificate: accepted, but only under a name it carries. This changes the process's
    // trust, so it comes last.
    FakeRestRouter nameOnly(RouterData::typical(), false);
    QVERIFY(nameOnly.listen());
    nameOnly.certificates().trustForProcess();
    call.validSSL = true;
    const ValidateReturn trusted = run(call, nameOnly.port(), OVRequestCommand::system_resource);
    QVERIFY2(trusted.success, qPrintable(trusted.message));
    call.address = QStringLiteral("127.0.0.1");
    const ValidateReturn wrongName = run(call, nameOnly.port(), OVRequestCommand::system_resource);
    QVERIFY(!wrongName.success);
    QVERIFY(wrongName.message.startsWith(QStringLiteral("Web-SSL error: ")));
}

void TestControlRest::redirectsNeverLeaveTheRequest_data()
{
    QTest::addColumn<OVRequestCommand>("command");
    QTest::addColumn<int>("status");
    // "other" is another server on the same address; "self" is the router itself.
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("path");
    QTest::newRow("read to another port") << OVRequestCommand::system_resource << 302 << QStringLiteral("other")
                                          << QStringLiteral("/rest/system/resource");
    QTest::newRow("read to another host name")
        << OVRequestCommand::system_resource << 301 << QStringLiteral("localhost")
        << QStringLiteral("/rest/system/resource");
    QTest::newRow("read to another path")
        << OVRequestCommand::system_package << 307 << QStringLiteral("self") << QStringLiteral("/rest/system/resource");
    QTest::newRow("action to another port, keeping the method")
        << OVRequestCommand::system_reboot << 307 << QStringLiteral("other") << QStringLiteral("/rest/system/reboot");
    QTest::newRow("action to itself") << OVRequestCommand::system_reboot << 302 << QStringLiteral("self")
                                      << QStringLiteral("/rest/system/reboot");
    QTest::newRow("action answered with see-other")
        << OVRequestCommand::system_shutdown << 303 << QStringLiteral("self")
        << QStringLiteral("/rest/system/shutdown");
}

void TestControlRest::redirectsNeverLeaveTheRequest()
{
    QFETCH(OVRequestCommand, command);
    QFETCH(int, status);
    QFETCH(QString, target);
    QFETCH(QString, path);
    FakeRestRouter router;
    FakeRestRouter other;
    QVERIFY(router.listen());
    QVERIFY(other.listen());
    const quint16 targetPort = target == QLatin1String("other") ? other.port() : router.port();
    const QString host = target == QLatin1String("localhost") ? target : QStringLiteral("127.0.0.1");
    const QString location = QStringLiteral("https://%1:%2%3").arg(host).arg(targetPort).arg(path);
    router.script(rawValue(command), withHeader(HttpReply {status, "moved"}, "Location", location.toUtf8()));

    const ValidateReturn result = run(Call {}, router.port(), command);
    QVERIFY(!result.success);
    QVERIFY2(result.message.startsWith(QStringLiteral("Web-SSL error: ")) && result.message.size() > 15,
        qPrintable(result.message));
    QCOMPARE(result.response, std::nullopt);
    // The redirect's target never sees the request, nor the router's password; the router sees it once.
    QCOMPARE(other.requests().size(), 0);
    QCOMPARE(router.requests().size(), 1);
}

void TestControlRest::stalledRoutersFailEveryCallWithinTheTimeout_data()
{
    QTest::addColumn<HttpReply>("reply");
    HttpReply silent;
    silent.silent = true;
    QTest::newRow("silent") << silent;
    // The headers, then one byte of a long body every half second: never silent for long.
    HttpReply trickle {200, QByteArray(200, 'x')};
    trickle.pieceSize = 1;
    trickle.pieceIntervalMs = 500;
    QTest::newRow("trickle") << trickle;
}

void TestControlRest::stalledRoutersFailEveryCallWithinTheTimeout()
{
    QFETCH(HttpReply, reply);
    FakeRestRouter router;
    QVERIFY(router.listen());
    router.script(QStringLiteral("/system/resource"), reply);
    router.script(QStringLiteral("/system/reboot"), reply);
    Call call;
    call.timeout = QStringLiteral("2");
    const QString stored = QCoro::waitFor(Secrets::encrypt(call.password));

    // Twenty calls, five at a time, reads and actions alike.
    for (int round = 0; round < 4; ++round) {
        std::vector<QCoro::Task<TimedResult>> calls;
        for (int i = 0; i < 5; ++i) {
            const auto command = i % 2 ? OVRequestCommand::system_reboot : OVRequestCommand::system_resource;
            calls.push_back(timedCall(call, stored, router.port(), command));
        }
        for (auto& task : calls) {
            const TimedResult timed = QCoro::waitFor(std::move(task));
            QVERIFY(!timed.success);
            QCOMPARE(timed.message, QStringLiteral("Web-SSL error: The request timed out."));
            QVERIFY2(timed.elapsedMs >= 1900 && timed.elapsedMs < 6000, qPrintable(QString::number(timed.elapsedMs)));
            QVERIFY(timed.hadSession);
        }
    }
}

ORVANTA_TEST_MAIN(TestControlRest)

#include "tst_controlrest.moc"
