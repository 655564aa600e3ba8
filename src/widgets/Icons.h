#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QStringList>

// Symbol names (and their ".fill" variants) to icons of the same meaning from the Material Design
// Icons font installed by the system's package manager.
namespace Icons {
bool contains(const QString& symbolName);
QStringList symbolNames(); // every name of the table, ".fill" variants included
// A symbol drawn in `color`, `size` pixels square (a name not in the table draws a question mark).
QPixmap pixmap(const QString& symbolName, const QColor& color, int size);
QIcon icon(const QString& symbolName, const QColor& color, int size = 16);
// Whether the icon font could be loaded (without it every symbol is blank).
bool fontAvailable();
// The font's glyph for a name of the table (0 for an unknown name).
char16_t glyph(const QString& symbolName);
} // namespace Icons
