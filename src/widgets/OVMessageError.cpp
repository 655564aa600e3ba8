#include "OVMessageError.h"

#include "OVMessageInfo.h"

#include <QPainter>
#include <QResizeEvent>

OVMessageError::OVMessageError(std::function<std::optional<QString>()> source, QWidget* parent)
    : QWidget(parent)
    , m_source(std::move(source))
{
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    refresh();
}

void OVMessageError::refresh()
{
    const QString message = m_source ? m_source().value_or(QString()) : QString();
    const bool shownBefore = !m_message.isEmpty();
    m_message = message;
    // Hidden while empty so that layouts leave no gap; shown again with its parent.
    if (m_message.isEmpty())
        setVisible(false);
    else if (!shownBefore && parentWidget())
        setVisible(true);
    updateGeometry();
    update();
}

QSize OVMessageError::sizeHint() const
{
    return OVMessageInfo::framedHint(*this, m_message);
}

void OVMessageError::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The height follows the width the layout settled on.
    if (event->oldSize().width() != width())
        updateGeometry();
}

QSize OVMessageError::minimumSizeHint() const
{
    if (m_message.isEmpty())
        return {0, 0};
    const QSize hint = sizeHint();
    return {qMin(hint.width(), 110), hint.height()};
}

int OVMessageError::heightForWidth(int width) const
{
    return OVMessageInfo::framedSize(font(), m_message, width).height();
}

void OVMessageError::paintEvent(QPaintEvent*)
{
    // The source is the caller's live value: a change not announced through refresh() yet is
    // picked up here and laid out on the next turn of the event loop.
    const QString current = m_source ? m_source().value_or(QString()) : QString();
    if (current != m_message)
        QMetaObject::invokeMethod(this, &OVMessageError::refresh, Qt::QueuedConnection);
    QPainter painter(this);
    painter.setFont(font());
    OVMessageInfo::paintFramed(painter, rect(), m_message, QColor(230, 50, 40), palette().color(QPalette::WindowText));
}
