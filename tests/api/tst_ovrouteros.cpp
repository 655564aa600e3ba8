#include "api/OVRouterOS.h"
#include "support/FakeApiRouter.h"
#include "support/TestMain.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTcpServer>
#include <QTest>
#include <QtConcurrent>

#include <limits>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using Rows = QList<Sentence::Row>;

namespace {
const QString localhost = QStringLiteral("127.0.0.1");

OVRouterOS::CallResult callRouter(const FakeApiRouter& router, const Request& request,
    std::optional<QString> userName = QStringLiteral("admin"),
    std::optional<QString> password = QStringLiteral("secret"), const QString& timeout = QStringLiteral("5"))
{
    OVRouterOS client(localhost, router.port(), std::move(userName), std::move(password), false, false, timeout);
    return client.call(request);
}

Request print(const QString& path)
{
    return Request(path + QStringLiteral("/print"), ApiType::GET);
}

bool isError(const OVRouterOS::CallResult& result, const ApiError& error)
{
    return !result.success && !result.sentence && result.error == error;
}

bool isSocketError(const OVRouterOS::CallResult& result)
{
    return !result.success && result.error && std::holds_alternative<SocketError>(*result.error)
        && !std::get<SocketError>(*result.error).description.isEmpty();
}

QByteArray bytesOf(const QList<QByteArray>& words)
{
    QByteArray out;
    for (const QByteArray& word : words)
        out += FakeApiRouter::encodeWord(word);
    return out;
}

// A loopback listener that stalls whoever connects. BacklogFull: listen() with the smallest
// backlog, filled by connections nobody accepts, so that the kernel drops further SYNs and a new
// connect never completes. HandshakeUnanswered: TCP connects, but nobody ever reads or answers.
class StuckListener
{
public:
    enum Kind { BacklogFull, HandshakeUnanswered };

    explicit StuckListener(Kind kind)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), size) != 0
            || ::listen(m_fd, kind == BacklogFull ? 0 : 16) != 0
            || ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            return;
        m_address = address;
        if (kind == HandshakeUnanswered) {
            m_ready = true;
            return;
        }
        // Fill the accept queue until a further connection stays pending.
        for (int i = 0; i < 16 && !m_ready; ++i) {
            const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            m_fillers.push_back(filler);
            ::connect(filler, reinterpret_cast<sockaddr*>(&m_address), sizeof m_address);
            pollfd poll {filler, POLLOUT, 0};
            m_ready = ::poll(&poll, 1, 300) == 0;
        }
    }
    ~StuckListener()
    {
        for (const int filler : m_fillers)
            ::close(filler);
        if (m_fd >= 0)
            ::close(m_fd);
    }
    StuckListener(const StuckListener&) = delete;
    StuckListener& operator=(const StuckListener&) = delete;

    bool isReady() const { return m_ready; }
    quint16 port() const { return ntohs(m_address.sin_port); }

private:
    int m_fd = -1;
    sockaddr_in m_address {};
    std::vector<int> m_fillers;
    bool m_ready = false;
};

const QStringList probe {QStringLiteral("/login")};
const QStringList credentials {
    QStringLiteral("/login"), QStringLiteral("=name=admin"), QStringLiteral("=password=secret")};
} // namespace

class TestOVRouterOS : public QObject
{
    Q_OBJECT

private slots:
    // The time-out bounds the connection itself: a router whose listener takes no more
    // connections (its SYNs are dropped), and one that takes the connection but never answers
    // the TLS handshake.
    void connectGivesUpAfterTheTimeOut_data()
    {
        QTest::addColumn<QString>("timeout");
        QTest::addColumn<bool>("tls");
        QTest::addColumn<int>("expectedMsecs");
        QTest::newRow("one second, backlog full") << "1" << false << 1000;
        QTest::newRow("two seconds, backlog full") << "2" << false << 2000;
        QTest::newRow("empty text: ten seconds") << "" << false << 10000;
        QTest::newRow("one second, TLS handshake unanswered") << "1" << true << 1000;
    }
    void connectGivesUpAfterTheTimeOut()
    {
        QFETCH(QString, timeout);
        QFETCH(bool, tls);
        QFETCH(int, expectedMsecs);
        StuckListener listener(tls ? StuckListener::HandshakeUnanswered : StuckListener::BacklogFull);
        QVERIFY2(listener.isReady(), "could not make a listener that stalls connections");
        OVRouterOS client(localhost, listener.port(), "admin", "secret", tls, false, timeout);
        QElapsedTimer timer;
        timer.start();
        const auto result = client.call(print("/system/resource"));
        const qint64 elapsed = timer.elapsed();
        QVERIFY(isSocketError(result));
        QVERIFY2(
            elapsed >= expectedMsecs - 100 && elapsed < expectedMsecs + 4000, qPrintable(QString::number(elapsed)));
    }

    void printReturnsRowsAfterLogin()
    {
        FakeApiRouter router;
        QVERIFY(router.start());
        const auto result = callRouter(router, print("/system/package"));
        QVERIFY(result.success);
        QVERIFY(!result.error);
        QVERIFY(result.sentence);
        QCOMPARE(result.sentence->returnType, ReturnType::RE);
        QVERIFY(result.sentence->isDone);
        QCOMPARE(result.sentence->SentenceData, router.data().rows.value("/system/package"));
        QCOMPARE(router.receivedSentences(), (QList<QStringList> {probe, credentials, {"/system/package/print"}}));
        QCOMPARE(router.connectionCount(), 1);
    }

    void everyCallLogsInOnItsOwnConnection()
    {
        FakeApiRouter router;
        QVERIFY(router.start());
        QVERIFY(callRouter(router, print("/system/resource")).success);
        QVERIFY(callRouter(router, Request("/system/reboot", ApiType::GET)).success);
        QCOMPARE(router.connectionCount(), 2);
        QCOMPARE(router.receivedSentences(),
            (QList<QStringList> {
                probe, credentials, {"/system/resource/print"}, probe, credentials, {"/system/reboot"}}));
    }

    void callsRunOnWorkerThreads()
    {
        FakeApiRouter router;
        QVERIFY(router.start());
        const quint16 port = router.port();
        auto run = [port] {
            OVRouterOS client(localhost, port, QStringLiteral("admin"), QStringLiteral("secret"), false, false, "5");
            const auto result = client.call(Request("/system/health/print", ApiType::GET));
            return result.success ? result.sentence->SentenceData.size() : -1;
        };
        QList<QFuture<qsizetype>> futures;
        for (int i = 0; i < 4; ++i)
            futures.append(QtConcurrent::run(run));
        for (auto& future : futures)
            QCOMPARE(future.result(), 4);
        QCOMPARE(router.connectionCount(), 4);
    }

    void loginProbeMustCarryOneAttribute_data()
    {
        QTest::addColumn<int>("attributes");
        QTest::newRow("none") << 0;
        QTest::newRow("two") << 2;
    }
    void loginProbeMustCarryOneAttribute()
    {
        QFETCH(int, attributes);
        FakeApiRouter router(RouterData::typical(), {.probeAttributes = attributes});
        QVERIFY(router.start());
        const auto result = callRouter(router, print("/system/resource"));
        QVERIFY(isError(result, OVRouterOSError::LOGIN));
        // The probe is judged before the credentials go out: neither the name nor the password does.
        QTest::qWait(100);
        QCOMPARE(router.receivedWords(), (QStringList {"/login", ""}));
    }

    void refusedLogins_data()
    {
        QTest::addColumn<std::optional<QString>>("userName");
        QTest::addColumn<std::optional<QString>>("password");
        QTest::newRow("wrong password") << std::optional<QString>("admin") << std::optional<QString>("wrong");
        QTest::newRow("wrong name") << std::optional<QString>("root") << std::optional<QString>("secret");
        QTest::newRow("no name") << std::optional<QString>() << std::optional<QString>("secret");
    }
    void refusedLogins()
    {
        QFETCH(std::optional<QString>, userName);
        QFETCH(std::optional<QString>, password);
        FakeApiRouter router;
        QVERIFY(router.start());
        QVERIFY(isError(callRouter(router, print("/system/resource"), userName, password), OVRouterOSError::LOGIN));
        const QList<QStringList> sentences = router.receivedSentences();
        QVERIFY(!sentences.contains(QStringList {"/system/resource/print"}));
    }

    void loginAnswersThatAreNotDone_data()
    {
        QTest::addColumn<bool>("probe");
        QTest::addColumn<FakeApiReply>("reply");
        QTest::addColumn<ApiError>("error");
        const QByteArray trap = FakeApiRouter::trapReply("not now");
        const FakeApiReply closed = FakeApiReply::closing();
        const FakeApiReply junk = FakeApiReply::of(QByteArray::fromHex("0000000000"));
        QTest::newRow("probe trapped") << true << FakeApiReply::of(trap) << ApiError(OVRouterOSError::LOGIN);
        QTest::newRow("probe closed") << true << closed << ApiError(OVRouterOSError::LOGIN);
        QTest::newRow("probe unreadable") << true << junk << ApiError(SentenceError::DataInvalidFormat);
        QTest::newRow("login closed") << false << closed << ApiError(OVRouterOSError::LOGIN);
        QTest::newRow("login fatal") << false << FakeApiReply::closing(FakeApiRouter::sentence({"!fatal", "bye"}))
                                     << ApiError(OVRouterOSError::LOGIN);
    }
    void loginAnswersThatAreNotDone()
    {
        QFETCH(bool, probe);
        QFETCH(FakeApiReply, reply);
        QFETCH(ApiError, error);
        FakeApiRouter router;
        QVERIFY(router.start());
        if (probe)
            router.setProbeReply(reply);
        else
            router.setLoginReply(reply);
        QVERIFY(isError(callRouter(router, print("/system/resource")), error));
    }

    void absentPasswordIsSentEmpty()
    {
        RouterData data = RouterData::typical();
        data.password.clear();
        FakeApiRouter router(data);
        QVERIFY(router.start());
        QVERIFY(callRouter(router, print("/system/resource"), QStringLiteral("admin"), std::nullopt).success);
        QCOMPARE(router.receivedSentences().value(1), (QStringList {"/login", "=name=admin", "=password="}));
    }

    void requestWords_data()
    {
        QTest::addColumn<Request>("request");
        QTest::addColumn<QByteArray>("commandBytes");
        const Request::Map params {{"name", "ether1"}, {"disabled", "no"}};
        QTest::newRow("get: command and the closing byte only")
            << Request("/system/resource/print", ApiType::GET) << bytesOf({"/system/resource/print", ""});
        QTest::newRow("get with queries")
            << Request("/interface/print", ApiType::GET, std::nullopt, Request::Map {{"type", "ether"}})
            << bytesOf({"/interface/print", "?type=ether", ""});
        QTest::newRow("get ignores params and uid")
            << Request("/ip/print", ApiType::GET, params, std::nullopt, "*1") << bytesOf({"/ip/print", ""});
        QTest::newRow("set with uid") << Request("/interface/set", ApiType::SET, params, std::nullopt, "*3")
                                      << bytesOf({"/interface/set", "=.id=*3", "=name=ether1", "=disabled=no", ""});
        QTest::newRow("set without uid") << Request("/interface/set", ApiType::SET, params)
                                         << bytesOf({"/interface/set", "=name=ether1", "=disabled=no", ""});
        QTest::newRow("add") << Request("/interface/add", ApiType::ADD, params, Request::Map {{"q", "1"}}, "*9")
                             << bytesOf({"/interface/add", "=name=ether1", "=disabled=no", ""});
        QTest::newRow("del: uid closes the sentence") << Request("/ip/address/remove", ApiType::DEL, params,
            std::nullopt, "*7") << bytesOf({"/ip/address/remove", "=.id=*7", ""});
        QTest::newRow("no kind counts as del") << Request("/ip/address/remove", std::nullopt, std::nullopt,
            std::nullopt, "*8") << bytesOf({"/ip/address/remove", "=.id=*8", ""});
        QTest::newRow("non-ASCII value") << Request(
            "/system/identity/set", ApiType::SET, Request::Map {{"name", "Büro"}})
                                         << bytesOf({"/system/identity/set", "=name=Büro", ""});
    }
    void requestWords()
    {
        QFETCH(Request, request);
        QFETCH(QByteArray, commandBytes);
        FakeApiRouter router;
        QVERIFY(router.start());
        router.setReply(*request.api, FakeApiReply::of(FakeApiRouter::sentence({"!done"})));
        const auto result = callRouter(router, request);
        QVERIFY(result.success);
        QCOMPARE(result.sentence->returnType, ReturnType::DONE);
        const QByteArray received = router.receivedBytes();
        QVERIFY(received.endsWith(commandBytes));
        // Everything before the command belongs to the login.
        QCOMPARE(received.size() - commandBytes.size(),
            bytesOf({"/login", "", "/login", "=name=admin", "=password=secret", ""}).size());
    }

    void missingValuesWriteNoCommandWord_data()
    {
        QTest::addColumn<Request>("request");
        QTest::newRow("no command") << Request(std::nullopt, ApiType::GET);
        QTest::newRow("set without params")
            << Request("/interface/set", ApiType::SET, std::nullopt, std::nullopt, "*1");
        QTest::newRow("add without params") << Request("/interface/add", ApiType::ADD);
        QTest::newRow("del without uid") << Request("/ip/address/remove", ApiType::DEL, Request::Map {{"a", "b"}});
    }
    void missingValuesWriteNoCommandWord()
    {
        QFETCH(Request, request);
        FakeApiRouter router;
        QVERIFY(router.start());
        QVERIFY(isError(callRouter(router, request), OVRouterOSError::MISSING_PARAM));
        QTRY_COMPARE_WITH_TIMEOUT(router.receivedSentences(), (QList<QStringList> {probe, credentials}), 5000);
    }

    void longWordsGetLongerPrefixes_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QByteArray>("prefix");
        QTest::newRow("127") << 127 << QByteArray::fromHex("7f");
        QTest::newRow("128") << 128 << QByteArray::fromHex("8080");
        QTest::newRow("16383") << 16383 << QByteArray::fromHex("bfff");
        QTest::newRow("16384") << 16384 << QByteArray::fromHex("c04000");
        QTest::newRow("0x1FFFFF") << 0x1FFFFF << QByteArray::fromHex("dfffff");
        QTest::newRow("0x200000") << 0x200000 << QByteArray::fromHex("e0200000");
    }
    void longWordsGetLongerPrefixes()
    {
        QFETCH(int, size);
        QFETCH(QByteArray, prefix);
        FakeApiRouter router;
        QVERIFY(router.start());
        const QString command = QLatin1Char('/') + QString(size - 1, QLatin1Char('a'));
        router.setReply(command, FakeApiReply::of(FakeApiRouter::sentence({"!done"})));
        QVERIFY(callRouter(router, Request(command, ApiType::GET)).success);
        const QByteArray received = router.receivedBytes();
        QVERIFY(received.endsWith(prefix + command.toLatin1() + QByteArray(1, '\0')));
    }

    void replies_data()
    {
        QTest::addColumn<FakeApiReply>("reply");
        QTest::addColumn<ReturnType>("returnType");
        QTest::addColumn<Rows>("rows");
        const Rows rows = RouterData::typical().rows.value("/system/health");
        const QByteArray rowsBytes = FakeApiRouter::rowsReply(rows);
        const QByteArray trap = FakeApiRouter::trapReply("no such command prefix");
        QTest::newRow("rows in one write") << FakeApiReply::of(rowsBytes) << ReturnType::RE << rows;
        // Writes every 9 bytes from the end of the first word on cut words and prefixes alike.
        QList<qsizetype> everyFew;
        for (qsizetype at = 4; at < rowsBytes.size(); at += 9)
            everyFew.append(at);
        QTest::newRow("rows in many writes") << FakeApiReply::of(rowsBytes, everyFew) << ReturnType::RE << rows;
        const Rows longRows {{{"comment", QString(300, QLatin1Char('z'))}}};
        const QByteArray longBytes = FakeApiRouter::rowsReply(longRows);
        const qsizetype longPrefix = longBytes.indexOf(FakeApiRouter::encodeWord(QByteArray(309, 'x')).left(1));
        QTest::newRow("cut inside a two-byte prefix")
            << FakeApiReply::of(longBytes, {longPrefix + 1}) << ReturnType::RE << longRows;
        QTest::newRow("trap is a successful call")
            << FakeApiReply::of(trap) << ReturnType::TRAP << Rows {{{"message", "no such command prefix"}}};
        QTest::newRow("empty then done") << FakeApiReply::of(FakeApiRouter::rowsReply({}, true)) << ReturnType::DONE
                                         << Rows {};
        const QByteArray empty = FakeApiRouter::rowsReply({}, true);
        QTest::newRow("empty, then done in a later write")
            << FakeApiReply::of(empty, {empty.indexOf("\x05!done")}) << ReturnType::DONE << Rows {};
        QTest::newRow("done alone") << FakeApiReply::of(FakeApiRouter::rowsReply({}, false)) << ReturnType::DONE
                                    << Rows {};
    }
    void replies()
    {
        QFETCH(FakeApiReply, reply);
        QFETCH(ReturnType, returnType);
        QFETCH(Rows, rows);
        FakeApiRouter router;
        QVERIFY(router.start());
        router.setReply("/system/health/print", reply);
        const auto result = callRouter(router, print("/system/health"));
        QVERIFY(result.success);
        QVERIFY(result.sentence->isDone);
        QCOMPARE(result.sentence->returnType, returnType);
        QCOMPARE(result.sentence->SentenceData, rows);
    }

    void replyEndsBeforeDone_data()
    {
        QTest::addColumn<FakeApiReply>("reply");
        QTest::addColumn<ApiError>("error");
        const QByteArray rows = FakeApiRouter::rowsReply(RouterData::typical().rows.value("/system/package"));
        QTest::newRow("closed at once") << FakeApiReply::closing() << ApiError(OVRouterOSError::API);
        QTest::newRow("closed after some rows")
            << FakeApiReply::closing(rows.left(rows.size() - 8)) << ApiError(OVRouterOSError::API);
        QTest::newRow("fatal, then closed")
            << FakeApiReply::closing(FakeApiRouter::sentence({"!fatal", "too many"})) << ApiError(OVRouterOSError::API);
        QTest::newRow("first reply unreadable")
            << FakeApiReply::of(QByteArray::fromHex("ff00000000")) << ApiError(SentenceError::DataInvalidFormat);
        QTest::newRow("first reply too short")
            << FakeApiReply::closing(QByteArray::fromHex("0100")) << ApiError(SentenceError::NoData);
    }
    void replyEndsBeforeDone()
    {
        QFETCH(FakeApiReply, reply);
        QFETCH(ApiError, error);
        FakeApiRouter router;
        QVERIFY(router.start());
        router.setReply("/system/package/print", reply);
        QVERIFY(isError(callRouter(router, print("/system/package")), error));
    }

    // A router that accepts the connection and then says nothing ends the call after the time-out.
    void silentRouterEndsTheCall_data()
    {
        QTest::addColumn<QString>("silentAt");
        QTest::newRow("login probe") << "probe";
        QTest::newRow("login") << "login";
        QTest::newRow("command") << "command";
        QTest::newRow("rows without done") << "rows";
    }
    void silentRouterEndsTheCall()
    {
        QFETCH(QString, silentAt);
        FakeApiRouter router;
        QVERIFY(router.start());
        const FakeApiReply silent = FakeApiReply::silence();
        if (silentAt == "probe")
            router.setProbeReply(silent);
        else if (silentAt == "login")
            router.setLoginReply(silent);
        else if (silentAt == "command")
            router.setReply("/system/resource/print", silent);
        else
            router.setReply("/system/resource/print", FakeApiReply::of(FakeApiRouter::sentence({"!re", "=a=b"})));
        QElapsedTimer timer;
        timer.start();
        const auto result = callRouter(router, print("/system/resource"), "admin", "secret", "1");
        QVERIFY(isError(result, OVRouterOSError::API));
        QVERIFY2(timer.elapsed() >= 900 && timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    }

    void connectionFailures()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const quint16 port = closed.serverPort();
        closed.close();
        OVRouterOS refused(localhost, port, "admin", "secret", false, false, "2");
        QVERIFY(isSocketError(refused.call(print("/system/resource"))));

        OVRouterOS noHost(std::nullopt, port, "admin", "secret", false, false, "2");
        QVERIFY(isError(noHost.call(print("/system/resource")), OVRouterOSError::MISSING_PARAM));
        OVRouterOS hugePort(localhost, qint64(std::numeric_limits<qint32>::max()) + 1, "a", "b", false, false, "2");
        QVERIFY(isError(hugePort.call(print("/system/resource")), OVRouterOSError::MISSING_PARAM));
        OVRouterOS badPort(localhost, 70000, "a", "b", false, false, "2");
        QVERIFY(isSocketError(badPort.call(print("/system/resource"))));
    }

    void tlsAcceptsSelfSignedWhenNotValidating()
    {
        FakeApiRouter router(RouterData::typical(), {.tls = true});
        QVERIFY(router.start());
        OVRouterOS client(localhost, router.port(), "admin", "secret", true, false, "5");
        const auto result = client.call(print("/system/routerboard"));
        QVERIFY(result.success);
        QCOMPARE(result.sentence->SentenceData, router.data().rows.value("/system/routerboard"));
    }

    void tlsRefusesUntrustedCertificateWhenValidating()
    {
        FakeApiRouter router(RouterData::typical(), {.tls = true});
        QVERIFY(router.start());
        OVRouterOS client(localhost, router.port(), "admin", "secret", true, true, "5");
        QVERIFY(isSocketError(client.call(print("/system/routerboard"))));
        QCOMPARE(router.receivedWords(), QStringList());
    }

    void plainClientAgainstTlsRouterDoesNotHang()
    {
        FakeApiRouter router(RouterData::typical(), {.tls = true});
        QVERIFY(router.start());
        OVRouterOS client(localhost, router.port(), "admin", "secret", false, false, "1");
        const auto result = client.call(print("/system/resource"));
        QVERIFY(!result.success);
        QVERIFY(!result.sentence);
    }

    void tlsReplyClosedEarlyIsApiError()
    {
        FakeApiRouter router(RouterData::typical(), {.tls = true});
        QVERIFY(router.start());
        router.setReply("/system/resource/print", FakeApiReply::closing(FakeApiRouter::sentence({"!re", "=a=b"})));
        OVRouterOS client(localhost, router.port(), "admin", "secret", true, false, "5");
        QVERIFY(isError(client.call(print("/system/resource")), OVRouterOSError::API));
    }

    // These trust certificates for the rest of the process, so they run last.
    void tlsTrustedCertificateIsAccepted()
    {
        FakeApiRouter router(RouterData::typical(), {.tls = true});
        QVERIFY(router.start());
        router.certificates()->trustForProcess();
        for (const QString& host : {QStringLiteral("localhost"), localhost}) {
            OVRouterOS client(host, router.port(), "admin", "secret", true, true, "5");
            QVERIFY2(client.call(print("/system/resource")).success, qPrintable(host));
        }
    }

    void tlsHostNameMustMatchWhenValidating()
    {
        FakeApiRouter router(
            RouterData::typical(), {.tls = true, .certificateHost = "router.invalid", .certificateIp = false});
        QVERIFY(router.start());
        router.certificates()->trustForProcess();
        OVRouterOS validating(localhost, router.port(), "admin", "secret", true, true, "5");
        QVERIFY(isSocketError(validating.call(print("/system/resource"))));
        OVRouterOS lenient(localhost, router.port(), "admin", "secret", true, false, "5");
        QVERIFY(lenient.call(print("/system/resource")).success);
    }
};

ORVANTA_TEST_MAIN(TestOVRouterOS)
#include "tst_ovrouteros.moc"
