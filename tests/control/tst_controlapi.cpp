#include "control/OVControlAPI.h"
#include "model/Device.h"
#include "model/PersistenceController.h"
#include "model/Secrets.h"
#include "support/FakeApiRouter.h"
#include "support/LocalPorts.h"
#include "support/RouterDevice.h"
#include "support/TestMain.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <memory>

namespace {

// The same case over plain TCP and over TLS.
void addTransportRows()
{
    QTest::addColumn<bool>("tls");
    QTest::newRow("plain") << false;
    QTest::newRow("TLS") << true;
}

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

// Calls started together: how many of the silent ones have ended so far.
struct Race
{
    int silentEnded = 0;
};

// One call started without waiting for it; `done` and the result are filled when it ends.
struct Pending
{
    bool silent = false;
    bool done = false;
    ValidateReturn result;
    QElapsedTimer sinceStart;
    qint64 elapsed = -1;
    int silentEndedBefore = -1; // how many silent calls had ended when this one ended
};

QCoro::Task<> startCall(std::shared_ptr<OVControl> control, OVRequestCommand command, std::shared_ptr<Pending> pending,
    std::shared_ptr<Race> race)
{
    pending->sinceStart.start();
    pending->result = co_await control->makeCall(command);
    pending->elapsed = pending->sinceStart.elapsed();
    pending->silentEndedBefore = race->silentEnded;
    if (pending->silent)
        ++race->silentEnded;
    pending->done = true;
}

std::shared_ptr<OVControl> controlFor(const Call& call, quint16 routerPort)
{
    return std::make_shared<OVControlAPI>(call.validSSL, call.timeout, QStringLiteral("127.0.0.1"), call.username,
        QCoro::waitFor(Secrets::encrypt(call.password)), QString::number(routerPort), call.ssl);
}

// The bytes that a reply of `rows` is on the wire, each row word exactly as given.
QByteArray rawRows(const QList<QList<QByteArray>>& rows)
{
    QByteArray out;
    for (const auto& row : rows) {
        out += FakeApiRouter::encodeWord("!re");
        for (const QByteArray& word : row)
            out += FakeApiRouter::encodeWord(word);
        out.append('\0');
    }
    return out + FakeApiRouter::encodeWord("!done") + QByteArray(1, '\0');
}

// Stands between a client and a router and keeps the client's TCP connection open after the
// router has closed its own: what a router that ends its TLS session, but not yet its connection,
// looks like. Lives on the test's thread.
class HoldingProxy : public QObject
{
public:
    explicit HoldingProxy(quint16 routerPort)
        : m_routerPort(routerPort)
    {
        connect(&m_server, &QTcpServer::newConnection, this, &HoldingProxy::onConnection);
        m_server.listen(QHostAddress::LocalHost, 0);
    }
    quint16 port() const { return m_server.serverPort(); }
    bool routerClosed() const { return m_routerClosed; }

private:
    void onConnection()
    {
        while (QTcpSocket* front = m_server.nextPendingConnection()) {
            auto* back = new QTcpSocket(front);
            connect(front, &QTcpSocket::readyRead, back, [front, back] { back->write(front->readAll()); });
            connect(back, &QTcpSocket::readyRead, front, [front, back] { front->write(back->readAll()); });
            connect(back, &QTcpSocket::disconnected, this, [this] { m_routerClosed = true; });
            connect(front, &QTcpSocket::disconnected, front, &QObject::deleteLater);
            back->connectToHost(QHostAddress::LocalHost, m_routerPort);
        }
    }

    QTcpServer m_server;
    quint16 m_routerPort = 0;
    bool m_routerClosed = false;
};

const QStringList fixedMessages {QStringLiteral("Error during login: "), QStringLiteral("API usage error: "),
    QStringLiteral("Missing Parameter in API call: ")};

} // namespace

class TestControlAPI : public QObject
{
    Q_OBJECT
private slots:
    void readReplyShapes();
    void packageIsEveryRowInReplyOrder();
    void emptyRepliesAreAnEmptyArray_data();
    void emptyRepliesAreAnEmptyArray();
    void actionsSendTheBarePath_data();
    void actionsSendTheBarePath();
    void trapFailsWithTheRoutersWords_data();
    void trapFailsWithTheRoutersWords();
    void healthTrapIsNoReadings_data();
    void healthTrapIsNoReadings();
    void refreshSucceedsWhenHealthTraps_data();
    void refreshSucceedsWhenHealthTraps();
    void repliesInPiecesGiveTheSameJson_data();
    void repliesInPiecesGiveTheSameJson();
    void rowWordNotUtf8IsSkipped();
    void closedTlsSessionEndsTheCallAtOnce_data();
    void closedTlsSessionEndsTheCallAtOnce();
    void errorMessages_data();
    void errorMessages();
    void socketFailuresKeepTheirDescription();
    void silentRoutersDoNotHoldUpAHealthyOne();
    void tlsTrust();

private:
    QTemporaryDir m_dir;
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

void TestControlAPI::packageIsEveryRowInReplyOrder()
{
    // The RouterOS package need not be listed first: the refresh looks through every row.
    RouterData data = RouterData::typical();
    data.rows["/system/package"] = {
        {{".id", "*4"}, {"name", "container"}, {"version", "7.12"}},
        {{".id", "*1"}, {"name", "routeros"}, {"version", "7.12"}},
        {{".id", "*2"}, {"name", "wifiwave2"}, {"version", "7.12"}, {"disabled", "true"}},
    };
    FakeApiRouter router(data);
    QVERIFY(router.start());
    const ValidateReturn result = run(Call {}, router.port(), OVRequestCommand::system_package);
    QVERIFY2(result.success, qPrintable(result.message));
    QJsonArray expected;
    for (const auto& row : data.rows["/system/package"])
        expected.append(object(row));
    QCOMPARE(parsed(result).array(), expected);
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

void TestControlAPI::trapFailsWithTheRoutersWords_data()
{
    QTest::addColumn<bool>("tls");
    QTest::addColumn<OVRequestCommand>("command");
    QTest::addColumn<bool>("afterRows");
    const QList<OVRequestCommand> refusable {OVRequestCommand::system_reboot, OVRequestCommand::system_shutdown,
        OVRequestCommand::system_package_downgrade, OVRequestCommand::system_routerboard_upgrade,
        OVRequestCommand::system_resource, OVRequestCommand::system_package, OVRequestCommand::system_routerboard};
    for (const bool tls : {false, true}) {
        for (const OVRequestCommand command : refusable) {
            QTest::addRow("%s, %s", tls ? "TLS" : "plain", qPrintable(rawValue(command))) << tls << command << false;
        }
        // A read that fails after some rows is refused all the same.
        QTest::addRow("%s, package, trap after rows", tls ? "TLS" : "plain")
            << tls << OVRequestCommand::system_package << true;
    }
}

void TestControlAPI::trapFailsWithTheRoutersWords()
{
    QFETCH(bool, tls);
    QFETCH(OVRequestCommand, command);
    QFETCH(bool, afterRows);
    FakeApiRouter::Options options;
    options.tls = tls;
    FakeApiRouter router(RouterData::typical(), options);
    QVERIFY(router.start());
    QByteArray trap = FakeApiRouter::sentence({QStringLiteral("!trap"), QStringLiteral("=category=0"),
                          QStringLiteral("=message=not enough permissions (9)")})
        + FakeApiRouter::sentence({QStringLiteral("!done")});
    if (afterRows)
        trap.prepend(FakeApiRouter::sentence({QStringLiteral("!re"), QStringLiteral("=name=routeros")}));
    router.setReply(apiCommandWord(command), make(trap));
    Call call;
    call.ssl = tls;
    const ValidateReturn result = run(call, router.port(), command);
    QVERIFY(!result.success);
    QCOMPARE(result.message, QStringLiteral("API usage error: not enough permissions (9)"));
    QCOMPARE(result.response, std::nullopt);
}

void TestControlAPI::healthTrapIsNoReadings_data()
{
    addTransportRows();
}

void TestControlAPI::healthTrapIsNoReadings()
{
    QFETCH(bool, tls);
    FakeApiRouter::Options options;
    options.tls = tls;
    FakeApiRouter router(RouterData::typical(), options);
    QVERIFY(router.start());
    router.setReply(QStringLiteral("/system/health/print"), make(FakeApiRouter::trapReply("no such command prefix")));
    Call call;
    call.ssl = tls;
    const ValidateReturn result = run(call, router.port(), OVRequestCommand::system_health);
    QVERIFY2(result.success, qPrintable(result.message));
    QCOMPARE(parsed(result).array(), QJsonArray());
}

void TestControlAPI::refreshSucceedsWhenHealthTraps_data()
{
    addTransportRows();
}

void TestControlAPI::refreshSucceedsWhenHealthTraps()
{
    QFETCH(bool, tls);
    QVERIFY(m_dir.isValid());
    FakeApiRouter::Options options;
    options.tls = tls;
    FakeApiRouter router(RouterData::typical(), options);
    QVERIFY(router.start());
    router.setReply(QStringLiteral("/system/health/print"), make(FakeApiRouter::trapReply("no such command prefix")));
    PersistenceController store(m_dir.filePath(QStringLiteral("health-trap-%1.sqlite").arg(tls)));
    Device* device = RouterDevice::insert(store, QStringLiteral("API"), router.port());
    device->setSsl(tls);
    const QString readings = QStringLiteral("[{\".id\":\"*1\",\"name\":\"voltage\",\"type\":\"V\",\"value\":\"24\"}]");
    device->setHealth(readings);

    const ValidateReturn result = QCoro::waitFor(device->refreshDevice(false, QStringLiteral("5")));
    QVERIFY2(result.success, qPrintable(result.message));
    QVERIFY(device->lastupdated().has_value());
    QCOMPARE(device->versionRouterOS(), std::optional<QString>(QStringLiteral("7.12")));
    QCOMPARE(device->health(), std::optional<QString>(readings));
}

void TestControlAPI::repliesInPiecesGiveTheSameJson_data()
{
    QTest::addColumn<bool>("tls");
    QTest::addColumn<int>("pieceSize");
    for (const bool tls : {false, true}) {
        for (const int size : {1, 2, 3})
            QTest::addRow("%s, %d-byte pieces", tls ? "TLS" : "plain", size) << tls << size;
    }
}

void TestControlAPI::repliesInPiecesGiveTheSameJson()
{
    QFETCH(bool, tls);
    QFETCH(int, pieceSize);
    FakeApiRouter::Options options;
    options.tls = tls;
    FakeApiRouter whole(RouterData::typical(), options);
    options.pieceSize = pieceSize;
    options.splitPauseMsecs = 1;
    FakeApiRouter pieces(RouterData::typical(), options);
    QVERIFY(whole.start());
    QVERIFY(pieces.start());
    const QByteArray done = FakeApiRouter::sentence({QStringLiteral("!done"), QStringLiteral("=ret=*1A")});
    const QByteArray trap = FakeApiRouter::trapReply(QStringLiteral("not enough permissions (9)"));
    for (FakeApiRouter* router : {&whole, &pieces}) {
        router->setReply(QStringLiteral("/system/reboot"), make(done));
        router->setReply(QStringLiteral("/system/shutdown"), make(trap));
    }
    Call call;
    call.ssl = tls;
    for (const OVRequestCommand command :
        {OVRequestCommand::system_resource, OVRequestCommand::system_package, OVRequestCommand::system_routerboard,
            OVRequestCommand::system_health, OVRequestCommand::system_reboot, OVRequestCommand::system_shutdown}) {
        const ValidateReturn expected = run(call, whole.port(), command);
        const ValidateReturn result = run(call, pieces.port(), command);
        QCOMPARE(result.success, expected.success);
        QCOMPARE(result.message, expected.message);
        QCOMPARE(parsed(result), parsed(expected));
    }
    // Not trivially equal: the one-write answers are the router's data.
    QCOMPARE(parsed(run(call, pieces.port(), OVRequestCommand::system_reboot)).object(),
        (QJsonObject {{QStringLiteral("ret"), QStringLiteral("*1A")}}));
    QCOMPARE(parsed(run(call, pieces.port(), OVRequestCommand::system_health)).array().size(), 4);
}

void TestControlAPI::rowWordNotUtf8IsSkipped()
{
    FakeApiRouter router;
    QVERIFY(router.start());
    router.setReply(
        QStringLiteral("/system/resource/print"), make(rawRows({{"=name=ether1", "=comment=caf\xE9", "=mtu=1500"}})));
    QElapsedTimer timer;
    timer.start();
    const ValidateReturn result = run(Call {}, router.port(), OVRequestCommand::system_resource);
    QVERIFY2(result.success, qPrintable(result.message));
    QVERIFY2(timer.elapsed() < 2500, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(parsed(result).object(),
        (QJsonObject {
            {QStringLiteral("name"), QStringLiteral("ether1")}, {QStringLiteral("mtu"), QStringLiteral("1500")}}));
}

void TestControlAPI::closedTlsSessionEndsTheCallAtOnce_data()
{
    addTransportRows();
}

void TestControlAPI::closedTlsSessionEndsTheCallAtOnce()
{
    QFETCH(bool, tls);
    FakeApiRouter::Options options;
    options.tls = tls;
    FakeApiRouter router(RouterData::typical(), options);
    QVERIFY(router.start());
    // "!fatal", then the router ends its side: for TLS the close message goes out, but the proxy
    // keeps the client's TCP connection open. Over plain TCP the proxy's hold is the whole
    // connection, so the plain case goes straight to the router.
    router.setReply(QStringLiteral("/system/resource/print"),
        FakeApiReply::closing(
            FakeApiRouter::sentence({QStringLiteral("!fatal"), QStringLiteral("session terminated on request")})));
    HoldingProxy proxy(router.port());
    Call call;
    call.ssl = tls;
    call.timeout = QStringLiteral("10");
    QElapsedTimer timer;
    timer.start();
    const ValidateReturn result = run(call, tls ? proxy.port() : router.port(), OVRequestCommand::system_resource);
    QVERIFY(!result.success);
    QCOMPARE(result.message, QStringLiteral("API usage error: "));
    QVERIFY2(timer.elapsed() < 4000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(!tls || proxy.routerClosed());

    // A whole reply that the router's close follows at once is still read.
    router.setReply(QStringLiteral("/system/resource/print"),
        FakeApiReply::closing(FakeApiRouter::rowsReply(RouterData::typical().rows.value("/system/resource"))));
    const ValidateReturn whole = run(call, tls ? proxy.port() : router.port(), OVRequestCommand::system_resource);
    QVERIFY2(whole.success, qPrintable(whole.message));
    QCOMPARE(parsed(whole).object(), object(RouterData::typical().rows.value("/system/resource").first()));
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
    QVERIFY2(elapsed.elapsed() >= 900 && elapsed.elapsed() < 5000, qPrintable(QString::number(elapsed.elapsed())));
    QVERIFY(!timedOut.success);
    QCOMPARE(timedOut.message, QStringLiteral("API usage error: "));
}

void TestControlAPI::silentRoutersDoNotHoldUpAHealthyOne()
{
    // On a small machine the shared pool has two threads; router calls must not depend on it.
    QThreadPool* shared = QThreadPool::globalInstance();
    const int sharedThreads = shared->maxThreadCount();
    shared->setMaxThreadCount(2);
    const auto restore = qScopeGuard([shared, sharedThreads] { shared->setMaxThreadCount(sharedThreads); });

    FakeApiRouter silent;
    QVERIFY(silent.start());
    silent.setProbeReply(FakeApiReply::silence());
    FakeApiRouter healthy;
    QVERIFY(healthy.start());

    Call slow;
    slow.timeout = QStringLiteral("8");
    auto race = std::make_shared<Race>();
    QList<std::shared_ptr<Pending>> silentCalls;
    for (int i = 0; i < 8; ++i) {
        auto pending = std::make_shared<Pending>();
        pending->silent = true;
        silentCalls.append(pending);
        startCall(controlFor(slow, silent.port()), OVRequestCommand::system_resource, pending, race);
    }
    auto quick = std::make_shared<Pending>();
    startCall(controlFor(Call {}, healthy.port()), OVRequestCommand::system_resource, quick, race);

    QTRY_VERIFY_WITH_TIMEOUT(quick->done, 30000);
    QVERIFY2(quick->result.success, qPrintable(quick->result.message));
    // It ended while every silent call still waited, well inside their time-out.
    QCOMPARE(quick->silentEndedBefore, 0);
    QVERIFY2(quick->elapsed < 4000, qPrintable(QString::number(quick->elapsed)));
    for (const auto& pending : silentCalls) {
        QTRY_VERIFY_WITH_TIMEOUT(pending->done, 30000);
        QCOMPARE(pending->result.message, QStringLiteral("API usage error: "));
    }
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
