#include "DevicePicture.h"

#include <QFile>

#include <optional>

namespace {
std::optional<QString> resourcePath(const QString& name)
{
    // Board names come from the router: keep them from reaching other folders of the resources.
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return std::nullopt;
    return QStringLiteral(":/images/%1.png").arg(name);
}
} // namespace

namespace DevicePicture {
bool exists(const QString& name)
{
    const auto path = resourcePath(name);
    return path && QFile::exists(*path);
}

QPixmap forName(const QString& name, const QString& fallback)
{
    if (exists(name))
        return QPixmap(*resourcePath(name));
    if (const auto path = resourcePath(fallback))
        return QPixmap(*path);
    return {};
}
} // namespace DevicePicture
