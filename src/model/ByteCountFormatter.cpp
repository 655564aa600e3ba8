#include "ByteCountFormatter.h"

#include <QLocale>

#include <array>
#include <cmath>

namespace {
constexpr std::array<const char*, 6> units {"bytes", "KB", "MB", "GB", "TB", "PB"};

struct Scaled
{
    double value;
    int unit;
};

int decimalsFor(int unit)
{
    // More precision for the larger units: 1 KB, 1.5 MB, 1.07 GB.
    return unit == 1 ? 0 : (unit == 2 ? 1 : 2);
}

Scaled scale(qint64 bytes, double base)
{
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (std::fabs(value) >= base && unit < static_cast<int>(units.size()) - 1) {
        value /= base;
        ++unit;
    }
    // A value that rounds up to a whole next unit is written in that unit ("1 MB", not "1000 KB").
    if (unit > 0 && unit < static_cast<int>(units.size()) - 1) {
        const double factor = std::pow(10.0, decimalsFor(unit));
        if (std::round(std::fabs(value) * factor) / factor >= base) {
            value /= base;
            ++unit;
        }
    }
    return {value, unit};
}

QString format(qint64 bytes, double base)
{
    if (bytes == 0)
        return QStringLiteral("Zero KB");
    const Scaled s = scale(bytes, base);
    if (s.unit == 0)
        return QStringLiteral("%1 %2").arg(bytes).arg(std::llabs(bytes) == 1 ? "byte" : "bytes");
    // Trailing zeros are dropped.
    QString number = QLocale::c().toString(s.value, 'f', decimalsFor(s.unit));
    if (number.contains('.')) {
        while (number.endsWith('0'))
            number.chop(1);
        if (number.endsWith('.'))
            number.chop(1);
    }
    return number + ' ' + QLatin1String(units[static_cast<size_t>(s.unit)]);
}
} // namespace

QString ByteCountFormatter::fileStyle(qint64 bytes)
{
    return format(bytes, 1000.0);
}

QString ByteCountFormatter::binaryStyle(qint64 bytes)
{
    return format(bytes, 1024.0);
}

QString ByteCountFormatter::fileStyleUnit(qint64 bytes)
{
    if (bytes == 0)
        return QStringLiteral("KB");
    return QLatin1String(units[static_cast<size_t>(scale(bytes, 1000.0).unit)]);
}
