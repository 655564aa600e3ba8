#include "DeviceViewInfoCharts.h"

#include "model/ByteCountFormatter.h"
#include "model/Device.h"
#include "widgets/SystemColors.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QGraphicsLayout>
#include <QHorizontalStackedBarSeries>
#include <QLegend>
#include <QLocale>
#include <QVBoxLayout>
#include <QValueAxis>

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace {
const QString inUseKey = QStringLiteral("In Use");
const QString freeKey = QStringLiteral("Free");

QString textOrZero(const DeviceViewInfoCharts::Text& text)
{
    return text.value_or(QStringLiteral("0"));
}

// A decimal number with a point as separator whatever the user's locale; anything else is 0.
double readDecimal(const DeviceViewInfoCharts::Text& text)
{
    const QString value = textOrZero(text);
    if (value != value.trimmed())
        return 0;
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double number = c.toDouble(value, &ok);
    return ok ? number : 0;
}

// A whole signed 64-bit number of bytes: an optional sign and digits only; anything else is 0.
qint64 readBytes(const DeviceViewInfoCharts::Text& text)
{
    const QString value = textOrZero(text);
    if (value.isEmpty())
        return 0;
    const int start = (value.front() == QLatin1Char('+') || value.front() == QLatin1Char('-')) ? 1 : 0;
    if (start == value.size())
        return 0;
    for (qsizetype i = start; i < value.size(); ++i) {
        if (value.at(i) < QLatin1Char('0') || value.at(i) > QLatin1Char('9'))
            return 0;
    }
    bool ok = false;
    const qint64 number = value.toLongLong(&ok, 10);
    return ok ? number : 0;
}

DeviceViewInfoCharts::GraphData segment(const QString& color, const QString& type, double count)
{
    return DeviceViewInfoCharts::GraphData {color, type, count, QUuid::createUuid()};
}
} // namespace

DeviceViewInfoCharts::DeviceViewInfoCharts(Device* device, QWidget* parent)
    : QWidget(parent)
    , m_device(device)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_cpu = makeChart(QStringLiteral("cpuChartView"), 41, false);
    m_ram = makeChart(QStringLiteral("ramChartView"), 41, false);
    m_disk = makeChart(QStringLiteral("diskChartView"), 61, true);
    layout->addWidget(m_cpu);
    layout->addWidget(m_ram);
    layout->addWidget(m_disk);

    if (m_device)
        connect(m_device, &Device::changed, this, &DeviceViewInfoCharts::redraw);
    redraw();
}

QChartView* DeviceViewInfoCharts::makeChart(const QString& objectName, int height, bool legend)
{
    auto* chart = new QChart;
    chart->setBackgroundVisible(false);
    chart->setMargins(QMargins(0, 0, 0, 0));
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->legend()->setVisible(legend);
    chart->legend()->setAlignment(Qt::AlignRight);

    auto* series = new QHorizontalStackedBarSeries;
    series->setBarWidth(0.8);
    chart->addSeries(series);

    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    auto* amount = new QValueAxis;
    amount->setTitleText(QString());
    amount->setLabelsFont(small);
    amount->setLabelFormat(QStringLiteral("%g"));
    amount->setTickCount(3);
    amount->setTruncateLabels(false);
    chart->addAxis(amount, Qt::AlignBottom);
    series->attachAxis(amount);
    auto* type = new QBarCategoryAxis;
    type->setLabelsFont(small);
    type->setTruncateLabels(false);
    chart->addAxis(type, Qt::AlignLeft);
    series->attachAxis(type);
    chart->legend()->setFont(small);

    auto* view = new QChartView(chart, this);
    view->setObjectName(objectName);
    view->setRenderHint(QPainter::Antialiasing);
    view->setFrameShape(QFrame::NoFrame);
    view->setStyleSheet(QStringLiteral("background: transparent"));
    view->setFixedHeight(height);
    view->setMinimumWidth(240);
    return view;
}

void DeviceViewInfoCharts::redraw()
{
    if (!m_device)
        return;
    drawChart(m_cpu, graphData(m_device->cpuLoad()), 100, QStringLiteral("CPU Color"));
    drawChart(m_ram, graphData(m_device->memoryTotal(), m_device->memoryFree(), QStringLiteral("RAM")),
        scaledTotal(m_device->memoryTotal()), QStringLiteral("RAM Color"));
    drawChart(m_disk, graphData(m_device->diskTotal(), m_device->diskFree(), QStringLiteral("Disk")),
        scaledTotal(m_device->diskTotal()), QStringLiteral("Disk Color"));
}

void DeviceViewInfoCharts::drawChart(
    QChartView* view, const QList<GraphData>& data, double scale, const QString& seriesLabel)
{
    QChart* chart = view->chart();
    auto* series = qobject_cast<QHorizontalStackedBarSeries*>(chart->series().constFirst());
    series->clear();
    for (const GraphData& item : data)
        series->append(barMark(item, seriesLabel));

    const auto typeAxes = chart->axes(Qt::Vertical);
    if (auto* type = qobject_cast<QBarCategoryAxis*>(typeAxes.constFirst())) {
        type->setCategories({data.isEmpty() ? QString() : data.constFirst().type});
    }
    const auto amountAxes = chart->axes(Qt::Horizontal);
    if (auto* amount = qobject_cast<QValueAxis*>(amountAxes.constFirst())) {
        const auto [low, high] = axisRange(scale);
        amount->setRange(low, high);
    }
}

QBarSet* DeviceViewInfoCharts::barMark(const GraphData& item, const QString& seriesLabel)
{
    auto* set = new QBarSet(item.color);
    set->setObjectName(seriesLabel);
    const QColor color = item.color == inUseKey ? SystemColors::orange() : SystemColors::blue();
    set->setColor(color);
    set->setBorderColor(color);
    set->append(item.count);
    return set;
}

std::pair<double, double> DeviceViewInfoCharts::axisRange(double scale)
{
    if (!std::isfinite(scale) || scale == 0)
        return {0, 1};
    if (scale < 0)
        return {scale, 0};
    return {0, scale};
}

QList<DeviceViewInfoCharts::GraphData> DeviceViewInfoCharts::graphData(const Text& percent)
{
    const double p = readDecimal(percent);
    const QString caption = QStringLiteral("CPU: ") + shortestDoubleText(p) + QStringLiteral("% used");
    return {segment(inUseKey, caption, p), segment(freeKey, caption, 100 - p)};
}

QList<DeviceViewInfoCharts::GraphData> DeviceViewInfoCharts::graphData(
    const Text& total, const Text& free, const QString& label)
{
    const QString unit = byteUnit(total);
    const double t = scaleToUnit(readDecimal(total), unit);
    const double f = scaleToUnit(readDecimal(free), unit);
    const QString caption = label + QStringLiteral(": ") + usedBytesText(total, free) + QStringLiteral(" used, ")
        + bytesText(free) + QStringLiteral(" free");
    return {segment(inUseKey, caption, t - f), segment(freeKey, caption, f)};
}

double DeviceViewInfoCharts::scaledTotal(const Text& total)
{
    return scaleToUnit(readDecimal(total), byteUnit(total));
}

QString DeviceViewInfoCharts::byteUnit(const Text& text)
{
    return ByteCountFormatter::fileStyleUnit(readBytes(text));
}

double DeviceViewInfoCharts::scaleToUnit(double number, const QString& unit)
{
    static const QStringList units {
        QStringLiteral("KB"), QStringLiteral("MB"), QStringLiteral("GB"), QStringLiteral("TB"), QStringLiteral("PB")};
    const qsizetype steps = units.indexOf(unit) + 1;
    if (steps == 0)
        return number;
    float value = static_cast<float>(number);
    for (qsizetype i = 0; i < steps; ++i)
        value *= 0.0009765625f;
    return static_cast<double>(value);
}

QString DeviceViewInfoCharts::usedBytesText(const Text& total, const Text& free)
{
    // A free count below a huge negative total (or the reverse) would overflow: keep the nearest end.
    qint64 used = 0;
    if (__builtin_sub_overflow(readBytes(total), readBytes(free), &used))
        used = readBytes(free) < 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return ByteCountFormatter::binaryStyle(used);
}

QString DeviceViewInfoCharts::bytesText(const Text& text)
{
    return ByteCountFormatter::binaryStyle(readBytes(text));
}

QString DeviceViewInfoCharts::shortestDoubleText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("nan");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-inf") : QStringLiteral("inf");

    // Shortest round-trip digits and their exponent, as d.ddde±x.
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    if (error != std::errc())
        return QString::number(value);
    const std::string text(buffer, end);
    const size_t ePos = text.find('e');
    std::string mantissa = text.substr(0, ePos);
    const int exponent = std::stoi(text.substr(ePos + 1));
    const bool negative = mantissa.front() == '-';
    if (negative)
        mantissa.erase(0, 1);
    std::string digits;
    for (char c : mantissa) {
        if (c != '.')
            digits += c;
    }

    std::string out = negative ? "-" : "";
    // Beyond 2^53 not every integer is exact, and tiny values would need long runs of zeros.
    if (std::fabs(value) > 9007199254740992.0 || exponent < -4) {
        out += digits.substr(0, 1);
        if (digits.size() > 1)
            out += '.' + digits.substr(1);
        out += exponent < 0 ? "e-" : "e+";
        const std::string magnitude = std::to_string(std::abs(exponent));
        out += (magnitude.size() < 2 ? "0" : "") + magnitude;
    } else if (exponent >= 0) {
        const size_t integerDigits = static_cast<size_t>(exponent) + 1;
        if (digits.size() <= integerDigits) {
            out += digits + std::string(integerDigits - digits.size(), '0') + ".0";
        } else {
            out += digits.substr(0, integerDigits) + '.' + digits.substr(integerDigits);
        }
    } else {
        out += "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    }
    return QString::fromStdString(out);
}
