#include "app/OVToolbarView.h"
#include "widgets/AppState.h"
#include "widgets/OVButton.h"
#include "widgets/Settings.h"

#include "support/HttpsServer.h"
#include "support/TestCertificates.h"
#include "support/TestMain.h"

#include <QSettings>
#include <QTcpServer>
#include <QTest>

#include <memory>

namespace {
constexpr int Wait = 5000;

HttpReply textReply(const QByteArray& body, int status = 200)
{
    HttpReply reply;
    reply.status = status;
    reply.body = body;
    reply.contentType = "text/plain";
    return reply;
}

// An address on loopback where nothing listens.
QString closedServer()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("https://127.0.0.1:%1").arg(port);
}
} // namespace

class TestToolbar : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void pathByChannel_data();
    void pathByChannel();
    void parseFirstWord_data();
    void parseFirstWord();
    void lookupWhenShownAndOnPress();
    void failuresGiveUnknown();
    void networkReturns();
    void lastAnswerWins();

private:
    TestCertificates m_certificates;
    std::unique_ptr<HttpsServer> m_server;
};

void TestToolbar::initTestCase()
{
    QVERIFY(m_certificates.isValid());
    m_certificates.trustForProcess();
}

void TestToolbar::init()
{
    QSettings(Settings::instance().storeFileName(), QSettings::IniFormat).clear();
    m_server = std::make_unique<HttpsServer>(m_certificates);
    QVERIFY(m_server->listen());
    m_server->setRoute("/routeros/LATEST.7", textReply("7.16.2 1734000000\n"));
    m_server->setRoute("/routeros/LATEST.7rc", textReply("7.17rc3 1735000000\n"));
}

void TestToolbar::pathByChannel_data()
{
    QTest::addColumn<QString>("channel");
    QTest::addColumn<QString>("path");
    QTest::newRow("stable") << "Stable"
                            << "/routeros/LATEST.7";
    QTest::newRow("beta") << "Beta"
                          << "/routeros/LATEST.7rc";
    QTest::newRow("empty") << ""
                           << "/routeros/LATEST.7rc";
    QTest::newRow("lower case") << "stable"
                                << "/routeros/LATEST.7rc";
    QTest::newRow("other program") << "Long-term"
                                   << "/routeros/LATEST.7rc";
}

void TestToolbar::pathByChannel()
{
    QFETCH(QString, channel);
    QFETCH(QString, path);
    QCOMPARE(OVToolbarView::latestReleasePath(channel), path);

    // The stored channel decides which file the toolbar asks for.
    Settings::instance().setReleaseChannel(channel);
    AppState state;
    OVToolbarView toolbar(state, m_server->baseUrl());
    toolbar.fetchLatestRouterOS();
    QTRY_COMPARE_WITH_TIMEOUT(m_server->requests().size(), 1, Wait);
    QCOMPARE(m_server->requests().first().method, QByteArray("GET"));
    QCOMPARE(QString::fromLatin1(m_server->requests().first().path), path);
}

void TestToolbar::parseFirstWord_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("failed");
    QTest::addColumn<QString>("version");
    QTest::newRow("version and date") << QByteArray("7.16.2 1734000000\n") << false << "7.16.2";
    QTest::newRow("several blanks") << QByteArray("7.15 a b c") << false << "7.15";
    QTest::newRow("line break only") << QByteArray("7.16.2\n") << false << "Unknown";
    QTest::newRow("empty") << QByteArray() << false << "Unknown";
    QTest::newRow("tab is no blank") << QByteArray("7.16.2\t1") << false << "Unknown";
    QTest::newRow("failed") << QByteArray("7.16.2 1") << true << "Unknown";
    QTest::newRow("invalid utf-8") << QByteArray("7.1\xff 2") << false << QStringLiteral("7.1\uFFFD");
}

void TestToolbar::parseFirstWord()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, failed);
    QFETCH(QString, version);
    const std::optional<QByteArray> outcome = failed ? std::nullopt : std::optional<QByteArray>(body);
    QCOMPARE(OVToolbarView::parseLatestVersion(outcome), version);
}

void TestToolbar::lookupWhenShownAndOnPress()
{
    AppState state;
    OVToolbarView toolbar(state, m_server->baseUrl());
    OVButton* button = toolbar.findChild<OVButton*>(QStringLiteral("currentRouterOSButton"));
    QVERIFY(button);
    QCOMPARE(button->text(), QStringLiteral("Current RouterOS: Unknown"));
    QCOMPARE(button->helpText(), QStringLiteral("Check for RouterOS updates from MikroTik"));
    QCOMPARE(button->systemName(), QStringLiteral("arrow.clockwise.circle"));
    QCOMPARE(m_server->requests().size(), 0);

    toolbar.show();
    QTRY_COMPARE_WITH_TIMEOUT(state.currentRouterOS(), QStringLiteral("7.16.2"), Wait);
    QCOMPARE(button->text(), QStringLiteral("Current RouterOS: 7.16.2"));
    QCOMPARE(m_server->requests().size(), 1);

    Settings::instance().setReleaseChannel(QStringLiteral("Beta"));
    QTest::mouseClick(button, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(state.currentRouterOS(), QStringLiteral("7.17rc3"), Wait);
    QCOMPARE(button->text(), QStringLiteral("Current RouterOS: 7.17rc3"));
    QCOMPARE(m_server->requests().size(), 2);
    QCOMPARE(m_server->requests().last().path, QByteArray("/routeros/LATEST.7rc"));

    // Shown again after being hidden: another lookup.
    toolbar.hide();
    toolbar.show();
    QTRY_COMPARE_WITH_TIMEOUT(m_server->requests().size(), 3, Wait);
}

void TestToolbar::failuresGiveUnknown()
{
    struct Case
    {
        const char* name;
        HttpReply reply;
    };
    HttpReply dropped;
    dropped.closeWithoutReply = true;
    const Case cases[] = {
        {"no blank", textReply("7.16.2\n")},
        {"empty body", textReply("")},
        {"connection dropped", dropped},
        // An error page is not the release file.
        {"not found", textReply("Not found here", 404)},
        {"server error", textReply("Internal error", 500)},
    };
    for (const Case& c : cases) {
        qDebug("case: %s", c.name);
        AppState state;
        state.setCurrentRouterOS(QStringLiteral("7.1"));
        m_server->setRoute("/routeros/LATEST.7", c.reply);
        const qsizetype before = m_server->requests().size();
        OVToolbarView toolbar(state, m_server->baseUrl());
        toolbar.fetchLatestRouterOS();
        // (A dropped connection may be retried once by the HTTP client.)
        QTRY_VERIFY_WITH_TIMEOUT(m_server->requests().size() > before, Wait);
        QTRY_COMPARE_WITH_TIMEOUT(state.currentRouterOS(), QStringLiteral("Unknown"), Wait);
    }
}

void TestToolbar::networkReturns()
{
    AppState state;
    state.setCurrentRouterOS(QStringLiteral("7.1"));
    const QString server = closedServer();
    OVToolbarView toolbar(state, server);
    toolbar.fetchLatestRouterOS();
    QTRY_COMPARE_WITH_TIMEOUT(state.currentRouterOS(), QStringLiteral("Unknown"), Wait);

    // The same toolbar, pressed once the server answers again.
    OVToolbarView reachable(state, m_server->baseUrl());
    QTest::mouseClick(reachable.button(), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(state.currentRouterOS(), QStringLiteral("7.16.2"), Wait);
}

void TestToolbar::lastAnswerWins()
{
    // The first lookup hangs; a second one is answered; when the first finally fails, its answer
    // arrives last and is the one shown.
    HttpReply silent;
    silent.silent = true;
    m_server->setRoute("/routeros/LATEST.7rc", silent);
    AppState state;
    OVToolbarView toolbar(state, m_server->baseUrl());
    Settings::instance().setReleaseChannel(QStringLiteral("Beta"));
    toolbar.fetchLatestRouterOS();
    QTRY_COMPARE_WITH_TIMEOUT(m_server->requests().size(), 1, Wait);
    Settings::instance().setReleaseChannel(QStringLiteral("Stable"));
    toolbar.fetchLatestRouterOS();
    QTRY_COMPARE_WITH_TIMEOUT(state.currentRouterOS(), QStringLiteral("7.16.2"), Wait);

    m_server.reset();
    QTRY_COMPARE_WITH_TIMEOUT(state.currentRouterOS(), QStringLiteral("Unknown"), Wait);
}

ORVANTA_WIDGET_TEST_MAIN(TestToolbar)
#include "tst_toolbar.moc"
