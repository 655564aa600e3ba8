#include "support/TestMain.h"

#include "support/FakeApiRouter.h"
#include "support/FakeRestRouter.h"
#include "support/RouterDevice.h"

#include "model/Device.h"
#include "model/PersistenceController.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

Q_DECLARE_METATYPE(std::optional<QString>)
Q_DECLARE_METATYPE(QList<RouterData::Row>)

namespace {
const QString timeout = QStringLiteral("5");

// What one run of a refresh ended with.
struct Outcome
{
    bool done = false;
    bool cancelled = false;
    ValidateReturn result;
};

QCoro::Task<> runRefresh(QPointer<Device> device, std::shared_ptr<TaskHandle> handle, std::shared_ptr<Outcome> outcome)
{
    try {
        outcome->result = co_await device->refreshDevice(false, timeout, std::move(handle));
    } catch (const RefreshCancelled&) {
        outcome->cancelled = true;
    }
    outcome->done = true;
}

struct CallOutcome
{
    bool done = false;
    ValidateReturn result;
    QJsonValue json;
};

QCoro::Task<> runCall(QPointer<Device> device, OVRequestCommand command, std::shared_ptr<CallOutcome> outcome)
{
    auto [result, json] = co_await device->makeCall(command, false, timeout);
    outcome->result = std::move(result);
    outcome->json = json;
    outcome->done = true;
}

// One fake router reachable over the control method under test, with the same data either way.
class Router
{
public:
    explicit Router(const QString& method)
        : m_method(method)
    {
        if (isRest())
            m_rest = std::make_unique<FakeRestRouter>();
        else
            m_api = std::make_unique<FakeApiRouter>();
    }

    bool isRest() const { return m_method == QLatin1String("REST"); }
    bool start() { return isRest() ? m_rest->listen() : m_api->start(); }
    quint16 port() const { return isRest() ? m_rest->port() : m_api->port(); }

    void setRows(const QString& path, const QList<RouterData::Row>& rows)
    {
        if (isRest()) {
            m_rest->data().rows[path] = rows;
        } else {
            RouterData data = m_api->data();
            data.rows[path] = rows;
            m_api->setData(data);
        }
    }

    // The router refuses `path` with a router error.
    void refuse(const QString& path)
    {
        if (isRest()) {
            m_rest->script(
                path, HttpReply {400, R"({"error":400,"message":"Bad Request","detail":"no such command"})"});
        } else {
            // A "!trap" still counts as an answer over the API; a dropped connection does not.
            m_api->setReply(path + QStringLiteral("/print"), FakeApiReply::closing());
        }
    }

    // The command paths the router was asked, in order.
    QStringList asked() const
    {
        QStringList paths;
        if (isRest()) {
            for (const HttpRequestRecord& request : m_rest->requests())
                paths << QString::fromUtf8(request.path).remove(QStringLiteral("/rest"));
        } else {
            for (const QStringList& sentence : m_api->receivedSentences()) {
                if (!sentence.isEmpty() && sentence.first().endsWith(QLatin1String("/print")))
                    paths << sentence.first().chopped(6);
            }
        }
        return paths;
    }

    // Runs `then` on the thread of `context` once the router has been asked `path` and before it
    // answers, so that whatever `then` does happens while the command is in flight.
    void whenAsked(const QString& path, QObject* context, std::function<void()> then)
    {
        if (isRest()) {
            m_rest->setOnRequest([path = "/rest" + path.toUtf8(), then](const HttpRequestRecord& request) {
                if (request.path == path)
                    then();
            });
        } else {
            // The router answers on a thread of its own and waits here until `then` has run.
            m_api->setOnSentence([command = path + QStringLiteral("/print"), context, then](const QStringList& words) {
                if (words.first() == command)
                    QMetaObject::invokeMethod(context, then, Qt::BlockingQueuedConnection);
            });
        }
    }

    FakeRestRouter* rest() { return m_rest.get(); }
    FakeApiRouter* api() { return m_api.get(); }

private:
    QString m_method;
    std::unique_ptr<FakeRestRouter> m_rest;
    std::unique_ptr<FakeApiRouter> m_api;
};

const QString resourcePath = QStringLiteral("/system/resource");
const QString packagePath = QStringLiteral("/system/package");
const QString routerboardPath = QStringLiteral("/system/routerboard");
const QString healthPath = QStringLiteral("/system/health");
} // namespace

class TestRefresh : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_files = 0;
    std::unique_ptr<PersistenceController> m_store;

    Device* deviceFor(const QString& method, quint16 port)
    {
        Device* d = RouterDevice::insert(*m_store, method, port);
        if (!m_store->save())
            qWarning("could not save the test device");
        return d;
    }

    void methods()
    {
        QTest::addColumn<QString>("method");
        QTest::newRow("REST") << "REST";
        QTest::newRow("API") << "API";
    }

    Outcome refresh(Device* d, std::shared_ptr<TaskHandle> handle = {})
    {
        auto outcome = std::make_shared<Outcome>();
        runRefresh(d, std::move(handle), outcome);
        [&] { QTRY_VERIFY_WITH_TIMEOUT(outcome->done, 20000); }();
        return *outcome;
    }

    CallOutcome call(Device* d, OVRequestCommand command)
    {
        auto outcome = std::make_shared<CallOutcome>();
        runCall(d, command, outcome);
        [&] { QTRY_VERIFY_WITH_TIMEOUT(outcome->done, 20000); }();
        return *outcome;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void init()
    {
        m_store = std::make_unique<PersistenceController>(
            m_dir.filePath(QStringLiteral("refresh-%1.sqlite").arg(++m_files)));
    }

    void cleanup() { m_store.reset(); }

    void fullRefreshWritesEveryAttribute_data() { methods(); }
    void fullRefreshWritesEveryAttribute()
    {
        QFETCH(QString, method);
        Router router(method);
        QVERIFY(router.start());
        Device* d = deviceFor(method, router.port());

        const QDateTime before = QDateTime::currentDateTime();
        const Outcome outcome = refresh(d);
        QVERIFY(!outcome.cancelled);
        QVERIFY2(outcome.result.success, qPrintable(outcome.result.message));
        QVERIFY(outcome.result.message.isEmpty());
        QVERIFY(!outcome.result.response);
        QVERIFY(!outcome.result.session);
        QCOMPARE(router.asked(), QStringList({resourcePath, packagePath, routerboardPath, healthPath}));

        QCOMPARE(d->model(), std::optional<QString>("RB5009UG+S+"));
        QCOMPARE(d->arch(), std::optional<QString>("arm64"));
        QCOMPARE(d->cpuCount(), std::optional<QString>("4"));
        QCOMPARE(d->cpuLoad(), std::optional<QString>("12"));
        QCOMPARE(d->memoryFree(), std::optional<QString>("805306368"));
        QCOMPARE(d->memoryTotal(), std::optional<QString>("1073741824"));
        QCOMPARE(d->diskFree(), std::optional<QString>("939524096"));
        QCOMPARE(d->diskTotal(), std::optional<QString>("1073741824"));
        QCOMPARE(d->versionRouterOS(), std::optional<QString>("7.12"));
        QCOMPARE(d->currentRouterBOOT(), std::optional<QString>("7.11"));
        QCOMPARE(d->upgradeRouterBOOT(), std::optional<QString>("7.12"));
        const QList<HealthItem> health = d->healthArray();
        QCOMPARE(health.size(), 4);
        QCOMPARE(health.at(0), (HealthItem {"*D", "voltage", "V", "24"}));
        QCOMPARE(health.at(3), (HealthItem {"*10", "power-consumption", "W", "8"}));
        QVERIFY(d->lastupdated());
        QVERIFY(*d->lastupdated() >= before.addMSecs(-1));
        QVERIFY(*d->lastupdated() <= QDateTime::currentDateTime());

        // Stamped and saved: the file holds the refreshed device.
        QVERIFY(!m_store->hasChanges());
        PersistenceController onDisk(m_store->databasePath());
        QCOMPARE(onDisk.devices().size(), 1);
        QCOMPARE(onDisk.devices().at(0)->versionRouterOS(), std::optional<QString>("7.12"));
        QCOMPARE(onDisk.devices().at(0)->health(), d->health());
        QCOMPARE(onDisk.devices().at(0)->lastupdated(), d->lastupdated());
    }

    void failureStopsAndKeepsEarlierAttributes_data() { methods(); }
    void failureStopsAndKeepsEarlierAttributes()
    {
        QFETCH(QString, method);
        Router router(method);
        router.refuse(routerboardPath);
        QVERIFY(router.start());
        Device* d = deviceFor(method, router.port());
        d->setCurrentRouterBOOT(QStringLiteral("6.49"));
        QVERIFY(m_store->save());

        const Outcome outcome = refresh(d);
        QVERIFY(!outcome.cancelled);
        QVERIFY(!outcome.result.success);
        // The failing command's own result comes back unchanged.
        const CallOutcome direct = call(d, OVRequestCommand::system_routerboard);
        QVERIFY(!direct.result.success);
        QCOMPARE(outcome.result.message, direct.result.message);
        QVERIFY(!outcome.result.message.isEmpty());

        QCOMPARE(d->model(), std::optional<QString>("RB5009UG+S+"));
        QCOMPARE(d->arch(), std::optional<QString>("arm64"));
        QCOMPARE(d->versionRouterOS(), std::optional<QString>("7.12"));
        QCOMPARE(d->currentRouterBOOT(), std::optional<QString>("6.49"));
        QVERIFY(!d->health());
        QVERIFY(!d->lastupdated());
        QVERIFY(!router.asked().contains(healthPath));
        // Nothing was saved: the new values wait in memory for the next save.
        QVERIFY(m_store->hasChanges());
        PersistenceController onDisk(m_store->databasePath());
        QVERIFY(!onDisk.devices().at(0)->model());
    }

    void cancellingDuringACommandStopsAfterIt_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("duringStep");
        QTest::addColumn<bool>("stops");
        QTest::addColumn<QStringList>("asked");
        const QStringList all {resourcePath, packagePath, routerboardPath, healthPath};
        for (const char* method : {"REST", "API"}) {
            QTest::addRow("%s during resource", method) << method << "resource" << true << all.mid(0, 1);
            QTest::addRow("%s during package", method) << method << "package" << true << all.mid(0, 2);
            QTest::addRow("%s during routerboard", method) << method << "routerboard" << true << all.mid(0, 3);
            QTest::addRow("%s during health", method) << method << "health" << false << all;
        }
    }

    void cancellingDuringACommandStopsAfterIt()
    {
        QFETCH(QString, method);
        QFETCH(QString, duringStep);
        QFETCH(bool, stops);
        QFETCH(QStringList, asked);
        Router router(method);
        QVERIFY(router.start());
        Device* d = deviceFor(method, router.port());
        auto handle = std::make_shared<TaskHandle>();
        d->setRefreshTask(handle);

        // The user cancels once the router has the step's command and before it answers: the
        // answer in flight is still written, and the mark is found at the check that follows.
        QObject context;
        router.whenAsked(QStringLiteral("/system/") + duringStep, &context, [handle] { handle->cancel(); });

        // Left out, so the handle kept in refreshTask is the one looked at.
        const Outcome outcome = refresh(d);
        QVERIFY(handle->isCancelled());
        QCOMPARE(outcome.cancelled, stops);
        QCOMPARE(router.asked(), asked);
        QCOMPARE(d->lastupdated().has_value(), !stops);
        QCOMPARE(m_store->hasChanges(), stops);
        if (duringStep == QLatin1String("resource"))
            QCOMPARE(d->arch(), std::optional<QString>("arm64"));
        else if (duringStep == QLatin1String("package"))
            QCOMPARE(d->versionRouterOS(), std::optional<QString>("7.12"));
        else if (duringStep == QLatin1String("routerboard"))
            QCOMPARE(d->upgradeRouterBOOT(), std::optional<QString>("7.12"));
        else
            QCOMPARE(d->healthArray().size(), 4);
        if (!stops)
            QVERIFY(outcome.result.success);
    }

    void deletedDeviceEndsTheRefresh_data() { methods(); }
    void deletedDeviceEndsTheRefresh()
    {
        QFETCH(QString, method);
        Router router(method);
        QVERIFY(router.start());
        QPointer<Device> d = deviceFor(method, router.port());
        QObject context;
        connect(d, &Device::changed, &context, [&] {
            if (d && d->arch() && !d->isDeleted()) {
                m_store->deleteDevice(d);
                QVERIFY(m_store->save());
            }
        });
        const Outcome outcome = refresh(d);
        QVERIFY(outcome.cancelled);
        QTRY_VERIFY_WITH_TIMEOUT(!d, 5000);
        QVERIFY(!router.asked().contains(routerboardPath));
        QVERIFY(m_store->devices().isEmpty());
    }

    void packageRules_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QList<RouterData::Row>>("packages");
        QTest::addColumn<bool>("archKnown");
        QTest::addColumn<std::optional<QString>>("expected");
        const std::optional<QString> unchanged = QStringLiteral("6.0");
        // The REST method hands over every package; the API method the first one only.
        QTest::newRow("arch package after routeros wins")
            << "REST"
            << QList<RouterData::Row> {{{"name", "routeros"}, {"version", "7.12"}},
                   {{"name", "routeros-arm64"}, {"version", "7.13"}}, {{"name", "wifi"}, {"version", "9"}}}
            << true << std::optional<QString>("7.13");
        QTest::newRow("routeros after arch package wins")
            << "REST"
            << QList<RouterData::Row> {{{"name", "routeros-arm64"}, {"version", "7.13"}},
                   {{"name", "routeros"}, {"version", "7.12"}}}
            << true << std::optional<QString>("7.12");
        QTest::newRow("no match leaves it")
            << "REST"
            << QList<RouterData::Row> {{{"name", "routeros-mipsbe"}, {"version", "7.13"}},
                   {{"name", "RouterOS"}, {"version", "7.1"}}}
            << true << unchanged;
        for (const char* method : {"REST", "API"}) {
            QTest::addRow("%s arch package", method)
                << method << QList<RouterData::Row> {{{"name", "routeros-arm64"}, {"version", "7.14"}}} << true
                << std::optional<QString>("7.14");
            QTest::addRow("%s other package", method)
                << method << QList<RouterData::Row> {{{"name", "routeros-mipsbe"}, {"version", "7.14"}}} << true
                << unchanged;
            QTest::addRow("%s version missing", method)
                << method << QList<RouterData::Row> {{{"name", "routeros"}}} << true << unchanged;
            QTest::addRow("%s unknown arch", method)
                << method << QList<RouterData::Row> {{{"name", "routeros-unknown"}, {"version", "7.9"}}} << false
                << std::optional<QString>("7.9");
            QTest::addRow("%s unknown arch is no wildcard", method)
                << method << QList<RouterData::Row> {{{"name", "routeros-arm64"}, {"version", "7.9"}}} << false
                << unchanged;
        }
    }

    void packageRules()
    {
        QFETCH(QString, method);
        QFETCH(QList<RouterData::Row>, packages);
        QFETCH(bool, archKnown);
        QFETCH(std::optional<QString>, expected);
        Router router(method);
        router.setRows(packagePath, packages);
        if (!archKnown) {
            RouterData::Row resource = RouterData::typical().rows.value(resourcePath).at(0);
            resource.remove(QStringLiteral("architecture-name"));
            router.setRows(resourcePath, {resource});
        }
        QVERIFY(router.start());
        Device* d = deviceFor(method, router.port());
        d->setVersionRouterOS(QStringLiteral("6.0"));
        const Outcome outcome = refresh(d);
        QVERIFY2(outcome.result.success, qPrintable(outcome.result.message));
        QCOMPARE(d->versionRouterOS(), expected);
    }

    void healthRules_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QList<RouterData::Row>>("readings");
        QTest::addColumn<bool>("replaced");
        for (const char* method : {"REST", "API"}) {
            QTest::addRow("%s no readings", method) << method << QList<RouterData::Row>() << false;
            QTest::addRow("%s one reading", method)
                << method
                << QList<RouterData::Row> {{{".id", "*1"}, {"name", "temperature"}, {"type", "C"}, {"value", "40"}}}
                << true;
        }
    }

    void healthRules()
    {
        QFETCH(QString, method);
        QFETCH(QList<RouterData::Row>, readings);
        QFETCH(bool, replaced);
        Router router(method);
        router.setRows(healthPath, readings);
        QVERIFY(router.start());
        Device* d = deviceFor(method, router.port());
        const QString earlier = QStringLiteral(R"([{".id": "*0", "name": "old", "type": "V", "value": "1"}])");
        d->setHealth(earlier);
        const Outcome outcome = refresh(d);
        QVERIFY2(outcome.result.success, qPrintable(outcome.result.message));
        QVERIFY(d->lastupdated());
        if (replaced) {
            QCOMPARE(d->healthArray(), QList<HealthItem>({{"*1", "temperature", "C", "40"}}));
        } else {
            QCOMPARE(d->health(), std::optional<QString>(earlier));
        }
    }

    // Reply shapes only REST can carry: JSON types the API's text words cannot express.
    void restReplyShapes_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("attribute");
        QTest::addColumn<std::optional<QString>>("expected");
        QTest::newRow("number version") << packagePath << QByteArray(R"([{"name": "routeros", "version": 7.5}])")
                                        << "versionRouterOS" << std::optional<QString>("7.5");
        QTest::newRow("Boolean version") << packagePath << QByteArray(R"([{"name": "routeros", "version": true}])")
                                         << "versionRouterOS" << std::optional<QString>("true");
        QTest::newRow("null version is the empty text")
            << packagePath << QByteArray(R"([{"name": "routeros", "version": null}])") << "versionRouterOS"
            << std::optional<QString>("");
        QTest::newRow("packages as an object")
            << packagePath << QByteArray(R"({"a": {"name": "routeros", "version": "7.3"}})") << "versionRouterOS"
            << std::optional<QString>("7.3");
        QTest::newRow("number cpu-load is skipped")
            << resourcePath << QByteArray(R"({"cpu-load": 5, "board-name": "hAP"})") << "cpuLoad"
            << std::optional<QString>("old");
        QTest::newRow("resource without cpu-load")
            << resourcePath << QByteArray(R"({"board-name": "hAP"})") << "cpuLoad" << std::optional<QString>("old");
        QTest::newRow("resource as an array changes nothing")
            << resourcePath << QByteArray(R"([{"cpu-load": "9"}])") << "cpuLoad" << std::optional<QString>("old");
        QTest::newRow("routerboard as an array changes nothing")
            << routerboardPath << QByteArray(R"([{"current-firmware": "7.1"}])") << "currentRouterBOOT"
            << std::optional<QString>("old");
        QTest::newRow("health of texts only changes nothing")
            << healthPath << QByteArray(R"(["a", "b"])") << "health" << std::optional<QString>("old");
        QTest::newRow("health as an object changes nothing")
            << healthPath << QByteArray(R"({"name": "voltage"})") << "health" << std::optional<QString>("old");
    }

    void restReplyShapes()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, body);
        QFETCH(QString, attribute);
        QFETCH(std::optional<QString>, expected);
        Router router(QStringLiteral("REST"));
        router.rest()->script(path, HttpReply {200, body});
        QVERIFY(router.start());
        Device* d = deviceFor(QStringLiteral("REST"), router.port());
        d->setCpuLoad(QStringLiteral("old"));
        d->setCurrentRouterBOOT(QStringLiteral("old"));
        d->setHealth(QStringLiteral("old"));
        const Outcome outcome = refresh(d);
        QVERIFY2(outcome.result.success, qPrintable(outcome.result.message));
        std::optional<QString> actual;
        if (attribute == QLatin1String("versionRouterOS"))
            actual = d->versionRouterOS();
        else if (attribute == QLatin1String("cpuLoad"))
            actual = d->cpuLoad();
        else if (attribute == QLatin1String("currentRouterBOOT"))
            actual = d->currentRouterBOOT();
        else
            actual = d->health();
        QCOMPARE(actual, expected);
    }

    void onlyExactlyRestSelectsRest_data()
    {
        QTest::addColumn<std::optional<QString>>("controlMethod");
        QTest::addColumn<bool>("rest");
        QTest::newRow("absent") << std::optional<QString>() << false;
        QTest::newRow("API") << std::optional<QString>("API") << false;
        QTest::newRow("lower case") << std::optional<QString>("rest") << false;
        QTest::newRow("trailing blank") << std::optional<QString>("REST ") << false;
        QTest::newRow("REST") << std::optional<QString>("REST") << true;
    }

    void onlyExactlyRestSelectsRest()
    {
        QFETCH(std::optional<QString>, controlMethod);
        QFETCH(bool, rest);
        Router restRouter(QStringLiteral("REST"));
        Router apiRouter(QStringLiteral("API"));
        QVERIFY(restRouter.start());
        QVERIFY(apiRouter.start());
        Device* d = deviceFor(QStringLiteral("API"), rest ? restRouter.port() : apiRouter.port());
        d->setControlMethod(controlMethod);
        d->setSsl(false);
        const CallOutcome outcome = call(d, OVRequestCommand::system_resource);
        QVERIFY2(outcome.result.success, qPrintable(outcome.result.message));
        QCOMPARE(outcome.json.toObject().value(QStringLiteral("board-name")).toString(), QStringLiteral("RB5009UG+S+"));
        QCOMPARE(restRouter.asked().size(), rest ? 1 : 0);
        QCOMPARE(apiRouter.asked().size(), rest ? 0 : 1);
    }

    void replyTexts_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty array") << 200 << QByteArray("[]") << "array"
                                     << "";
        QTest::newRow("object") << 200 << QByteArray(R"({"a": "b"})") << "object"
                                << "";
        QTest::newRow("plain words") << 200 << QByteArray("plain words") << "not json"
                                     << "";
        QTest::newRow("cut off") << 200 << QByteArray(R"([{"a": )") << "not json"
                                 << "";
        QTest::newRow("bare number") << 200 << QByteArray("5") << "not json"
                                     << "";
        QTest::newRow("router error") << 401 << QByteArray(R"({"error":401,"message":"Unauthorized"})") << "back-end"
                                      << "Web-SSL error: Unauthorized";
        QTest::newRow("empty body") << 200 << QByteArray() << "back-end"
                                    << "";
    }

    void replyTexts()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, kind);
        QFETCH(QString, message);
        Router router(QStringLiteral("REST"));
        router.rest()->script(resourcePath, HttpReply {status, body});
        QVERIFY(router.start());
        Device* d = deviceFor(QStringLiteral("REST"), router.port());

        const CallOutcome outcome = call(d, OVRequestCommand::system_resource);
        if (kind == QLatin1String("array") || kind == QLatin1String("object")) {
            QVERIFY2(outcome.result.success, qPrintable(outcome.result.message));
            QCOMPARE(outcome.result.response, std::optional<QString>(QString::fromUtf8(body)));
            QVERIFY(outcome.result.session);
            if (kind == QLatin1String("array")) {
                QVERIFY(outcome.json.isArray());
                QVERIFY(outcome.json.toArray().isEmpty());
            } else {
                QCOMPARE(outcome.json.toObject().value(QStringLiteral("a")).toString(), QStringLiteral("b"));
            }
            return;
        }
        QVERIFY(!outcome.result.success);
        QVERIFY(outcome.json.isObject());
        QVERIFY(outcome.json.toObject().isEmpty());
        QVERIFY(!outcome.result.response);
        if (kind == QLatin1String("not json")) {
            // The parser's message, and nothing of the call kept.
            QVERIFY(!outcome.result.message.isEmpty());
            QVERIFY(!outcome.result.message.startsWith(QLatin1String("Web-SSL error: ")));
            QVERIFY(!outcome.result.session);
        } else {
            // A back-end failure comes back as the back-end made it, session included.
            QVERIFY(outcome.result.message.startsWith(QLatin1String("Web-SSL error: ")));
            if (!message.isEmpty())
                QCOMPARE(outcome.result.message, message);
            QVERIFY(outcome.result.session);
        }
    }
};

ORVANTA_TEST_MAIN(TestRefresh)
#include "tst_refresh.moc"
