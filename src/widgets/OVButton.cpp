#include "OVButton.h"

#include "Icons.h"

#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <utility>

namespace {
constexpr int Padding = 5;
constexpr int IconSide = 14;
constexpr int Spacing = 6;
} // namespace

OVButton::OVButton(const QString& systemName, const QString& text, const QString& helpText,
    std::function<void()> action, QWidget* parent)
    : QWidget(parent)
    , m_look(systemName, palette())
    , m_text(text)
    , m_helpText(helpText)
    , m_action(std::move(action))
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
    if (m_look.systemName() == systemName)
        return;
    m_look.setSystemName(systemName);
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

void OVButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!isEnabled())
        painter.setOpacity(0.4);
    OVButtonLook::beginFrame(painter, rect(), m_look.backgroundColor());

    const QFontMetrics metrics(font());
    const int contentHeight = height() - 2 * Padding;
    const QRect iconRect(Padding, Padding + (contentHeight - IconSide) / 2, IconSide, IconSide);
    painter.drawPixmap(iconRect, Icons::pixmap(shownSymbol(), m_look.foregroundColor(), IconSide));
    const QRect textRect(
        iconRect.right() + 1 + Spacing, Padding, width() - IconSide - Spacing - 2 * Padding, contentHeight);
    painter.setPen(m_look.foregroundColor());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, m_text);

    OVButtonLook::endFrame(painter, rect());
}

void OVButton::enterEvent(QEnterEvent* event)
{
    m_look.enter(palette());
    update();
    QWidget::enterEvent(event);
}

void OVButton::leaveEvent(QEvent* event)
{
    m_look.leave(palette());
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
    if (event->type() == QEvent::PaletteChange) {
        m_look.paletteChanged(palette());
        update();
    }
}
