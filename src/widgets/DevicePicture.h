#pragma once

#include <QPixmap>
#include <QString>

// Device pictures are resources named after the router's board model (":/images/<name>.png").
namespace DevicePicture {
bool exists(const QString& name);
// The picture of that name, or the fallback picture when there is none.
QPixmap forName(const QString& name, const QString& fallback);
} // namespace DevicePicture
