#include "OVButton.h"

#include "Icons.h"

#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <utility>

namespace {
constexpr int Padding = 5;
constexpr int IconSide = 14;
constexpr int Spacing = 6;
constexpr qreal CornerRadius = 8.0;
constexpr qreal OutlineWidth = 2.0;

QPainterPath roundedShape(const QRect& rect)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(rect), CornerRadius, CornerRadius);
    return path;
}
} // namespace

OVButton::OVButton(const QString& systemName, const QString& text, const QString& helpText,
    std::function<void()> action, QWidget* parent)
    : QWidget(parent)
    , m_systemName(systemName)
    , m_text(text)
    , m_helpText(helpText)
    , m_action(std::move(action))
    , m_backgroundColor(Qt::transparent)
    , m_foregroundColor(palette().color(QPalette::WindowText))
{
    setToolTip(helpText);
    // Drawn by hand, so screen readers get the label and help text from here.
    setAccessibleName(text);
    setAccessibleDescription(helpText);
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void OVButton::setText(const QString& text)
{
    if (m_text == text)
        return;
    m_text = text;
    setAccessibleName(text);
    updateGeometry();
    update();
}

void OVButton::setSystemName(const QString& systemName)
{
    if (m_systemName == systemName)
        return;
    m_systemName = systemName;
    // A symbol already chosen by the hover handler follows the new name in the same look.
    if (m_iconName)
        m_iconName = m_hovered ? systemName + QStringLiteral(".fill") : systemName;
    update();
}

void OVButton::setHelpText(const QString& helpText)
{
    m_helpText = helpText;
    setToolTip(helpText);
    setAccessibleDescription(helpText);
}

QSize OVButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    const int width = Padding + IconSide + Spacing + metrics.horizontalAdvance(m_text) + Padding;
    const int height = Padding + qMax(IconSide, metrics.height()) + Padding;
    return {width, height};
}

void OVButton::click()
{
    if (!isEnabled() || !m_action)
        return;
    m_action();
}

QColor OVButton::outlineColor()
{
    return QColor(0, 122, 255);
}

void OVButton::beginFrame(QPainter& painter, const QRect& rect, const QColor& fill)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipPath(roundedShape(rect));
    painter.fillRect(rect, fill);
}

void OVButton::endFrame(QPainter& painter, const QRect& rect)
{
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(outlineColor(), OutlineWidth));
    painter.drawPath(roundedShape(rect));
}

void OVButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!isEnabled())
        painter.setOpacity(0.4);
    beginFrame(painter, rect(), m_backgroundColor);

    const QFontMetrics metrics(font());
    const int contentHeight = height() - 2 * Padding;
    const QRect iconRect(Padding, Padding + (contentHeight - IconSide) / 2, IconSide, IconSide);
    painter.drawPixmap(iconRect, Icons::pixmap(shownSymbol(), m_foregroundColor, IconSide));
    const QRect textRect(
        iconRect.right() + 1 + Spacing, Padding, width() - IconSide - Spacing - 2 * Padding, contentHeight);
    painter.setPen(m_foregroundColor);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, m_text);

    endFrame(painter, rect());
}

void OVButton::enterEvent(QEnterEvent* event)
{
    m_hovered = true;
    m_backgroundColor = palette().color(QPalette::Highlight);
    m_foregroundColor = Qt::white;
    m_iconName = m_systemName + QStringLiteral(".fill");
    update();
    QWidget::enterEvent(event);
}

void OVButton::leaveEvent(QEvent* event)
{
    m_hovered = false;
    m_backgroundColor = Qt::transparent;
    m_foregroundColor = palette().color(QPalette::WindowText);
    m_iconName = m_systemName;
    update();
    QWidget::leaveEvent(event);
}

void OVButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_pressed = true;
    event->accept();
}

void OVButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const bool wasPressed = std::exchange(m_pressed, false);
    event->accept();
    // Like any push button: releasing outside the control cancels the press.
    if (wasPressed && rect().contains(event->position().toPoint()))
        click();
}

void OVButton::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        click();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void OVButton::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // The resting look uses the palette's own colours, so it follows a change of the palette
    // (a switch between light and dark appearance).
    if (event->type() == QEvent::PaletteChange) {
        if (m_hovered)
            m_backgroundColor = palette().color(QPalette::Highlight);
        else
            m_foregroundColor = palette().color(QPalette::WindowText);
        update();
    }
}
