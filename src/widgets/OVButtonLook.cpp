#include "OVButtonLook.h"

#include <QPainter>
#include <QPainterPath>
#include <QRect>

namespace {
constexpr qreal CornerRadius = 8.0;
constexpr qreal OutlineWidth = 2.0;

QPainterPath roundedShape(const QRect& rect)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(rect), CornerRadius, CornerRadius);
    return path;
}
} // namespace

OVButtonLook::OVButtonLook(const QString& systemName, const QPalette& palette)
    : m_systemName(systemName)
    , m_backgroundColor(Qt::transparent)
    , m_foregroundColor(palette.color(QPalette::WindowText))
{ }

void OVButtonLook::setSystemName(const QString& systemName)
{
    m_systemName = systemName;
    if (m_iconName)
        m_iconName = m_hovered ? systemName + QStringLiteral(".fill") : systemName;
}

void OVButtonLook::enter(const QPalette& palette)
{
    m_hovered = true;
    m_backgroundColor = palette.color(QPalette::Highlight);
    m_foregroundColor = Qt::white;
    m_iconName = m_systemName + QStringLiteral(".fill");
}

void OVButtonLook::leave(const QPalette& palette)
{
    m_hovered = false;
    m_backgroundColor = Qt::transparent;
    m_foregroundColor = palette.color(QPalette::WindowText);
    m_iconName = m_systemName;
}

void OVButtonLook::paletteChanged(const QPalette& palette)
{
    if (m_hovered)
        m_backgroundColor = palette.color(QPalette::Highlight);
    else
        m_foregroundColor = palette.color(QPalette::WindowText);
}

QColor OVButtonLook::outlineColor()
{
    return QColor(0, 122, 255);
}

void OVButtonLook::beginFrame(QPainter& painter, const QRect& rect, const QColor& fill)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipPath(roundedShape(rect));
    painter.fillRect(rect, fill);
}

void OVButtonLook::endFrame(QPainter& painter, const QRect& rect)
{
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(outlineColor(), OutlineWidth));
    painter.drawPath(roundedShape(rect));
}
