#include "OutlinedFrame.h"

#include <QPainter>

OutlinedFrame::OutlinedFrame(QWidget* parent)
    : QWidget(parent)
{ }

void OutlinedFrame::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(Qt::gray), 1));
    painter.setBrush(Qt::NoBrush);
    // Half a pixel in, so the one-pixel line falls on whole pixels.
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
}
