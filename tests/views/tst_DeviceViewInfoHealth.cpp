#include "support/StdoutCapture.h"
#include "support/TestMain.h"

#include "model/Device.h"
#include "model/PersistenceController.h"

#include "views/DeviceViewInfoHealth.h"
#include "widgets/SystemColors.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

class TestDeviceViewInfoHealth : public QObject
{
    Q_OBJECT
private slots:
    void symbolAndColour_data();
    void symbolAndColour();
    void formatHealthName_data();
    void formatHealthName();
    void emptyListShowsOnlyTheNotice();
    void rowsFollowTheDevicesReadings();

private:
    QTemporaryDir m_dir;
};

void TestDeviceViewInfoHealth::symbolAndColour_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<QColor>("colour");

    const QColor red = SystemColors::red(), green = SystemColors::green(), blue = SystemColors::blue(),
                 yellow = SystemColors::yellow(), orange = SystemColors::orange(), white = SystemColors::white();
    // Electrical readings: only an exact integer zero counts as off.
    QTest::newRow("volts 24") << "V"
                              << "24"
                              << "bolt" << green;
    QTest::newRow("volts 24.1 is not an integer") << "V"
                                                  << "24.1"
                                                  << "bolt" << green;
    QTest::newRow("volts 0") << "V"
                             << "0"
                             << "bolt.slash" << red;
    QTest::newRow("volts 0.0 is not an integer") << "V"
                                                 << "0.0"
                                                 << "bolt" << green;
    QTest::newRow("volts -0") << "V"
                              << "-0"
                              << "bolt.slash" << red;
    QTest::newRow("amps 0") << "A"
                            << "0"
                            << "bolt.slash" << red;
    QTest::newRow("watts +3") << "W"
                              << "+3"
                              << "bolt" << green;
    QTest::newRow("watts empty") << "W"
                                 << ""
                                 << "bolt" << green;
    // Fans.
    QTest::newRow("fan 0") << "RPM"
                           << "0"
                           << "fanblades.slash" << red;
    QTest::newRow("fan 3200") << "RPM"
                              << "3200"
                              << "fanblades" << green;
    QTest::newRow("fan text") << "RPM"
                              << "n/a"
                              << "fanblades" << green;
    // Temperatures: icon and colour bands are separate scales.
    QTest::newRow("temp -5") << "C"
                             << "-5"
                             << "thermometer.low" << blue;
    QTest::newRow("temp 9") << "C"
                            << "9"
                            << "thermometer.low" << blue;
    QTest::newRow("temp 10") << "C"
                             << "10"
                             << "thermometer.low" << green;
    QTest::newRow("temp 29") << "C"
                             << "29"
                             << "thermometer.low" << green;
    QTest::newRow("temp 30") << "C"
                             << "30"
                             << "thermometer.medium" << yellow;
    QTest::newRow("temp 49") << "C"
                             << "49"
                             << "thermometer.medium" << yellow;
    QTest::newRow("temp 50") << "C"
                             << "50"
                             << "thermometer.medium" << orange;
    QTest::newRow("temp 55") << "C"
                             << "55"
                             << "thermometer.medium" << orange;
    QTest::newRow("temp 59") << "C"
                             << "59"
                             << "thermometer.medium" << orange;
    QTest::newRow("temp 60") << "C"
                             << "60"
                             << "thermometer.high" << orange;
    QTest::newRow("temp 65") << "C"
                             << "65"
                             << "thermometer.high" << orange;
    QTest::newRow("temp 69") << "C"
                             << "69"
                             << "thermometer.high" << orange;
    QTest::newRow("temp 70") << "C"
                             << "70"
                             << "thermometer.high" << red;
    QTest::newRow("temp -9999 reads as unknown") << "C"
                                                 << "-9999"
                                                 << "thermometer.medium" << white;
    QTest::newRow("temp with decimals") << "C"
                                        << "45.5"
                                        << "thermometer.medium" << white;
    QTest::newRow("temp with blank") << "C"
                                     << " 45"
                                     << "thermometer.medium" << white;
    QTest::newRow("temp sign only") << "C"
                                    << "-"
                                    << "thermometer.medium" << white;
    QTest::newRow("temp beyond 64 bits") << "C"
                                         << "99999999999999999999"
                                         << "thermometer.medium" << white;
    QTest::newRow("temp hugely negative") << "C"
                                          << "-9223372036854775808"
                                          << "thermometer.low" << blue;
    // Units are matched exactly.
    QTest::newRow("lower-case c") << "c"
                                  << "45"
                                  << "questionmark" << white;
    QTest::newRow("percent") << "%"
                             << "12"
                             << "questionmark" << white;
    QTest::newRow("lower-case rpm") << "rpm"
                                    << "0"
                                    << "questionmark" << white;
    QTest::newRow("no unit") << ""
                             << "0"
                             << "questionmark" << white;
}

void TestDeviceViewInfoHealth::symbolAndColour()
{
    QFETCH(QString, type);
    QFETCH(QString, value);
    QFETCH(QString, symbol);
    QFETCH(QColor, colour);
    QCOMPARE(DeviceViewInfoHealth::healthIcon(type, value), symbol);
    QCOMPARE(DeviceViewInfoHealth::healthColor(type, value), colour);
}

void TestDeviceViewInfoHealth::formatHealthName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("shown");
    QTest::newRow("cpu") << "cpu-temperature"
                         << "CPU temperature";
    QTest::newRow("fan") << "fan1-speed"
                         << "Fan1 speed";
    QTest::newRow("psu") << "psu2-voltage"
                         << "PSU2 voltage";
    QTest::newRow("poe") << "poe-out-consumption"
                         << "POE out consumption";
    QTest::newRow("plain") << "board-temperature1"
                           << "Board temperature1";
    QTest::newRow("only three words") << "sfp-temperature"
                                      << "Sfp temperature";
    QTest::newRow("every occurrence") << "cpu-cpu-psu"
                                      << "CPU CPU PSU";
    QTest::newRow("capitals stay") << "CPU"
                                   << "CPU";
    QTest::newRow("no case folding") << "Cpu"
                                     << "Cpu";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("leading dash") << "-x"
                                  << " x";
}

void TestDeviceViewInfoHealth::formatHealthName()
{
    QFETCH(QString, name);
    QFETCH(QString, shown);
    QCOMPARE(DeviceViewInfoHealth::formatHealthName(name), shown);
}

void TestDeviceViewInfoHealth::emptyListShowsOnlyTheNotice()
{
    DeviceViewInfoHealth panel(nullptr);
    const auto notice = panel.findChild<QLabel*>("noHealthLabel");
    QVERIFY(notice);
    QCOMPARE(notice->text(), QStringLiteral("This device does not support health data"));
    QVERIFY(panel.findChildren<QLabel*>("healthTextLabel").isEmpty());
}

void TestDeviceViewInfoHealth::rowsFollowTheDevicesReadings()
{
    PersistenceController store(m_dir.filePath("health.sqlite"));
    Device* device = store.insertDevice();
    device->setHealth(QStringLiteral(R"([{".id":"*1","name":"cpu-temperature","type":"C","value":"45"},)"
                                     R"({".id":"*2","name":"fan1-speed","type":"RPM","value":"0"},)"
                                     R"({".id":"*3","name":"psu1-voltage","type":"V","value":"24.1"}])"));
    DeviceViewInfoHealth panel(device);

    const auto texts = panel.findChildren<QLabel*>("healthTextLabel");
    QCOMPARE(texts.size(), 3);
    QCOMPARE(texts.at(0)->text(), QStringLiteral("CPU temperature: 45 C"));
    QCOMPARE(texts.at(1)->text(), QStringLiteral("Fan1 speed: 0 RPM"));
    QCOMPARE(texts.at(2)->text(), QStringLiteral("PSU1 voltage: 24.1 V"));
    QVERIFY(!panel.findChild<QLabel*>("noHealthLabel"));

    const auto icons = panel.findChildren<QLabel*>("healthIconLabel");
    QCOMPARE(icons.size(), 3);
    QCOMPARE(icons.at(1)->property("symbolName").toString(), QStringLiteral("fanblades.slash"));
    QCOMPARE(icons.at(1)->property("symbolColor").value<QColor>(), SystemColors::red());
    QVERIFY(!icons.at(0)->pixmap().isNull());

    // A reply that cannot be read is printed and leaves the rows as they were.
    StdoutCapture capture;
    device->setHealth(QStringLiteral("not json"));
    const QString printed = capture.text();
    capture.restore();
    QVERIFY(!printed.isEmpty());
    QCOMPARE(panel.findChildren<QLabel*>("healthTextLabel").size(), 3);

    // A refresh that finds no readings empties the panel again.
    device->setHealth(QStringLiteral("[]"));
    QVERIFY(panel.findChildren<QLabel*>("healthTextLabel").isEmpty());
    QVERIFY(panel.findChild<QLabel*>("noHealthLabel"));
}

ORVANTA_WIDGET_TEST_MAIN(TestDeviceViewInfoHealth)
#include "tst_DeviceViewInfoHealth.moc"
