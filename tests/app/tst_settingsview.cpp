#include "app/OVToolbarView.h"
#include "app/SettingsView.h"
#include "app/SettingsViewCache.h"
#include "app/SettingsViewDevices.h"
#include "app/SettingsViewInterface.h"
#include "app/SettingsViewNetwork.h"
#include "maintenance/OVCache.h"
#include "model/ByteCountFormatter.h"
#include "widgets/AppState.h"
#include "widgets/OVButton.h"
#include "widgets/OVMessageInfo.h"
#include "widgets/Settings.h"

#include "support/HttpsServer.h"
#include "support/ShownWidgets.h"
#include "support/TestCertificates.h"
#include "support/TestMain.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

namespace {
constexpr int Wait = 5000;

QSettings rawStore()
{
    return QSettings(Settings::instance().storeFileName(), QSettings::IniFormat);
}

template<typename T>
T* find(QWidget& root, const char* name)
{
    T* widget = root.findChild<T*>(QString::fromLatin1(name));
    if (!widget)
        qWarning("no widget %s", name);
    return widget;
}

// The user picks an entry of a pop-up menu.
void choose(QComboBox* menu, const QString& entry)
{
    const int index = menu->findText(entry);
    QVERIFY(index >= 0);
    menu->setCurrentIndex(index);
    emit menu->activated(index);
}

void writePackage(const QString& root, const QString& version, int bytes)
{
    QVERIFY(QDir().mkpath(root + QLatin1Char('/') + version));
    const QString package = QStringLiteral("%1/%2/routeros-%2-arm64.npk").arg(root, version);
    QFile file(package);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(bytes, 'x'));
    file.close();
    QFile marker(package + QStringLiteral(".finished"));
    QVERIFY(marker.open(QIODevice::WriteOnly));
}
} // namespace

class TestSettingsView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void tabsInOrder();
    void defaultsWithEmptyStore();
    void controlsWriteAtOnceAndReachOtherViews();
    void timeoutFilter_data();
    void timeoutFilter();
    void timeoutPasted_data();
    void timeoutPasted();
    void channelChangeLooksUpOnce();
    void cacheSizeAndPurge();
    void purgedShowsForItsTime();
    void screenshots();

private:
    TestCertificates m_certificates;
};

void TestSettingsView::initTestCase()
{
    QVERIFY(m_certificates.isValid());
    m_certificates.trustForProcess();
}

void TestSettingsView::init()
{
    QSettings store = rawStore();
    store.clear();
    store.sync();
}

void TestSettingsView::tabsInOrder()
{
    AppState state;
    SettingsView view(state);
    view.show();
    QTabWidget* tabs = view.tabs();
    QCOMPARE(tabs->size(), QSize(300, 350));
    QCOMPARE(tabs->count(), 4);
    const QStringList labels = {"Cache", "Devices", "Interface", "Network"};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(tabs->tabText(i), labels[i]);
        QVERIFY(!tabs->tabIcon(i).isNull());
    }
    QCOMPARE(tabs->currentIndex(), 0);
    // Every tab, the last one included, fits in the fixed width.
    QVERIFY2(tabs->tabBar()->tabRect(3).right() < tabs->width(),
        qPrintable(QStringLiteral("%1 %2 %3")
                       .arg(tabs->tabBar()->tabRect(3).right())
                       .arg(tabs->tabBar()->sizeHint().width())
                       .arg(tabs->tabBar()->width())));
    QVERIFY(qobject_cast<SettingsViewCache*>(tabs->widget(0)));
    QVERIFY(qobject_cast<SettingsViewDevices*>(tabs->widget(1)));
    QVERIFY(qobject_cast<SettingsViewInterface*>(tabs->widget(2)));
    QVERIFY(qobject_cast<SettingsViewNetwork*>(tabs->widget(3)));
    QVERIFY(view.isWindow());
}

void TestSettingsView::defaultsWithEmptyStore()
{
    AppState state;
    SettingsView view(state);
    view.show();
    for (int i = 0; i < view.tabs()->count(); ++i)
        view.tabs()->setCurrentIndex(i);

    QCOMPARE(find<QComboBox>(view, "releaseChannelComboBox")->currentText(), QStringLiteral("Stable"));
    QCOMPARE(find<QCheckBox>(view, "validateOnAddCheckBox")->isChecked(), true);
    QCOMPARE(find<QCheckBox>(view, "validateOnEditCheckBox")->isChecked(), false);
    QCOMPARE(find<QCheckBox>(view, "refreshSelectedCheckBox")->isChecked(), false);
    QCOMPARE(find<QComboBox>(view, "sidebarSizeComboBox")->currentText(), QStringLiteral("Large"));
    QCOMPARE(find<QCheckBox>(view, "healthEnableCheckBox")->isChecked(), true);
    QCOMPARE(find<QCheckBox>(view, "osMetricsEnableCheckBox")->isChecked(), true);
    QCOMPARE(find<QCheckBox>(view, "validSslCheckBox")->isChecked(), false);
    QCOMPARE(find<QLineEdit>(view, "timeoutLineEdit")->text(), QStringLiteral("10"));
    QCOMPARE(find<QLineEdit>(view, "timeoutLineEdit")->width(), 60);
    // Showing every pane wrote nothing.
    QVERIFY(rawStore().allKeys().isEmpty());
}

void TestSettingsView::controlsWriteAtOnceAndReachOtherViews()
{
    AppState state;
    SettingsView first(state);
    SettingsView second(state);
    first.show();
    second.show();

    struct Toggle
    {
        const char* control;
        const char* key;
    };
    const Toggle toggles[] = {
        {"validateOnAddCheckBox", "devices.validateonadd"},
        {"validateOnEditCheckBox", "devices.validateonedit"},
        {"refreshSelectedCheckBox", "devices.refreshselected"},
        {"healthEnableCheckBox", "health.enable"},
        {"osMetricsEnableCheckBox", "osmetrics.enable"},
        {"validSslCheckBox", "restapi.validssl"},
    };
    for (const Toggle& toggle : toggles) {
        QCheckBox* mine = find<QCheckBox>(first, toggle.control);
        QCheckBox* other = find<QCheckBox>(second, toggle.control);
        const bool before = mine->isChecked();
        QCOMPARE(other->isChecked(), before);
        mine->click();
        QCOMPARE(rawStore().value(QString::fromLatin1(toggle.key)).toBool(), !before);
        QVERIFY2(other->isChecked() == !before, toggle.control);
        other->click();
        QCOMPARE(mine->isChecked(), before);
        QCOMPARE(Settings::instance().value(QString::fromLatin1(toggle.key)).toBool(), before);
    }

    QSignalSpy spy(&Settings::instance(), &Settings::changed);
    choose(find<QComboBox>(first, "sidebarSizeComboBox"), QStringLiteral("Small"));
    QCOMPARE(rawStore().value(QStringLiteral("sidebar.size")).toString(), QStringLiteral("Small"));
    QCOMPARE(find<QComboBox>(second, "sidebarSizeComboBox")->currentText(), QStringLiteral("Small"));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().at(0).toString(), QStringLiteral("sidebar.size"));

    // A value written by another program that is no entry of the menu selects none.
    Settings::instance().setSidebarSize(QStringLiteral("Huge"));
    QCOMPARE(find<QComboBox>(second, "sidebarSizeComboBox")->currentIndex(), -1);
}

void TestSettingsView::timeoutFilter_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("settled");
    QTest::newRow("letter between digits") << ""
                                           << "1a5"
                                           << "15";
    QTest::newRow("unit typed") << ""
                                << "30s"
                                << "30";
    QTest::newRow("lone zero") << ""
                               << "0"
                               << "";
    QTest::newRow("cannot begin with zero") << ""
                                            << "05"
                                            << "5";
    QTest::newRow("one then zero") << ""
                                   << "10"
                                   << "10";
    QTest::newRow("appended to stored") << "10"
                                        << "0"
                                        << "100";
}

void TestSettingsView::timeoutFilter()
{
    QFETCH(QString, start);
    QFETCH(QString, typed);
    QFETCH(QString, settled);
    SettingsViewNetwork pane;
    pane.show();
    QLineEdit* field = find<QLineEdit>(pane, "timeoutLineEdit");
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QCOMPARE(Settings::instance().restApiTimeout(), QString());
    QTest::keyClicks(field, start);
    QTest::keyClicks(field, typed);
    QCOMPARE(field->text(), settled);
    QCOMPARE(rawStore().value(QStringLiteral("restapi.timeout")).toString(), settled);
}

void TestSettingsView::timeoutPasted_data()
{
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("settled");
    QTest::newRow("zero and letter") << "0a"
                                     << "";
    QTest::newRow("leading zero kept") << "05"
                                       << "05";
    QTest::newRow("two zeros kept") << "00"
                                    << "00";
    QTest::newRow("blank") << " "
                           << "";
    QTest::newRow("digits") << "45"
                            << "45";
}

void TestSettingsView::timeoutPasted()
{
    QFETCH(QString, pasted);
    QFETCH(QString, settled);
    SettingsViewNetwork pane;
    pane.show();
    QLineEdit* field = find<QLineEdit>(pane, "timeoutLineEdit");
    QGuiApplication::clipboard()->setText(pasted);
    field->selectAll();
    QTest::keySequence(field, QKeySequence::Paste);
    QCOMPARE(field->text(), settled);
    QCOMPARE(Settings::instance().restApiTimeout(), settled);
    QVERIFY(Settings::instance().isStored(QLatin1String(Settings::RestApiTimeout)));
}

void TestSettingsView::channelChangeLooksUpOnce()
{
    HttpsServer server(m_certificates);
    QVERIFY(server.listen());
    HttpReply stable;
    stable.body = "7.16.2 1734000000\n";
    HttpReply beta;
    beta.body = "7.17rc3 1735000000\n";
    server.setRoute("/routeros/LATEST.7", stable);
    server.setRoute("/routeros/LATEST.7rc", beta);

    AppState state;
    state.setUpgradeServer(server.baseUrl());
    OVToolbarView toolbar(state);
    SettingsView view(state);
    view.show();
    view.tabs()->setCurrentIndex(1);
    view.tabs()->setCurrentIndex(2);
    view.tabs()->setCurrentIndex(1);
    QComboBox* channel = find<QComboBox>(view, "releaseChannelComboBox");

    // Choosing the entry already selected is no change: the one request below is Beta's.
    choose(channel, QStringLiteral("Stable"));

    choose(channel, QStringLiteral("Beta"));
    QCOMPARE(Settings::instance().releaseChannel(), QStringLiteral("Beta"));
    QTRY_COMPARE_WITH_TIMEOUT(state.currentRouterOS(), QStringLiteral("7.17rc3"), Wait);
    QCOMPARE(server.requests().size(), 1);
    QCOMPARE(server.requests().first().path, QByteArray("/routeros/LATEST.7rc"));
    QCOMPARE(toolbar.button()->text(), QStringLiteral("Current RouterOS: 7.17rc3"));

    choose(channel, QStringLiteral("Stable"));
    QTRY_COMPARE_WITH_TIMEOUT(state.currentRouterOS(), QStringLiteral("7.16.2"), Wait);
    QCOMPARE(server.requests().size(), 2);
    QCOMPARE(server.requests().last().path, QByteArray("/routeros/LATEST.7"));
}

void TestSettingsView::cacheSizeAndPurge()
{
    const std::optional<QString> root = OVCache::cacheDirectory();
    QVERIFY(root);
    QDir(*root).removeRecursively();
    writePackage(*root, QStringLiteral("7.16.2"), 300000);
    writePackage(*root, QStringLiteral("7.15.3"), 200000);

    AppState state;
    SettingsView view(state);
    view.show();
    QLabel* size = find<QLabel>(view, "cacheSizeLabel");
    QVERIFY(size->text() != QStringLiteral("Unknown"));
    QCOMPARE(size->text(), OVCache::size());
    QVERIFY(size->text() != ByteCountFormatter::fileStyle(0));
    QVERIFY(!view.findChild<OVMessageInfo*>(QStringLiteral("cachePurgedMessage")));

    QTest::mouseClick(find<OVButton>(view, "purgeButton"), Qt::LeftButton);
    QCOMPARE(size->text(), ByteCountFormatter::fileStyle(0));
    QVERIFY(QDir(*root).exists());
    QVERIFY(QDir(*root).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    auto* message = view.findChild<OVMessageInfo*>(QStringLiteral("cachePurgedMessage"));
    QVERIFY(message);
    QCOMPARE(message->message(), QStringLiteral("Cache purged"));
    QVERIFY(message->isVisible());

    // Shown again later, the pane reads the size afresh.
    writePackage(*root, QStringLiteral("7.16.2"), 300000);
    view.tabs()->setCurrentIndex(1);
    view.tabs()->setCurrentIndex(0);
    QCOMPARE(size->text(), OVCache::size());
    QVERIFY(size->text() != ByteCountFormatter::fileStyle(0));
}

void TestSettingsView::purgedShowsForItsTime()
{
    const std::chrono::milliseconds purgedFor(1000);
    SettingsViewCache pane(purgedFor);
    pane.show();
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(find<OVButton>(pane, "purgeButton"), Qt::LeftButton);
    QVERIFY(pane.purged());
    QTRY_VERIFY_WITH_TIMEOUT(clock.elapsed() >= 500, Wait);
    // A second press within the time purges again; the first reset still ends the confirmation.
    const qint64 secondPress = clock.elapsed();
    QTest::mouseClick(find<OVButton>(pane, "purgeButton"), Qt::LeftButton);
    QVERIFY(pane.purged());
    QTRY_VERIFY_WITH_TIMEOUT(!pane.purged(), Wait);
    QVERIFY2(clock.elapsed() < secondPress + purgedFor.count(), qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!pane.findChild<OVMessageInfo*>(QStringLiteral("cachePurgedMessage")));
}

void TestSettingsView::screenshots()
{
    // What each pane must show, in tab order: headings and the labels of its options.
    const QList<QStringList> texts = {
        {"Storage Management", "RouterOS cache size", "Purge update cache", "Purge"},
        {"Release Channel", "Credentials", "Validate when adding", "Validate when editing", "Information",
            "Refresh when selected"},
        {"Sidebar", "Row size", "Device Health", "Show device health section", "Operating System Metrics",
            "Show metrics charts"},
        {"API & REST API Options", "Require trusted SSL certificates", "Request timeout (seconds)"},
    };
    AppState state;
    SettingsView view(state);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.tabs()->count(), texts.size());
    for (int i = 0; i < view.tabs()->count(); ++i) {
        view.tabs()->setCurrentIndex(i);
        QWidget* pane = view.tabs()->currentWidget();
        QVERIFY(pane->isVisible());
        const ShownWidgets shown(&view, pane);
        QVERIFY(shown.save(QStringLiteral("settings-%1.png").arg(view.tabs()->tabText(i).toLower())));
        const QString problems = shown.problems(texts.at(i));
        QVERIFY2(problems.isEmpty(), qPrintable(view.tabs()->tabText(i) + QStringLiteral(":\n") + problems));
    }
}

ORVANTA_WIDGET_TEST_MAIN(TestSettingsView)
#include "tst_settingsview.moc"
