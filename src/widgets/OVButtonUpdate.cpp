#include "OVButtonUpdate.h"

#include "Icons.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {
// The symbol's own size at the regular control size, and the small control size of the text.
constexpr int IconSide = 16;
constexpr int Spacing = 6;
constexpr int TrailingPadding = 4;
constexpr qreal SmallTextScale = 11.0 / 13.0;

QColor restingImageColor()
{
    return QColor(40, 180, 70);
}
} // namespace

OVButtonUpdate::OVButtonUpdate(const QString& systemName, const QString& text, const QString& helpText,
    std::function<void()> action, QWidget* parent)
    : QWidget(parent)
    , m_look(systemName, palette())
    , m_text(text)
    , m_helpText(helpText)
    , m_action(std::move(action))
    , m_foregroundColorImage(restingImageColor())
{
    setToolTip(helpText);
    setAccessibleName(text);
    setAccessibleDescription(helpText);
    setAttribute(Qt::WA_Hover);
    // A click target only: no keyboard focus, so no keyboard activation.
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * SmallTextScale);
    setFont(small);
}

QSize OVButtonUpdate::sizeHint() const
{
    const QFontMetrics metrics(font());
    const int width = IconSide + Spacing + metrics.horizontalAdvance(m_text) + TrailingPadding;
    const int height = qMax(IconSide, metrics.height());
    return {width, height};
}

void OVButtonUpdate::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!isEnabled())
        painter.setOpacity(0.4);
    OVButtonLook::beginFrame(painter, rect(), m_look.backgroundColor());

    const QRect iconRect(0, (height() - IconSide) / 2, IconSide, IconSide);
    painter.drawPixmap(iconRect, Icons::pixmap(shownSymbol(), m_foregroundColorImage, IconSide));
    const QRect textRect(IconSide + Spacing, 0, width() - IconSide - Spacing - TrailingPadding, height());
    painter.setPen(m_look.foregroundColor());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, m_text);

    OVButtonLook::endFrame(painter, rect());
}

void OVButtonUpdate::enterEvent(QEnterEvent* event)
{
    m_look.enter(palette());
    m_foregroundColorImage = Qt::white;
    update();
    QWidget::enterEvent(event);
}

void OVButtonUpdate::leaveEvent(QEvent* event)
{
    m_look.leave(palette());
    m_foregroundColorImage = restingImageColor();
    update();
    QWidget::leaveEvent(event);
}

void OVButtonUpdate::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && isEnabled() && m_action) {
        event->accept();
        m_action();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void OVButtonUpdate::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        m_look.paletteChanged(palette());
        update();
    }
}
