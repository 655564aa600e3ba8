#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QStringList>

// Symbol names (and their ".fill" variants) to icons of the same meaning from the Material Design
// Icons set, whose SVG files are compiled in under ":/icons/".
namespace Icons {
bool contains(const QString& symbolName);
QStringList symbolNames(); // every name of the table, ".fill" variants included
// The compiled-in SVG file a name is drawn from (the question mark's for a name not in the table).
QString resourcePath(const QString& symbolName);
// A symbol drawn in `color`, `size` pixels square (a name not in the table draws a question mark).
QPixmap pixmap(const QString& symbolName, const QColor& color, int size);
QIcon icon(const QString& symbolName, const QColor& color, int size = 16);
} // namespace Icons
