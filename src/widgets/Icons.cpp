#include "Icons.h"

#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>

namespace {
const char* const FontPath = "/usr/share/fonts/truetype/materialdesignicons-webfont/materialdesignicons-webfont.ttf";

struct Symbol
{
    const char* name;
    char16_t outline; // the symbol at rest
    char16_t filled; // its ".fill" variant; the same glyph where the set has no filled form
};

// Glyphs of the Material Design Icons font (1.6): close-circle(-outline), plus-circle(-outline),
// refresh, rotate-left, power, pencil-box(-outline), arrow-up-bold-circle(-outline),
// skip-previous-circle(-outline), alert(-outline), check-circle(-outline), flash, flash-off,
// thermometer, thermometer-lines, fan, help, harddisk, router-wireless, view-column, lan.
constexpr Symbol Table[] = {
    {"x.circle", 0xF15A, 0xF159},
    {"plus.circle", 0xF419, 0xF417},
    {"arrow.clockwise.circle", 0xF450, 0xF450},
    {"restart.circle", 0xF465, 0xF465},
    {"power.circle", 0xF425, 0xF425},
    {"square.and.pencil.circle", 0xF3ED, 0xF3EC},
    {"arrow.up.circle", 0xF060, 0xF05F},
    {"backward.circle", 0xF664, 0xF663},
    {"exclamationmark.triangle", 0xF02A, 0xF026},
    {"checkmark.circle", 0xF5E1, 0xF5E0},
    {"bolt", 0xF241, 0xF241},
    {"bolt.slash", 0xF243, 0xF243},
    {"thermometer.low", 0xF50F, 0xF50F},
    {"thermometer.medium", 0xF510, 0xF510},
    {"thermometer.high", 0xF510, 0xF510},
    {"fanblades", 0xF210, 0xF210},
    {"fanblades.slash", 0xF210, 0xF210},
    {"questionmark", 0xF2D6, 0xF2D6},
    {"externaldrive.connected.to.line.below", 0xF2CA, 0xF2CA},
    {"wifi.router", 0xF469, 0xF469},
    {"uiwindow.split.2x1", 0xF56D, 0xF56D},
    {"network", 0xF317, 0xF317},
};

const QString FillSuffix = QStringLiteral(".fill");

const QHash<QString, char16_t>& glyphs()
{
    static const QHash<QString, char16_t> table = [] {
        QHash<QString, char16_t> t;
        for (const auto& symbol : Table) {
            const QString name = QString::fromLatin1(symbol.name);
            t.insert(name, symbol.outline);
            t.insert(name + FillSuffix, symbol.filled);
            // A filled name asked for its hover look (the suffix twice) stays filled.
            t.insert(name + FillSuffix + FillSuffix, symbol.filled);
        }
        return t;
    }();
    return table;
}

QString fontFamily()
{
    static const QString family = [] {
        if (!QFile::exists(QString::fromLatin1(FontPath))) {
            qWarning("Icons: the icon font %s is missing", FontPath);
            return QString();
        }
        const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(FontPath));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        if (families.isEmpty()) {
            qWarning("Icons: the icon font %s cannot be loaded", FontPath);
            return QString();
        }
        return families.first();
    }();
    return family;
}
} // namespace

namespace Icons {
bool contains(const QString& symbolName)
{
    return glyphs().contains(symbolName);
}

QStringList symbolNames()
{
    QStringList names = glyphs().keys();
    names.sort();
    return names;
}

bool fontAvailable()
{
    return !fontFamily().isEmpty();
}

char16_t glyph(const QString& symbolName)
{
    return glyphs().value(symbolName, 0);
}

QPixmap pixmap(const QString& symbolName, const QColor& color, int size)
{
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap result(QSize(size, size) * ratio);
    result.setDevicePixelRatio(ratio);
    result.fill(Qt::transparent);
    if (size <= 0)
        return result;
    const QString family = fontFamily();
    if (family.isEmpty())
        return result;

    char16_t code = glyph(symbolName);
    if (code == 0)
        code = glyph(QStringLiteral("questionmark"));
    QFont font(family);
    // The glyphs are drawn on a square em box, so a pixel size of `size` fits the square.
    font.setPixelSize(size);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QString(QChar(code)));
    return result;
}

QIcon icon(const QString& symbolName, const QColor& color, int size)
{
    QIcon result;
    result.addPixmap(pixmap(symbolName, color, size));
    return result;
}
} // namespace Icons
