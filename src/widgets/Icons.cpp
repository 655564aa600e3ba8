#include "Icons.h"

#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

namespace {
struct Symbol
{
    const char* name;
    const char* outline; // file of the symbol at rest
    const char* filled; // file of its ".fill" variant; null where the set has no filled form
};

// Files of resources/icons (Material Design Icons, named as in the set).
constexpr Symbol Table[] = {
    {"x.circle", "close-circle-outline", "close-circle"},
    {"plus.circle", "plus-circle-outline", "plus-circle"},
    {"arrow.clockwise.circle", "refresh", "refresh-circle"},
    {"restart.circle", "restart", nullptr},
    {"power.circle", "power", nullptr},
    {"square.and.pencil.circle", "pencil-circle-outline", "pencil-circle"},
    {"arrow.up.circle", "arrow-up-circle-outline", "arrow-up-circle"},
    {"backward.circle", "rewind-outline", "rewind"},
    {"exclamationmark.triangle", "alert-outline", "alert"},
    {"checkmark.circle", "check-circle-outline", "check-circle"},
    {"bolt", "flash", nullptr},
    {"bolt.slash", "flash-off", nullptr},
    // The set's thermometer-low and -high differ from the plain one by a sliver of the tube that
    // vanishes at the health panel's size; the arrowed forms tell the three apart at a glance.
    {"thermometer.low", "thermometer-chevron-down", nullptr},
    {"thermometer.medium", "thermometer", nullptr},
    {"thermometer.high", "thermometer-chevron-up", nullptr},
    {"fanblades", "fan", nullptr},
    {"fanblades.slash", "fan-off", nullptr},
    {"questionmark", "help", nullptr},
    {"externaldrive.connected.to.line.below", "harddisk", nullptr},
    {"wifi.router", "router-wireless", nullptr},
    {"uiwindow.split.2x1", "dock-left", nullptr},
    {"network", "lan", nullptr},
};

const QString FillSuffix = QStringLiteral(".fill");

QString filePath(const char* file)
{
    return QStringLiteral(":/icons/%1.svg").arg(QLatin1String(file));
}

const QHash<QString, QString>& files()
{
    static const QHash<QString, QString> table = [] {
        QHash<QString, QString> t;
        for (const auto& symbol : Table) {
            const QString name = QString::fromLatin1(symbol.name);
            const QString outline = filePath(symbol.outline);
            const QString filled = symbol.filled ? filePath(symbol.filled) : outline;
            t.insert(name, outline);
            t.insert(name + FillSuffix, filled);
            // A filled name asked for its hover look (the suffix twice) stays filled.
            t.insert(name + FillSuffix + FillSuffix, filled);
        }
        return t;
    }();
    return table;
}
// The part of the set's 24-unit grid that a file inks: the set leaves a margin around most
// symbols, and a symbol is scaled to fit its frame by what it draws, not by that margin.
QRectF inkedBox(QSvgRenderer& renderer, const QString& path)
{
    static QHash<QString, QRectF> boxes;
    if (const auto found = boxes.constFind(path); found != boxes.constEnd())
        return *found;
    constexpr int Scale = 10;
    const QRectF grid = renderer.viewBoxF();
    QImage image((grid.size() * Scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    int left = image.width(), top = image.height(), right = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) == 0)
                continue;
            left = qMin(left, x);
            right = qMax(right, x);
            top = qMin(top, y);
            bottom = qMax(bottom, y);
        }
    }
    const QRectF box = right < 0 ? grid
                                 : QRectF(grid.x() + qreal(left) / Scale, grid.y() + qreal(top) / Scale,
                                     qreal(right - left + 1) / Scale, qreal(bottom - top + 1) / Scale);
    boxes.insert(path, box);
    return box;
}
} // namespace

namespace Icons {
bool contains(const QString& symbolName)
{
    return files().contains(symbolName);
}

QStringList symbolNames()
{
    QStringList names = files().keys();
    names.sort();
    return names;
}

QString resourcePath(const QString& symbolName)
{
    return files().value(symbolName, files().value(QStringLiteral("questionmark")));
}

QPixmap pixmap(const QString& symbolName, const QColor& color, int size)
{
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    const QString path = resourcePath(symbolName);
    // Rows and buttons draw their icons on every paint: keep what was drawn once.
    const QString key = QStringLiteral("orvanta-icon:%1:%2:%3:%4").arg(path).arg(color.rgba()).arg(size).arg(ratio);
    QPixmap result;
    if (QPixmapCache::find(key, &result))
        return result;

    result = QPixmap(QSize(size, size) * ratio);
    result.setDevicePixelRatio(ratio);
    result.fill(Qt::transparent);
    if (size <= 0)
        return result;
    QSvgRenderer renderer(path);
    if (!renderer.isValid()) {
        qWarning("Icons: %s cannot be drawn", qPrintable(path));
        return result;
    }
    const QRectF box = inkedBox(renderer, path);
    // A pixel of air on each side keeps the symbol off the outline of the control around it.
    const qreal room = size >= 8 ? size - 2 : size;
    const qreal scale = room / qMax(box.width(), box.height());
    const QSizeF drawn = box.size() * scale;
    renderer.setViewBox(box);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(
        &painter, QRectF((size - drawn.width()) / 2, (size - drawn.height()) / 2, drawn.width(), drawn.height()));
    // The set's pictures are black shapes: keep their coverage, take the colour asked for.
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRectF(0, 0, size, size), color);
    painter.end();
    QPixmapCache::insert(key, result);
    return result;
}

QIcon icon(const QString& symbolName, const QColor& color, int size)
{
    QIcon result;
    result.addPixmap(pixmap(symbolName, color, size));
    return result;
}
} // namespace Icons
