#pragma once

#include <QString>
#include <QtGlobal>

// Human-readable byte counts in two styles: file style (multiples of 1000) and binary style
// (multiples of 1024). Units "bytes", "KB", "MB", "GB", "TB", "PB"; zero is "Zero KB".
namespace ByteCountFormatter {
QString fileStyle(qint64 bytes);
QString binaryStyle(qint64 bytes);
// The unit alone, as fileStyle would write it ("bytes", "KB", "MB", ...).
QString fileStyleUnit(qint64 bytes);
} // namespace ByteCountFormatter
