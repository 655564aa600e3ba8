// Renders the fallback device pictures from the router glyph of the installed icon font.
// Build and run once from the repository root (the PNG files are committed):
//   g++ -std=c++20 -fPIC tools/render_fallback_pictures.cpp -o /tmp/render_fallback_pictures \
//       $(pkg-config --cflags --libs Qt6Gui)
//   QT_QPA_PLATFORM=offscreen /tmp/render_fallback_pictures resources/images
#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>

namespace {
const char* const FontPath = "/usr/share/fonts/truetype/materialdesignicons-webfont/materialdesignicons-webfont.ttf";
constexpr char16_t RouterWireless = 0xF469;

bool render(const QString& family, int side, const QString& path)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font(family);
    font.setPixelSize(side);
    painter.setFont(font);
    painter.setPen(QColor(0x5f, 0x63, 0x68));
    painter.drawText(QRect(0, 0, side, side), Qt::AlignCenter, QString(QChar(RouterWireless)));
    painter.end();
    return image.save(path, "PNG");
}
} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(FontPath));
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty()) {
        std::fprintf(stderr, "cannot load %s\n", FontPath);
        return 1;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const bool ok = render(families.first(), 80, out.filePath(QStringLiteral("DeviceUnknown.png")))
        && render(families.first(), 120, out.filePath(QStringLiteral("DeviceUnknown_120.png")));
    return ok ? 0 : 1;
}
