#pragma once

#include "model/HealthItem.h"

#include <QColor>
#include <QPointer>
#include <QString>
#include <QWidget>

class Device;
class HealthListState;
class QVBoxLayout;

// The health readings of the selected device, one line each with a symbol tinted by the state of
// the reading. Redraws when the shared health list or the device changes.
class DeviceViewInfoHealth : public QWidget
{
    Q_OBJECT
public:
    DeviceViewInfoHealth(Device* device, HealthListState* healthArray, QWidget* parent = nullptr);

    // The symbol for a reading of unit `type`.
    static QString healthIcon(const QString& type, const QString& value);
    static QColor healthColor(const QString& type, const QString& value);
    // "cpu-temperature" -> "CPU temperature".
    static QString formatHealthName(const QString& name);
    // The reading as a whole decimal integer; -9999 when it is not one or does not fit 64 bits.
    static qint64 numericReading(const QString& value);

private:
    void rebuild();
    QWidget* healthRow(const HealthItem& item);

    QPointer<Device> m_device;
    QPointer<HealthListState> m_healthArray;
    QVBoxLayout* m_rows = nullptr;
};
