#include "OVButtonUpdate.h"

#include "Icons.h"
#include "OVButton.h"

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
    , m_systemName(systemName)
    , m_text(text)
    , m_helpText(helpText)
    , m_action(std::move(action))
    , m_backgroundColor(Qt::transparent)
    , m_foregroundColor(palette().color(QPalette::WindowText))
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
    OVButton::beginFrame(painter, rect(), m_backgroundColor);

    const QRect iconRect(0, (height() - IconSide) / 2, IconSide, IconSide);
    painter.drawPixmap(iconRect, Icons::pixmap(shownSymbol(), m_foregroundColorImage, IconSide));
    const QRect textRect(IconSide + Spacing, 0, width() - IconSide - Spacing - TrailingPadding, height());
    painter.setPen(m_foregroundColor);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, m_text);

    OVButton::endFrame(painter, rect());
}

void OVButtonUpdate::enterEvent(QEnterEvent* event)
{
    m_hovered = true;
    m_backgroundColor = palette().color(QPalette::Highlight);
    m_foregroundColor = Qt::white;
    m_foregroundColorImage = Qt::white;
    m_iconName = m_systemName + QStringLiteral(".fill");
    update();
    QWidget::enterEvent(event);
}

void OVButtonUpdate::leaveEvent(QEvent* event)
{
    m_hovered = false;
    m_backgroundColor = Qt::transparent;
    m_foregroundColor = palette().color(QPalette::WindowText);
    m_foregroundColorImage = restingImageColor();
    m_iconName = m_systemName;
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
