#include "OVMessageInfo.h"

#include <QPainter>
#include <QResizeEvent>

namespace {
constexpr int OuterPadding = 10;
constexpr int InnerPadding = 5;
constexpr int Chrome = 2 * OuterPadding + 2 * InnerPadding;
constexpr int MaxLineWidth = 560;
constexpr int MinimumTextWidth = 80;
constexpr qreal CornerRadius = 8.0;
constexpr int Flags = Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop;

QRect textBounds(const QFontMetrics& metrics, const QString& text, int textWidth)
{
    return metrics.boundingRect(QRect(0, 0, textWidth, 100000), Flags, text);
}
} // namespace

OVMessageInfo::OVMessageInfo(const QString& message, QWidget* parent)
    : QWidget(parent)
    , m_message(message)
{
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    // An empty box is not drawn at all, so layouts leave no gap for it either.
    if (m_message.isEmpty())
        setVisible(false);
}

QSize OVMessageInfo::framedSize(const QFont& font, const QString& text, int width)
{
    if (text.isEmpty())
        return {0, 0};
    const QFontMetrics metrics(font);
    const int textWidth = width > 0 ? qMax(MinimumTextWidth, width - Chrome) : MaxLineWidth;
    const QRect bounds = textBounds(metrics, text, textWidth);
    // A text of blanks only has no ink but still takes one line.
    const int textHeight = qMax(bounds.height(), metrics.height());
    const int boxWidth = qMax(bounds.width(), metrics.horizontalAdvance(text.left(1)));
    return {boxWidth + Chrome, textHeight + OuterPadding + 2 * InnerPadding};
}

void OVMessageInfo::paintFramed(
    QPainter& painter, const QRect& rect, const QString& text, const QColor& outline, const QColor& textColor)
{
    if (text.isEmpty())
        return;
    const QFontMetrics metrics(painter.font());
    const int available = rect.width() - Chrome;
    const QRect bounds = textBounds(metrics, text, qMax(MinimumTextWidth, available));
    const int textWidth = qMin(qMax(bounds.width(), metrics.horizontalAdvance(text.left(1))), qMax(1, available));
    const int textHeight = qMax(bounds.height(), metrics.height());
    const QRect box(rect.left() + OuterPadding, rect.top() + OuterPadding, textWidth + 2 * InnerPadding,
        textHeight + 2 * InnerPadding);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(outline, 1.0));
    painter.drawRoundedRect(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), CornerRadius, CornerRadius);
    painter.setPen(textColor);
    painter.drawText(box.adjusted(InnerPadding, InnerPadding, -InnerPadding, -InnerPadding), Flags, text);
}

QSize OVMessageInfo::framedHint(const QWidget& box, const QString& text)
{
    QSize natural = framedSize(box.font(), text, 0);
    if (box.width() > 0 && box.width() < natural.width())
        natural.setHeight(framedSize(box.font(), text, box.width()).height());
    return natural;
}

QSize OVMessageInfo::sizeHint() const
{
    return framedHint(*this, m_message);
}

void OVMessageInfo::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The height follows the width the layout settled on.
    if (event->oldSize().width() != width())
        updateGeometry();
}

QSize OVMessageInfo::minimumSizeHint() const
{
    if (m_message.isEmpty())
        return {0, 0};
    const QSize hint = sizeHint();
    return {qMin(hint.width(), MinimumTextWidth + Chrome), hint.height()};
}

int OVMessageInfo::heightForWidth(int width) const
{
    return framedSize(font(), m_message, width).height();
}

void OVMessageInfo::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(font());
    paintFramed(painter, rect(), m_message, QColor(40, 180, 70), palette().color(QPalette::WindowText));
}
