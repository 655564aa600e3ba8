#include "widgets/OVMessageError.h"
#include "widgets/OVMessageInfo.h"

#include "support/TestMain.h"

#include <QImage>
#include <QLabel>
#include <QTest>
#include <QVBoxLayout>

namespace {
bool isRed(const QColor& c)
{
    return c.alpha() > 60 && c.red() > 150 && c.green() < 120 && c.blue() < 120;
}

bool isGreen(const QColor& c)
{
    return c.alpha() > 60 && c.green() > 120 && c.red() < 120 && c.blue() < 140;
}

template<typename Predicate>
QRect inkBounds(const QImage& image, Predicate matches)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (matches(image.pixelColor(x, y)))
                bounds = bounds.united(QRect(x, y, 1, 1));
        }
    }
    return bounds;
}

// A column of label, box, label: the gap between the labels shows what the box takes.
struct Column
{
    QWidget window;
    QVBoxLayout* layout = new QVBoxLayout(&window);
    QLabel* above = new QLabel(QStringLiteral("above"));
    QLabel* below = new QLabel(QStringLiteral("below"));

    void build(QWidget* box, int width = 400)
    {
        layout->setSpacing(6);
        layout->addWidget(above);
        layout->addWidget(box);
        layout->addWidget(below);
        layout->addStretch();
        window.resize(width, 300);
        window.show();
    }
    int gap() const { return below->geometry().top() - above->geometry().bottom() - 1; }
};
} // namespace

class TestMessages : public QObject
{
    Q_OBJECT

private slots:
    void infoDrawsNothingWhenEmpty_data();
    void infoDrawsNothingWhenEmpty();
    void errorFollowsItsSource();
    void errorPicksUpChangeOnRedraw();
    void errorBoxPadding();
};

void TestMessages::infoDrawsNothingWhenEmpty_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("drawn");
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("single blank") << QStringLiteral(" ") << true;
    QTest::newRow("text") << QStringLiteral("Cache purged") << true;
}

void TestMessages::infoDrawsNothingWhenEmpty()
{
    QFETCH(QString, text);
    QFETCH(bool, drawn);
    Column column;
    auto* box = new OVMessageInfo(text);
    column.build(box);
    QCOMPARE(box->isVisible(), drawn);
    if (!drawn) {
        QCOMPARE(column.gap(), 6);
        return;
    }
    QVERIFY(column.gap() > 6 + 10 + 10);
    const QRect outline = inkBounds(box->grab().toImage(), isGreen);
    QVERIFY(!outline.isEmpty());
    QCOMPARE(outline.left(), 10);
    QCOMPARE(outline.top(), 10);
}

void TestMessages::errorFollowsItsSource()
{
    std::optional<QString> error;
    Column column;
    auto* box = new OVMessageError([&error] { return error; });
    column.build(box);
    QVERIFY(!box->isVisible());
    QCOMPARE(column.gap(), 6);

    error = QString();
    box->refresh();
    QVERIFY(!box->isVisible());
    QCOMPARE(box->message(), QString());

    error = QStringLiteral("Web-SSL error: timed out");
    box->refresh();
    QVERIFY(box->isVisible());
    QCOMPARE(box->message(), QStringLiteral("Web-SSL error: timed out"));
    QTRY_VERIFY_WITH_TIMEOUT(column.gap() > 6 + 10 + 10, 2000);

    error.reset();
    box->refresh();
    QVERIFY(!box->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(column.gap(), 6, 2000);

    // A blank is a message.
    error = QStringLiteral(" ");
    box->refresh();
    QVERIFY(box->isVisible());
}

void TestMessages::errorPicksUpChangeOnRedraw()
{
    QString error = QStringLiteral("first");
    Column column;
    auto* box = new OVMessageError([&error] { return std::optional<QString>(error); });
    column.build(box);
    QCOMPARE(box->message(), QStringLiteral("first"));
    error = QStringLiteral("second, and longer");
    box->repaint();
    QTRY_COMPARE_WITH_TIMEOUT(box->message(), QStringLiteral("second, and longer"), 2000);
}

void TestMessages::errorBoxPadding()
{
    // Long enough to wrap in a narrow window: the box grows to hold every line.
    const QString text = QStringLiteral("Web-SSL error: The host name did not match any of the valid hosts for this "
                                        "certificate");
    Column column;
    auto* box = new OVMessageError([text] { return std::optional<QString>(text); });
    column.build(box, 300);
    QTRY_VERIFY_WITH_TIMEOUT(box->width() > 0 && box->height() == box->heightForWidth(box->width()), 2000);
    QVERIFY(box->height() >= 2 * box->fontMetrics().height() + 20);
    const QImage image = box->grab().toImage();
    const QRect outline = inkBounds(image, isRed);
    QVERIFY(!outline.isEmpty());
    // 10 points of space on the leading, trailing and top sides; nothing below.
    QCOMPARE(outline.left(), 10);
    QCOMPARE(outline.top(), 10);
    QVERIFY(box->width() - 1 - outline.right() >= 10);
    QCOMPARE(outline.bottom(), box->height() - 1);
    // The text sits inside the outline, 5 points in, none of it cut off at the bottom.
    const QRect textInk = inkBounds(
        image, [](const QColor& c) { return c.alpha() > 128 && c.red() < 90 && c.green() < 90 && c.blue() < 90; });
    QVERIFY(outline.contains(textInk));
    QVERIFY(textInk.left() >= outline.left() + 5);
    QVERIFY(textInk.bottom() <= outline.bottom() - 3);
}

ORVANTA_WIDGET_TEST_MAIN(TestMessages)
#include "tst_messages.moc"
