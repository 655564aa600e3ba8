#include "widgets/DevicePicture.h"
#include "widgets/Icons.h"
#include "widgets/Settings.h"

#include "support/TestMain.h"

#include <QDirIterator>
#include <QImage>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTest>

#include <cstdlib>

namespace {
int inkedPixels(const QPixmap& pixmap)
{
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 128)
                ++count;
        }
    }
    return count;
}

// Dotted lower-case texts in the application's own views are symbol names (settings keys aside).
QStringList symbolNamesInSources()
{
    const QString root = qEnvironmentVariable("ORVANTA_TEST_DATA") + QStringLiteral("/../src");
    static const QRegularExpression literal(QStringLiteral("\"([a-z][a-z0-9]*(?:\\.[a-z0-9]+)+)\""));
    QStringList keys;
    for (const auto& entry : Settings::keys())
        keys << QString::fromLatin1(entry.key);
    QStringList names;
    for (const QString& folder : {QStringLiteral("/app"), QStringLiteral("/views"), QStringLiteral("/widgets")}) {
        QDirIterator it(root + folder, {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files);
        while (it.hasNext()) {
            QFile file(it.next());
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QString text = QString::fromUtf8(file.readAll());
            auto matches = literal.globalMatch(text);
            while (matches.hasNext()) {
                const QString name = matches.next().captured(1);
                if (!keys.contains(name) && !names.contains(name))
                    names << name;
            }
        }
    }
    return names;
}

// The symbol a name stands for: ".fill" asks for the same symbol's filled form.
QString baseSymbol(QString name)
{
    while (name.endsWith(QStringLiteral(".fill")))
        name.chop(5);
    return name;
}

// Pixels that one picture inks and the other leaves clear.
int differingPixels(const QImage& a, const QImage& b)
{
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (std::abs(qAlpha(a.pixel(x, y)) - qAlpha(b.pixel(x, y))) > 96)
                ++count;
        }
    }
    return count;
}
} // namespace

class TestIcons : public QObject
{
    Q_OBJECT

private slots:
    void symbolsAreCompiledIn();
    void everySymbolHasAnEntry_data();
    void everySymbolHasAnEntry();
    void symbolsInTheSourcesHaveEntries();
    void differentSymbolsLookDifferent();
    void filledVariantsDiffer_data();
    void filledVariantsDiffer();
    void unknownNameDrawsQuestionMark();
    void fallbackPictures();
};

void TestIcons::symbolsAreCompiledIn()
{
    // Every symbol is drawn from an SVG file of the application itself, not from anything installed.
    for (const QString& name : Icons::symbolNames()) {
        const QString path = Icons::resourcePath(name);
        QVERIFY2(path.startsWith(QStringLiteral(":/icons/")), qPrintable(name + " -> " + path));
        QVERIFY2(QSvgRenderer(path).isValid(), qPrintable(name + " -> " + path));
    }
    QCOMPARE(
        Icons::resourcePath(QStringLiteral("no.such.symbol")), Icons::resourcePath(QStringLiteral("questionmark")));
}

void TestIcons::everySymbolHasAnEntry_data()
{
    QTest::addColumn<QString>("name");
    const char* const used[] = {"x.circle", "plus.circle", "arrow.clockwise.circle", "restart.circle", "power.circle",
        "square.and.pencil.circle", "arrow.up.circle", "backward.circle", "exclamationmark.triangle.fill",
        "checkmark.circle.fill", "bolt", "bolt.slash", "thermometer.low", "thermometer.medium", "thermometer.high",
        "fanblades", "fanblades.slash", "questionmark", "externaldrive.connected.to.line.below", "wifi.router",
        "uiwindow.split.2x1", "network"};
    for (const char* name : used) {
        QTest::newRow(name) << QString::fromLatin1(name);
        // Every symbol can be hovered, which asks for its ".fill" form.
        const QString filled = QString::fromLatin1(name) + QStringLiteral(".fill");
        QTest::newRow(qPrintable(filled)) << filled;
    }
}

void TestIcons::everySymbolHasAnEntry()
{
    QFETCH(QString, name);
    QVERIFY2(Icons::contains(name), qPrintable(name));
    QVERIFY(Icons::symbolNames().contains(name));
    QVERIFY2(inkedPixels(Icons::pixmap(name, Qt::black, 24)) > 20, qPrintable(name + " draws blank"));
}

void TestIcons::symbolsInTheSourcesHaveEntries()
{
    QVERIFY(QDir(qEnvironmentVariable("ORVANTA_TEST_DATA") + QStringLiteral("/../src/app")).exists());
    const QStringList names = symbolNamesInSources();
    for (const QString& name : names)
        QVERIFY2(Icons::contains(name), qPrintable(QStringLiteral("no icon for \"%1\"").arg(name)));
}

void TestIcons::differentSymbolsLookDifferent()
{
    // Every name the views use, and every name of the table: two different symbols never share a
    // picture (a name and its ".fill" form may, where the set has no filled form).
    QStringList names = Icons::symbolNames();
    for (const QString& name : symbolNamesInSources()) {
        if (!names.contains(name))
            names << name;
    }
    QVERIFY(names.contains(QStringLiteral("fanblades.slash")));
    QHash<QString, QImage> pictures;
    for (const QString& name : std::as_const(names))
        pictures.insert(name, Icons::pixmap(name, Qt::black, 32).toImage().convertToFormat(QImage::Format_ARGB32));
    QStringList clashes;
    for (int i = 0; i < names.size(); ++i) {
        for (int j = i + 1; j < names.size(); ++j) {
            if (baseSymbol(names[i]) == baseSymbol(names[j]))
                continue;
            // A handful of pixels is not a picture of its own: the two must be told apart at a glance.
            if (differingPixels(pictures.value(names[i]), pictures.value(names[j])) < 12)
                clashes << names[i] + QStringLiteral(" = ") + names[j];
        }
    }
    QVERIFY2(clashes.isEmpty(), qPrintable(clashes.join(QStringLiteral(", "))));
}

void TestIcons::filledVariantsDiffer_data()
{
    QTest::addColumn<QString>("name");
    for (const char* name : {"x.circle", "plus.circle", "arrow.up.circle", "backward.circle",
             "square.and.pencil.circle", "checkmark.circle", "exclamationmark.triangle"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestIcons::filledVariantsDiffer()
{
    // Where the set has a filled form, hovering shows it: more ink than the outline.
    QFETCH(QString, name);
    const int outline = inkedPixels(Icons::pixmap(name, Qt::black, 32));
    const int filled = inkedPixels(Icons::pixmap(name + QStringLiteral(".fill"), Qt::black, 32));
    QVERIFY2(filled > outline, qPrintable(QStringLiteral("%1: %2 vs %3").arg(name).arg(filled).arg(outline)));
}

void TestIcons::unknownNameDrawsQuestionMark()
{
    QVERIFY(!Icons::contains(QStringLiteral("no.such.symbol")));
    const QImage unknown = Icons::pixmap(QStringLiteral("no.such.symbol"), Qt::red, 20).toImage();
    const QImage question = Icons::pixmap(QStringLiteral("questionmark"), Qt::red, 20).toImage();
    QCOMPARE(unknown, question);
    const QImage pixmapIcon = Icons::icon(QStringLiteral("bolt"), Qt::red, 20).pixmap(20, 20).toImage();
    QVERIFY(inkedPixels(QPixmap::fromImage(pixmapIcon)) > 10);
}

void TestIcons::fallbackPictures()
{
    QVERIFY(DevicePicture::exists(QStringLiteral("DeviceUnknown")));
    QVERIFY(DevicePicture::exists(QStringLiteral("DeviceUnknown_120")));
    QVERIFY(!DevicePicture::exists(QStringLiteral("Unknown Model")));
    QVERIFY(!DevicePicture::exists(QString()));

    const QPixmap fallback = DevicePicture::forName(QStringLiteral("RB5009UG+S+"), QStringLiteral("DeviceUnknown_120"));
    QCOMPARE(fallback.size(), QSize(120, 120));
    QVERIFY(inkedPixels(fallback) > 100);
    QCOMPARE(
        DevicePicture::forName(QStringLiteral("Unknown Model"), QStringLiteral("DeviceUnknown")).size(), QSize(80, 80));

    // A board name is a name, not a path into the resources.
    QVERIFY(!DevicePicture::exists(QStringLiteral("../images/DeviceUnknown")));
    QCOMPARE(
        DevicePicture::forName(QStringLiteral("../images/DeviceUnknown_120"), QStringLiteral("DeviceUnknown")).size(),
        QSize(80, 80));
}

ORVANTA_WIDGET_TEST_MAIN(TestIcons)
#include "tst_icons.moc"
