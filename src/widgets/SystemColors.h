#pragma once

#include <QColor>

// The standard named colours the device panels tint their symbols and bars with; one place so
// that the health, version and chart colours agree.
namespace SystemColors {
inline QColor red()
{
    return QColor(0xff, 0x3b, 0x30);
}
inline QColor orange()
{
    return QColor(0xff, 0x95, 0x00);
}
inline QColor yellow()
{
    return QColor(0xff, 0xcc, 0x00);
}
inline QColor green()
{
    return QColor(0x34, 0xc7, 0x59);
}
inline QColor blue()
{
    return QColor(0x00, 0x7a, 0xff);
}
inline QColor white()
{
    return QColor(Qt::white);
}
} // namespace SystemColors
