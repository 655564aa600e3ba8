#include "OVButton.h"

#include "Icons.h"

#include <QEnterEvent>
#include <QKeyEvent>
#include <QPainter>

#include <utility>

namespace {
constexpr int Padding = 5;
constexpr int IconSide = 14;
constexpr int Spacing = 6;
} // namespace

OVButton::OVButton(const QString& systemName, const QString& text, const QString& helpText,
    std::function<void()> action, QWidget* parent)
    : QAbstractButton(parent)
    , m_look(systemName, palette())
    , m_helpText(helpText)
{
    setText(text);
    setToolTip(helpText);
    setAccessibleDescription(helpText);
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    if (action)
        connect(this, &QAbstractButton::clicked, this, [run = std::move(action)] { run(); });
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
    const int width = Padding + IconSide + Spacing + metrics.horizontalAdvance(text()) + Padding;
    const int height = Padding + qMax(IconSide, metrics.height()) + Padding;
    return {width, height};
}

void OVButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!isEnabled())
        painter.setOpacity(0.4);
    OVButtonLook::beginFrame(painter, rect(), m_look.backgroundColor());

    const int contentHeight = height() - 2 * Padding;
    const QRect iconRect(Padding, Padding + (contentHeight - IconSide) / 2, IconSide, IconSide);
    painter.drawPixmap(iconRect, Icons::pixmap(shownSymbol(), m_look.foregroundColor(), IconSide));
    const QRect textRect(
        iconRect.right() + 1 + Spacing, Padding, width() - IconSide - Spacing - 2 * Padding, contentHeight);
    painter.setPen(m_look.foregroundColor());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, text());

    OVButtonLook::endFrame(painter, rect());
}

void OVButton::enterEvent(QEnterEvent* event)
{
    m_look.enter(palette());
    update();
    QAbstractButton::enterEvent(event);
}

void OVButton::leaveEvent(QEvent* event)
{
    m_look.leave(palette());
    update();
    QAbstractButton::leaveEvent(event);
}

// Space is the button's own key; Return and Enter press it too, the same way: down while held,
// one click when let go, nothing for the repeats of a held key.
void OVButton::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (!event->isAutoRepeat())
            setDown(true);
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void OVButton::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        if (!event->isAutoRepeat() && isDown()) {
            setDown(false);
            click();
        }
        return;
    }
    QAbstractButton::keyReleaseEvent(event);
}

void OVButton::changeEvent(QEvent* event)
{
    QAbstractButton::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        m_look.paletteChanged(palette());
        update();
    }
}
