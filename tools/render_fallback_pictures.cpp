// Renders the fallback device pictures from the router symbol of resources/icons.
// Build and run once from the repository root (the PNG files are committed):
//   g++ -std=c++20 -fPIC tools/render_fallback_pictures.cpp -o /tmp/render_fallback_pictures \
//       $(pkg-config --cflags --libs Qt6Gui Qt6Svg)
//   QT_QPA_PLATFORM=offscreen /tmp/render_fallback_pictures resources/icons resources/images
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

namespace {
bool render(QSvgRenderer& symbol, int side, const QString& path)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    symbol.render(&painter, QRectF(0, 0, side, side));
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), QColor(0x5f, 0x63, 0x68));
    painter.end();
    return image.save(path, "PNG");
}
} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <icons folder> <output folder>\n", argv[0]);
        return 2;
    }
    const QString symbolPath = QDir(QString::fromLocal8Bit(argv[1])).filePath(QStringLiteral("router-wireless.svg"));
    QSvgRenderer symbol(symbolPath);
    if (!symbol.isValid()) {
        std::fprintf(stderr, "cannot load %s\n", qPrintable(symbolPath));
        return 1;
    }
    const QDir out(QString::fromLocal8Bit(argv[2]));
    const bool ok = render(symbol, 80, out.filePath(QStringLiteral("DeviceUnknown.png")))
        && render(symbol, 120, out.filePath(QStringLiteral("DeviceUnknown_120.png")));
    return ok ? 0 : 1;
}
