#include "support/TestMain.h"

#include "model/Device.h"
#include "model/PersistenceController.h"
#include "support/ShownWidgets.h"
#include "views/DeviceViewInfoCharts.h"
#include "widgets/SystemColors.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QHorizontalStackedBarSeries>
#include <QLegend>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>

#include <cmath>
#include <limits>
#include <memory>

using Text = DeviceViewInfoCharts::Text;
Q_DECLARE_METATYPE(Text)

namespace {
QHorizontalStackedBarSeries* seriesOf(QChartView* view)
{
    return qobject_cast<QHorizontalStackedBarSeries*>(view->chart()->series().constFirst());
}

QValueAxis* amountAxisOf(QChartView* view)
{
    return qobject_cast<QValueAxis*>(view->chart()->axes(Qt::Horizontal).constFirst());
}

QStringList categoriesOf(QChartView* view)
{
    return qobject_cast<QBarCategoryAxis*>(view->chart()->axes(Qt::Vertical).constFirst())->categories();
}
} // namespace

class TestDeviceViewInfoCharts : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void shortestDoubleText_data();
    void shortestDoubleText();
    void cpuGraphData_data();
    void cpuGraphData();
    void byteUnitAndScale_data();
    void byteUnitAndScale();
    void bytesGraphData_data();
    void bytesGraphData();
    void segmentsGetFreshIds();
    void usedBytesTextDoesNotOverflow();
    void axisRange_data();
    void axisRange();

    void chartsFollowTheDevice();
    void unusableScalesStillDraw();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<PersistenceController> m_store;
};

void TestDeviceViewInfoCharts::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_store = std::make_unique<PersistenceController>(m_dir->filePath("Orvanta.sqlite"));
}

void TestDeviceViewInfoCharts::cleanup()
{
    m_store.reset();
    m_dir.reset();
}

void TestDeviceViewInfoCharts::shortestDoubleText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole") << 12.0 << "12.0";
    QTest::newRow("half") << 7.5 << "7.5";
    QTest::newRow("zero") << 0.0 << "0.0";
    QTest::newRow("negative zero") << -0.0 << "-0.0";
    QTest::newRow("negative") << -50.0 << "-50.0";
    QTest::newRow("tenth") << 0.1 << "0.1";
    QTest::newRow("sum with error") << 0.1 + 0.2 << "0.30000000000000004";
    QTest::newRow("third") << 1.0 / 3.0 << "0.3333333333333333";
    QTest::newRow("hundreds") << 100.0 << "100.0";
    QTest::newRow("largest exact integer") << 9007199254740992.0 << "9007199254740992.0";
    QTest::newRow("beyond exact integers") << 1e16 << "1e+16";
    QTest::newRow("long mantissa exponent") << 12345678901234567890.0 << "1.2345678901234567e+19";
    QTest::newRow("small but plain") << 0.0001 << "0.0001";
    QTest::newRow("small with exponent") << 0.00001 << "1e-05";
    QTest::newRow("tiny") << 1.5e-300 << "1.5e-300";
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << "inf";
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << "nan";
}

void TestDeviceViewInfoCharts::shortestDoubleText()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(DeviceViewInfoCharts::shortestDoubleText(value), text);
}

void TestDeviceViewInfoCharts::cpuGraphData_data()
{
    QTest::addColumn<Text>("load");
    QTest::addColumn<double>("inUse");
    QTest::addColumn<double>("free");
    QTest::addColumn<QString>("caption");
    QTest::newRow("12") << Text("12") << 12.0 << 88.0 << "CPU: 12.0% used";
    QTest::newRow("decimal") << Text("7.5") << 7.5 << 92.5 << "CPU: 7.5% used";
    QTest::newRow("absent") << Text() << 0.0 << 100.0 << "CPU: 0.0% used";
    QTest::newRow("empty") << Text("") << 0.0 << 100.0 << "CPU: 0.0% used";
    QTest::newRow("letters") << Text("abc") << 0.0 << 100.0 << "CPU: 0.0% used";
    QTest::newRow("comma decimal") << Text("7,5") << 0.0 << 100.0 << "CPU: 0.0% used";
    QTest::newRow("with percent sign") << Text("12%") << 0.0 << 100.0 << "CPU: 0.0% used";
    QTest::newRow("over 100") << Text("150") << 150.0 << -50.0 << "CPU: 150.0% used";
    QTest::newRow("exponent") << Text("1e16") << 1e16 << 100.0 - 1e16 << "CPU: 1e+16% used";
}

void TestDeviceViewInfoCharts::cpuGraphData()
{
    QFETCH(Text, load);
    QFETCH(double, inUse);
    QFETCH(double, free);
    QFETCH(QString, caption);
    const auto data = DeviceViewInfoCharts::graphData(load);
    QCOMPARE(data.size(), 2);
    QCOMPARE(data.at(0).color, QStringLiteral("In Use"));
    QCOMPARE(data.at(1).color, QStringLiteral("Free"));
    QCOMPARE(data.at(0).count, inUse);
    QCOMPARE(data.at(1).count, free);
    QCOMPARE(data.at(0).type, caption);
    QCOMPARE(data.at(1).type, caption);
}

void TestDeviceViewInfoCharts::byteUnitAndScale_data()
{
    QTest::addColumn<Text>("total");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<double>("scaled");
    // The unit is picked by thousands, the scale divides by 1024 in single precision.
    QTest::newRow("1 GiB") << Text("1073741824") << "GB" << 1.0;
    QTest::newRow("8 GB") << Text("8000000000") << "GB"
                          << static_cast<double>(
                                 static_cast<float>(8000000000.0) * 0.0009765625f * 0.0009765625f * 0.0009765625f);
    QTest::newRow("1000 bytes is KB") << Text("1000") << "KB" << 1000.0 / 1024.0;
    QTest::newRow("999 bytes stay bytes") << Text("999") << "bytes" << 999.0;
    QTest::newRow("MB") << Text("268435456") << "MB" << 256.0;
    QTest::newRow("TB") << Text("2000000000000") << "TB"
                        << static_cast<double>(static_cast<float>(2000000000000.0) * 0.0009765625f * 0.0009765625f
                               * 0.0009765625f * 0.0009765625f);
    QTest::newRow("absent is zero") << Text() << "KB" << 0.0;
    QTest::newRow("letters are zero") << Text("lots") << "KB" << 0.0;
    // A fraction is no whole byte count (unit of zero) but still a decimal number.
    QTest::newRow("fraction") << Text("2048.5") << "KB" << 2048.5 / 1024.0;
}

void TestDeviceViewInfoCharts::byteUnitAndScale()
{
    QFETCH(Text, total);
    QFETCH(QString, unit);
    QFETCH(double, scaled);
    QCOMPARE(DeviceViewInfoCharts::byteUnit(total), unit);
    QCOMPARE(DeviceViewInfoCharts::scaledTotal(total), scaled);
    QCOMPARE(DeviceViewInfoCharts::scaleToUnit(12345.0, QStringLiteral("bytes")), 12345.0);
    QCOMPARE(DeviceViewInfoCharts::scaleToUnit(12345.0, QStringLiteral("Go")), 12345.0);
    QCOMPARE(DeviceViewInfoCharts::scaleToUnit(12345.0, QStringLiteral("B")), 12345.0);
    QCOMPARE(DeviceViewInfoCharts::scaleToUnit(std::pow(2.0, 50), QStringLiteral("PB")), 1.0);
    // Single precision: 16777217 has no float of its own.
    QCOMPARE(DeviceViewInfoCharts::scaleToUnit(16777217.0, QStringLiteral("KB")), 16384.0);
}

void TestDeviceViewInfoCharts::bytesGraphData_data()
{
    QTest::addColumn<Text>("total");
    QTest::addColumn<Text>("free");
    QTest::addColumn<double>("inUse");
    QTest::addColumn<double>("freeCount");
    QTest::addColumn<QString>("caption");
    QTest::newRow("quarter free") << Text("1073741824") << Text("268435456") << 0.75 << 0.25
                                  << "RAM: 768 MB used, 256 MB free";
    QTest::newRow("half free") << Text("1073741824") << Text("536870912") << 0.5 << 0.5
                               << "RAM: 512 MB used, 512 MB free";
    QTest::newRow("never refreshed") << Text() << Text() << 0.0 << 0.0 << "RAM: Zero KB used, Zero KB free";
    QTest::newRow("free above total") << Text("1073741824") << Text("2147483648") << -1.0 << 2.0
                                      << "RAM: -1 GB used, 2 GB free";
    QTest::newRow("bytes unit keeps bytes")
        << Text("900") << Text("300") << 600.0 << 300.0 << "RAM: 600 bytes used, 300 bytes free";
    QTest::newRow("unreadable free") << Text("1073741824") << Text("x") << 1.0 << 0.0 << "RAM: 1 GB used, Zero KB free";
}

void TestDeviceViewInfoCharts::bytesGraphData()
{
    QFETCH(Text, total);
    QFETCH(Text, free);
    QFETCH(double, inUse);
    QFETCH(double, freeCount);
    QFETCH(QString, caption);
    const auto data = DeviceViewInfoCharts::graphData(total, free, QStringLiteral("RAM"));
    QCOMPARE(data.size(), 2);
    QCOMPARE(data.at(0).color, QStringLiteral("In Use"));
    QCOMPARE(data.at(1).color, QStringLiteral("Free"));
    QCOMPARE(data.at(0).count, inUse);
    QCOMPARE(data.at(1).count, freeCount);
    QCOMPARE(data.at(0).type, caption);
    QCOMPARE(data.at(1).type, caption);
}

void TestDeviceViewInfoCharts::segmentsGetFreshIds()
{
    const auto first = DeviceViewInfoCharts::graphData(Text("12"));
    const auto second = DeviceViewInfoCharts::graphData(Text("12"));
    QVERIFY(!first.at(0).id.isNull());
    QVERIFY(first.at(0).id != first.at(1).id);
    QVERIFY(first.at(0).id != second.at(0).id);
}

void TestDeviceViewInfoCharts::usedBytesTextDoesNotOverflow()
{
    // The difference of two extreme counts does not fit 64 bits: it is held at the nearest end.
    const QString max = QString::number(std::numeric_limits<qint64>::max());
    const QString min = QString::number(std::numeric_limits<qint64>::min());
    QCOMPARE(DeviceViewInfoCharts::usedBytesText(max, Text("-1")), DeviceViewInfoCharts::bytesText(max));
    QCOMPARE(DeviceViewInfoCharts::usedBytesText(min, Text("1")), DeviceViewInfoCharts::bytesText(min));
    QCOMPARE(DeviceViewInfoCharts::usedBytesText(Text("2048"), Text("1024")), QStringLiteral("1 KB"));
    QCOMPARE(DeviceViewInfoCharts::usedBytesText(Text(""), Text("1024")), QStringLiteral("-1 KB"));
}

void TestDeviceViewInfoCharts::axisRange_data()
{
    QTest::addColumn<double>("scale");
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::newRow("ordinary") << 7.45 << 0.0 << 7.45;
    QTest::newRow("zero") << 0.0 << 0.0 << 1.0;
    QTest::newRow("negative") << -3.0 << -3.0 << 0.0;
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << 0.0 << 1.0;
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << 0.0 << 1.0;
}

void TestDeviceViewInfoCharts::axisRange()
{
    QFETCH(double, scale);
    QFETCH(double, low);
    QFETCH(double, high);
    const auto [first, last] = DeviceViewInfoCharts::axisRange(scale);
    QCOMPARE(first, low);
    QCOMPARE(last, high);
}

void TestDeviceViewInfoCharts::chartsFollowTheDevice()
{
    Device* device = m_store->insertDevice();
    DeviceViewInfoCharts charts(device);
    auto* cpu = charts.findChild<QChartView*>("cpuChartView");
    auto* ram = charts.findChild<QChartView*>("ramChartView");
    auto* disk = charts.findChild<QChartView*>("diskChartView");
    QVERIFY(cpu && ram && disk);
    QCOMPARE(cpu->height(), 41);
    QCOMPARE(ram->height(), 41);
    QCOMPARE(disk->height(), 61);
    QVERIFY(!cpu->chart()->legend()->isVisible());
    QVERIFY(!ram->chart()->legend()->isVisible());
    QVERIFY(disk->chart()->legend()->isVisible());

    // Never refreshed: an all-free CPU bar.
    QCOMPARE(categoriesOf(cpu), QStringList {"CPU: 0.0% used"});
    QCOMPARE(seriesOf(cpu)->barSets().at(1)->at(0), 100.0);

    device->setCpuLoad(QStringLiteral("12"));
    device->setMemoryTotal(QStringLiteral("1073741824"));
    device->setMemoryFree(QStringLiteral("268435456"));
    device->setDiskTotal(QStringLiteral("8000000000"));
    device->setDiskFree(QStringLiteral("4000000000"));

    QCOMPARE(categoriesOf(cpu), QStringList {"CPU: 12.0% used"});
    const auto cpuSets = seriesOf(cpu)->barSets();
    QCOMPARE(cpuSets.size(), 2);
    QCOMPARE(cpuSets.at(0)->label(), QStringLiteral("In Use"));
    QCOMPARE(cpuSets.at(0)->at(0), 12.0);
    QCOMPARE(cpuSets.at(0)->color(), SystemColors::orange());
    QCOMPARE(cpuSets.at(1)->label(), QStringLiteral("Free"));
    QCOMPARE(cpuSets.at(1)->at(0), 88.0);
    QCOMPARE(cpuSets.at(1)->color(), SystemColors::blue());
    QCOMPARE(amountAxisOf(cpu)->max(), 100.0);

    QCOMPARE(categoriesOf(ram), QStringList {"RAM: 768 MB used, 256 MB free"});
    QCOMPARE(seriesOf(ram)->barSets().at(0)->at(0), 0.75);
    QCOMPARE(amountAxisOf(ram)->max(), 1.0);

    QVERIFY(categoriesOf(disk).constFirst().startsWith("Disk: "));
    QCOMPARE(amountAxisOf(disk)->max(), DeviceViewInfoCharts::scaledTotal(Text("8000000000")));
    QVERIFY(qAbs(amountAxisOf(disk)->max() - 7.45) < 0.01);
}

void TestDeviceViewInfoCharts::unusableScalesStillDraw()
{
    Device* device = m_store->insertDevice();
    device->setMemoryTotal(QStringLiteral("-1073741824"));
    device->setMemoryFree(QStringLiteral("0"));
    device->setDiskTotal(QStringLiteral("nan"));
    DeviceViewInfoCharts charts(device);
    charts.resize(320, 200);
    charts.show();
    QVERIFY(QTest::qWaitForWindowExposed(&charts));

    // Every chart whole and apart, its caption and scale drawn; the bars that have a size show.
    const ShownWidgets shown(&charts);
    QVERIFY(shown.save(QStringLiteral("charts-unusable-scales.png")));
    QVERIFY2(shown.faults().isEmpty(), qPrintable(shown.problems()));
    auto* cpu = charts.findChild<QChartView*>("cpuChartView");
    auto* ram = charts.findChild<QChartView*>("ramChartView");
    auto* disk = charts.findChild<QChartView*>("diskChartView");
    for (QChartView* chart : {cpu, ram, disk}) {
        QVERIFY(chart->isVisible());
        QVERIFY2(shown.inkOf(chart) > 100, qPrintable(chart->objectName()));
        // Its caption stands beside the bars.
        const QRect caption(0, 0, qRound(chart->chart()->plotArea().left()), chart->height());
        QVERIFY2(shown.inkOf(chart, caption) > 100, qPrintable(chart->objectName()));
    }
    QVERIFY(shown.pixelsOf(cpu, SystemColors::blue()) > 100);
    QVERIFY(shown.pixelsOf(ram, SystemColors::orange()) > 100);
    QVERIFY(amountAxisOf(ram)->min() < amountAxisOf(ram)->max());
    QVERIFY(amountAxisOf(disk)->min() < amountAxisOf(disk)->max());
    QVERIFY(std::isfinite(amountAxisOf(disk)->max()));
}

ORVANTA_WIDGET_TEST_MAIN(TestDeviceViewInfoCharts)
#include "tst_DeviceViewInfoCharts.moc"
