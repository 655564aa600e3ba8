#pragma once

#include <QWidget>

// The grey rounded outline the device panels and forms draw around a group of controls. Painted
// rather than styled, so that it leaves the look of the children alone.
class OutlinedFrame : public QWidget
{
    Q_OBJECT
public:
    explicit OutlinedFrame(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
