#include "widgets/OVButton.h"
#include "widgets/OVButtonUpdate.h"

#include "support/TestMain.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QEnterEvent>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QTest>

namespace {
void hoverIn(QWidget* widget)
{
    const QPointF inside(widget->width() / 2.0, widget->height() / 2.0);
    QEnterEvent enter(inside, inside, widget->mapToGlobal(inside));
    QApplication::sendEvent(widget, &enter);
}

void hoverOut(QWidget* widget)
{
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(widget, &leave);
}

// The outline's visible inner half sits on the top edge, in the middle of the control.
QColor outlinePixel(QWidget* widget)
{
    const QImage image = widget->grab().toImage();
    return image.pixelColor(image.width() / 2, 0);
}

bool isBlue(const QColor& color)
{
    return color.blue() > 200 && color.red() < 80 && color.green() < 160;
}

bool isGreen(const QColor& color)
{
    return color.green() > 150 && color.red() < 100 && color.blue() < 120;
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
} // namespace

class TestButtons : public QObject
{
    Q_OBJECT

private slots:
    void buttonStartsAtRest();
    void hoverAlternatesBetweenTwoLooks();
    void clickRunsActionOnce();
    void disabledButtonDoesNotAct();
    void keyboardActivation();
    void heldKeyActsOnceOnRelease();
    void screenReaderPressesTheButton();
    void updateButtonLooks();
    void updateButtonIsClickTargetOnly();
    void iconSizes();
};

void TestButtons::buttonStartsAtRest()
{
    OVButton button(QStringLiteral("x.circle"), QStringLiteral("Purge"), QStringLiteral("Clear"), [] {});
    button.show();
    QCOMPARE(button.shownSymbol(), QStringLiteral("x.circle"));
    QCOMPARE(button.backgroundColor().alpha(), 0);
    QCOMPARE(button.foregroundColor(), button.palette().color(QPalette::WindowText));
    QCOMPARE(button.toolTip(), QStringLiteral("Clear"));
    QVERIFY(isBlue(outlinePixel(&button)));
}

void TestButtons::hoverAlternatesBetweenTwoLooks()
{
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* button = new OVButton(QStringLiteral("arrow.clockwise.circle"), QStringLiteral("Refresh"),
        QStringLiteral("Refresh device information"), [] {});
    layout->addWidget(button);
    window.show();
    const QColor primary = button->palette().color(QPalette::WindowText);
    const QColor accent = button->palette().color(QPalette::Highlight);

    for (int round = 0; round < 3; ++round) {
        hoverIn(button);
        QCOMPARE(button->shownSymbol(), QStringLiteral("arrow.clockwise.circle.fill"));
        QCOMPARE(button->backgroundColor(), accent);
        QCOMPARE(button->foregroundColor(), QColor(Qt::white));
        QVERIFY(isBlue(outlinePixel(button)));
        // The fill is drawn inside the outline.
        const QImage hovered = button->grab().toImage();
        QCOMPARE(hovered.pixelColor(3, hovered.height() / 2), accent);

        hoverOut(button);
        QCOMPARE(button->shownSymbol(), QStringLiteral("arrow.clockwise.circle"));
        QCOMPARE(button->backgroundColor().alpha(), 0);
        QCOMPARE(button->foregroundColor(), primary);
        QVERIFY(isBlue(outlinePixel(button)));
    }

    // A new symbol while hovered keeps the hovered look.
    hoverIn(button);
    button->setSystemName(QStringLiteral("x.circle"));
    QCOMPARE(button->shownSymbol(), QStringLiteral("x.circle.fill"));
    hoverOut(button);
    QCOMPARE(button->shownSymbol(), QStringLiteral("x.circle"));

    // At rest the colours follow the palette (light or dark appearance).
    QPalette dark = button->palette();
    dark.setColor(QPalette::WindowText, QColor(235, 235, 235));
    button->setPalette(dark);
    QCOMPARE(button->foregroundColor(), QColor(235, 235, 235));
}

void TestButtons::clickRunsActionOnce()
{
    int runs = 0;
    OVButton button(
        QStringLiteral("plus.circle"), QStringLiteral("Add"), QStringLiteral("Add the device"), [&runs] { ++runs; });
    button.show();
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(runs, 1);
    QTest::mouseClick(&button, Qt::RightButton);
    QCOMPARE(runs, 1);

    // Pressing and letting go outside the control cancels, as with any push button.
    QTest::mousePress(&button, Qt::LeftButton);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(button.width() + 20, button.height() + 20));
    QCOMPARE(runs, 1);
}

void TestButtons::disabledButtonDoesNotAct()
{
    int runs = 0;
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* button = new OVButton(QStringLiteral("restart.circle"), QStringLiteral("Reboot"),
        QStringLiteral("Restart the device"), [&runs] { ++runs; });
    layout->addWidget(button);
    window.show();

    button->setEnabled(false);
    QTest::mouseClick(button, Qt::LeftButton);
    button->click();
    QTest::keyClick(button, Qt::Key_Space);
    QCOMPARE(runs, 0);

    // Disabling the container disables the button as well.
    button->setEnabled(true);
    window.setEnabled(false);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(runs, 0);

    window.setEnabled(true);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(runs, 1);
}

void TestButtons::keyboardActivation()
{
    int runs = 0;
    OVButton button(QStringLiteral("x.circle"), QStringLiteral("Cancel"), QString(), [&runs] { ++runs; });
    button.show();
    QTest::keyClick(&button, Qt::Key_Space);
    QTest::keyClick(&button, Qt::Key_Return);
    QTest::keyClick(&button, Qt::Key_A);
    QCOMPARE(runs, 2);
}

void TestButtons::heldKeyActsOnceOnRelease()
{
    // A held key repeats its press; the button must not run its action for each repeat (on the
    // refresh toggle every run flips between starting and cancelling).
    for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return}) {
        int runs = 0;
        OVButton button(
            QStringLiteral("arrow.clockwise.circle"), QStringLiteral("Refresh"), QString(), [&runs] { ++runs; });
        button.show();
        const auto send = [&button, key](QEvent::Type type, bool repeat) {
            QKeyEvent event(type, key, Qt::NoModifier, QString(), repeat);
            QApplication::sendEvent(&button, &event);
        };
        send(QEvent::KeyPress, false);
        QCOMPARE(runs, 0);
        QVERIFY(button.isDown());
        // The window system repeats a held key as release and press pairs marked as repeats.
        for (int repeat = 0; repeat < 5; ++repeat) {
            send(QEvent::KeyRelease, true);
            send(QEvent::KeyPress, true);
        }
        QCOMPARE(runs, 0);
        send(QEvent::KeyRelease, false);
        QCOMPARE(runs, 1);
        QVERIFY(!button.isDown());
    }
}

void TestButtons::screenReaderPressesTheButton()
{
    int runs = 0;
    OVButton button(QStringLiteral("power.circle"), QStringLiteral("Shutdown"), QStringLiteral("Shutdown the device"),
        [&runs] { ++runs; });
    button.show();
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&button);
    QVERIFY(accessible);
    QCOMPARE(accessible->role(), QAccessible::Button);
    QCOMPARE(accessible->text(QAccessible::Name), QStringLiteral("Shutdown"));
    QAccessibleActionInterface* actions = accessible->actionInterface();
    QVERIFY(actions);
    QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    // The press is animated: the button shows itself down for a moment, then acts.
    actions->doAction(QAccessibleActionInterface::pressAction());
    QTRY_COMPARE(runs, 1);
    button.setEnabled(false);
    actions->doAction(QAccessibleActionInterface::pressAction());
    QTest::qWait(300);
    QCOMPARE(runs, 1);
}

void TestButtons::updateButtonLooks()
{
    OVButtonUpdate button(QStringLiteral("arrow.up.circle"), QStringLiteral("Update to 7.16.2"),
        QStringLiteral("Update RouterOS"), [] {});
    button.show();
    const QColor primary = button.palette().color(QPalette::WindowText);
    QCOMPARE(button.shownSymbol(), QStringLiteral("arrow.up.circle"));
    QCOMPARE(button.backgroundColor().alpha(), 0);
    QCOMPARE(button.foregroundColor(), primary);
    QVERIFY(isGreen(button.foregroundColorImage()));
    const QColor green = button.foregroundColorImage();

    for (int round = 0; round < 2; ++round) {
        hoverIn(&button);
        QCOMPARE(button.shownSymbol(), QStringLiteral("arrow.up.circle.fill"));
        QCOMPARE(button.backgroundColor(), button.palette().color(QPalette::Highlight));
        QCOMPARE(button.foregroundColor(), QColor(Qt::white));
        QCOMPARE(button.foregroundColorImage(), QColor(Qt::white));
        QVERIFY(isBlue(outlinePixel(&button)));
        hoverOut(&button);
        QCOMPARE(button.shownSymbol(), QStringLiteral("arrow.up.circle"));
        QCOMPARE(button.backgroundColor().alpha(), 0);
        QCOMPARE(button.foregroundColor(), primary);
        QCOMPARE(button.foregroundColorImage(), green);
    }
    // The text is smaller than the default font.
    QVERIFY(button.font().pointSizeF() < QApplication::font().pointSizeF());
}

void TestButtons::updateButtonIsClickTargetOnly()
{
    int runs = 0;
    OVButtonUpdate button(QStringLiteral("backward.circle"), QStringLiteral("Move to release 7.15"),
        QStringLiteral("Move"), [&runs] { ++runs; });
    button.show();
    QCOMPARE(button.focusPolicy(), Qt::NoFocus);
    QTest::keyClick(&button, Qt::Key_Space);
    QTest::keyClick(&button, Qt::Key_Return);
    QCOMPARE(runs, 0);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(2, button.height() / 2));
    QCOMPARE(runs, 1);
    button.setEnabled(false);
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(runs, 1);
}

void TestButtons::iconSizes()
{
    // The ordinary button boxes its symbol in 14 points; the update offer shows it at its own,
    // larger size.
    OVButton button(QStringLiteral("x.circle"), QString(), QString(), [] {});
    button.show();
    const QRect ink = inkBounds(button.grab().toImage(),
        [](const QColor& c) { return c.alpha() > 128 && c.red() < 100 && c.green() < 100 && c.blue() < 100; });
    QVERIFY(!ink.isEmpty());
    QVERIFY2(ink.width() <= 14 && ink.height() <= 14,
        qPrintable(QStringLiteral("%1x%2").arg(ink.width()).arg(ink.height())));
    QVERIFY(ink.left() >= 5);

    OVButtonUpdate update(QStringLiteral("x.circle"), QString(), QString(), [] {});
    update.show();
    const QRect green
        = inkBounds(update.grab().toImage(), [](const QColor& c) { return c.alpha() > 128 && isGreen(c); });
    QVERIFY2(green.width() > ink.width(), qPrintable(QStringLiteral("%1 vs %2").arg(green.width()).arg(ink.width())));
}

ORVANTA_WIDGET_TEST_MAIN(TestButtons)
#include "tst_buttons.moc"
