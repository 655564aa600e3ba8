#pragma once

#include "model/HealthItem.h"

#include <QColor>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>

class Device;
class QVBoxLayout;

// The health readings of one device, one line each with a symbol tinted by the state of the
// reading. Rebuilt from the device's stored health reply whenever that reply changes, so it never
// shows another device's readings.
class DeviceViewInfoHealth : public QWidget
{
    Q_OBJECT
public:
    explicit DeviceViewInfoHealth(Device* device, QWidget* parent = nullptr);

    // The symbol for a reading of unit `type`.
    static QString healthIcon(const QString& type, const QString& value);
    static QColor healthColor(const QString& type, const QString& value);
    // "cpu-temperature" -> "CPU temperature".
    static QString formatHealthName(const QString& name);
    // The reading as a whole decimal integer; -9999 when it is not one or does not fit 64 bits.
    static qint64 numericReading(const QString& value);

private:
    // Reads the device's readings again when its health reply changed; a reply that cannot be
    // read is printed and leaves the shown rows as they were.
    void reload();
    void rebuild(const QList<HealthItem>& items);
    QWidget* healthRow(const HealthItem& item);

    QPointer<Device> m_device;
    std::optional<std::optional<QString>> m_shownHealth; // the reply the rows were read from
    QVBoxLayout* m_rows = nullptr;
};
