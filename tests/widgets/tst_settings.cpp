#include "widgets/Settings.h"

#include "support/TestMain.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTest>

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void keyTable_data();
    void keyTable();
    void readingWritesNothing();
    void typedGettersFollowStore();
    void changedOnlyOnRealChange();
    void storedTextsReadAsTableTypes();
    void unknownKeyIsRefused();

private:
    static QSettings rawStore() { return QSettings(Settings::instance().storeFileName(), QSettings::IniFormat); }
};

void TestSettings::init()
{
    QSettings store = rawStore();
    store.clear();
    store.sync();
}

void TestSettings::keyTable_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("type");
    QTest::addColumn<QVariant>("defaultValue");

    QTest::newRow("validate on add") << "devices.validateonadd" << int(QMetaType::Bool) << QVariant(true);
    QTest::newRow("validate on edit") << "devices.validateonedit" << int(QMetaType::Bool) << QVariant(false);
    QTest::newRow("refresh selected") << "devices.refreshselected" << int(QMetaType::Bool) << QVariant(false);
    QTest::newRow("release channel") << "devices.releasechannel" << int(QMetaType::QString)
                                     << QVariant(QStringLiteral("Stable"));
    QTest::newRow("sidebar size") << "sidebar.size" << int(QMetaType::QString) << QVariant(QStringLiteral("Large"));
    QTest::newRow("health") << "health.enable" << int(QMetaType::Bool) << QVariant(true);
    QTest::newRow("os metrics") << "osmetrics.enable" << int(QMetaType::Bool) << QVariant(true);
    QTest::newRow("valid ssl") << "restapi.validssl" << int(QMetaType::Bool) << QVariant(false);
    QTest::newRow("timeout") << "restapi.timeout" << int(QMetaType::QString) << QVariant(QStringLiteral("10"));
}

void TestSettings::keyTable()
{
    QFETCH(QString, key);
    QFETCH(int, type);
    QFETCH(QVariant, defaultValue);

    QCOMPARE(Settings::keys().size(), 9);
    const auto it = std::find_if(Settings::keys().begin(), Settings::keys().end(),
        [&](const Settings::Key& entry) { return key == QLatin1String(entry.key); });
    QVERIFY2(it != Settings::keys().end(), qPrintable(key));
    QCOMPARE(int(it->type), type);
    QCOMPARE(it->defaultValue, defaultValue);

    const QVariant read = Settings::instance().value(key);
    QCOMPARE(read.typeId(), type);
    QCOMPARE(read, defaultValue);
}

void TestSettings::readingWritesNothing()
{
    Settings& settings = Settings::instance();
    QCOMPARE(settings.validateOnAdd(), true);
    QCOMPARE(settings.validateOnEdit(), false);
    QCOMPARE(settings.refreshSelected(), false);
    QCOMPARE(settings.releaseChannel(), QStringLiteral("Stable"));
    QCOMPARE(settings.sidebarSize(), QStringLiteral("Large"));
    QCOMPARE(settings.displayDeviceHealth(), true);
    QCOMPARE(settings.displayDeviceOsMetrics(), true);
    QCOMPARE(settings.restApiValidSSL(), false);
    QCOMPARE(settings.restApiTimeout(), QStringLiteral("10"));

    for (const auto& entry : Settings::keys())
        QVERIFY2(!settings.isStored(QLatin1String(entry.key)), entry.key);
    QVERIFY(rawStore().allKeys().isEmpty());
    // Tests never touch the user's own settings.
    QVERIFY(settings.storeFileName().contains(QStringLiteral("/.qttest/")));
}

void TestSettings::typedGettersFollowStore()
{
    // Each setter lands under its own key and its getter reads it back; no key leaks into another.
    Settings& settings = Settings::instance();
    settings.setValidateOnAdd(false);
    settings.setValidateOnEdit(true);
    settings.setRefreshSelected(true);
    settings.setReleaseChannel(QStringLiteral("Beta"));
    settings.setSidebarSize(QStringLiteral("Small"));
    settings.setDisplayDeviceHealth(false);
    settings.setDisplayDeviceOsMetrics(false);
    settings.setRestApiValidSSL(true);
    settings.setRestApiTimeout(QStringLiteral("25"));

    QSettings raw = rawStore();
    QCOMPARE(raw.value(QStringLiteral("devices.validateonadd")).toBool(), false);
    QCOMPARE(raw.value(QStringLiteral("devices.validateonedit")).toBool(), true);
    QCOMPARE(raw.value(QStringLiteral("devices.refreshselected")).toBool(), true);
    QCOMPARE(raw.value(QStringLiteral("devices.releasechannel")).toString(), QStringLiteral("Beta"));
    QCOMPARE(raw.value(QStringLiteral("sidebar.size")).toString(), QStringLiteral("Small"));
    QCOMPARE(raw.value(QStringLiteral("health.enable")).toBool(), false);
    QCOMPARE(raw.value(QStringLiteral("osmetrics.enable")).toBool(), false);
    QCOMPARE(raw.value(QStringLiteral("restapi.validssl")).toBool(), true);
    QCOMPARE(raw.value(QStringLiteral("restapi.timeout")).toString(), QStringLiteral("25"));

    QCOMPARE(settings.validateOnAdd(), false);
    QCOMPARE(settings.validateOnEdit(), true);
    QCOMPARE(settings.refreshSelected(), true);
    QCOMPARE(settings.releaseChannel(), QStringLiteral("Beta"));
    QCOMPARE(settings.sidebarSize(), QStringLiteral("Small"));
    QCOMPARE(settings.displayDeviceHealth(), false);
    QCOMPARE(settings.displayDeviceOsMetrics(), false);
    QCOMPARE(settings.restApiValidSSL(), true);
    QCOMPARE(settings.restApiTimeout(), QStringLiteral("25"));
}

void TestSettings::changedOnlyOnRealChange()
{
    Settings& settings = Settings::instance();
    QSignalSpy spy(&settings, &Settings::changed);

    // The default is already the value: nothing changes and nothing is written.
    settings.setReleaseChannel(QStringLiteral("Stable"));
    QCOMPARE(spy.count(), 0);
    QVERIFY(!settings.isStored(QLatin1String(Settings::ReleaseChannel)));

    settings.setReleaseChannel(QStringLiteral("Beta"));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.takeFirst().at(0).toString(), QStringLiteral("devices.releasechannel"));
    settings.setReleaseChannel(QStringLiteral("Beta"));
    QCOMPARE(spy.count(), 0);

    // Going back to the default is a change and is stored as such.
    settings.setReleaseChannel(QStringLiteral("Stable"));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(rawStore().value(QStringLiteral("devices.releasechannel")).toString(), QStringLiteral("Stable"));

    settings.setRestApiTimeout(QString());
    QCOMPARE(spy.count(), 2);
    QCOMPARE(settings.restApiTimeout(), QString());
    QVERIFY(settings.isStored(QLatin1String(Settings::RestApiTimeout)));
}

void TestSettings::storedTextsReadAsTableTypes()
{
    // What another writer left in the file comes back in the table's type.
    {
        QSettings raw = rawStore();
        raw.setValue(QStringLiteral("health.enable"), QStringLiteral("false"));
        raw.setValue(QStringLiteral("restapi.validssl"), QStringLiteral("true"));
        raw.setValue(QStringLiteral("restapi.timeout"), 30);
        raw.sync();
    }
    Settings& settings = Settings::instance();
    QCOMPARE(settings.displayDeviceHealth(), false);
    QCOMPARE(settings.restApiValidSSL(), true);
    QCOMPARE(settings.value(QStringLiteral("restapi.timeout")).typeId(), int(QMetaType::QString));
    QCOMPARE(settings.restApiTimeout(), QStringLiteral("30"));

    QSignalSpy spy(&settings, &Settings::changed);
    settings.setDisplayDeviceHealth(false);
    QCOMPARE(spy.count(), 0);
}

void TestSettings::unknownKeyIsRefused()
{
    Settings& settings = Settings::instance();
    QSignalSpy spy(&settings, &Settings::changed);
    QTest::ignoreMessage(QtWarningMsg, "Settings: unknown key sidebar.width");
    settings.setValue(QStringLiteral("sidebar.width"), 12);
    QCOMPARE(spy.count(), 0);
    QVERIFY(!settings.value(QStringLiteral("sidebar.width")).isValid());
    QVERIFY(rawStore().allKeys().isEmpty());
}

ORVANTA_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
