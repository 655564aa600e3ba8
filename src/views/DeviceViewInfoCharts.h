#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QUuid>
#include <QWidget>

#include <optional>

class Device;
class QBarSet;
class QChartView;

// Three small horizontal bar charts of the device's CPU load, memory and disk use, each one bar
// split into an "In Use" and a "Free" segment. Reads the device's figures on every change.
class DeviceViewInfoCharts : public QWidget
{
    Q_OBJECT
public:
    using Text = std::optional<QString>;

    // One bar segment: the series key ("In Use" or "Free"), the caption of the bar, its length.
    struct GraphData
    {
        QString color;
        QString type;
        double count = 0;
        QUuid id;
    };

    explicit DeviceViewInfoCharts(Device* device, QWidget* parent = nullptr);

    // CPU: p and 100 - p, captioned "CPU: <p>% used".
    static QList<GraphData> graphData(const Text& percent);
    // Memory or disk: total - free and free, in the unit picked for the total.
    static QList<GraphData> graphData(const Text& total, const Text& free, const QString& label);
    // Upper end of a memory or disk scale, in the same unit as its segments.
    static double scaledTotal(const Text& total);
    // The unit a decimal (1000) byte count formatter picks for the text as bytes ("KB", "MB", ...).
    static QString byteUnit(const Text& text);
    // Divides by 1024 per step from bytes to `unit`, in single precision; unknown units keep bytes.
    static double scaleToUnit(double number, const QString& unit);
    // total - free in binary (1024) style.
    static QString usedBytesText(const Text& total, const Text& free);
    static QString bytesText(const Text& text);
    // The shortest text that reads back as the same double, always with a fractional part or an
    // exponent: 12.0, 7.5, 1e+16, 1e-05.
    static QString shortestDoubleText(double value);

    // The axis range a chart is drawn with for a scale that may be zero, negative or not a number.
    static std::pair<double, double> axisRange(double scale);

private:
    void redraw();
    QChartView* makeChart(const QString& objectName, int height, bool legend);
    void drawChart(QChartView* view, const QList<GraphData>& data, double scale, const QString& seriesLabel);
    static QBarSet* barMark(const GraphData& item, const QString& seriesLabel);

    QPointer<Device> m_device;
    QChartView* m_cpu = nullptr;
    QChartView* m_ram = nullptr;
    QChartView* m_disk = nullptr;
};
