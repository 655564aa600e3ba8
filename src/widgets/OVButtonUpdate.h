#pragma once

#include "OVButtonLook.h"

#include <QColor>
#include <QString>
#include <QWidget>

#include <functional>

// The update offer of the operating-system panel: OVButton's frame and hover, a green icon at its
// natural size, small text, and a single-click target without keyboard activation.
class OVButtonUpdate : public QWidget
{
    Q_OBJECT
public:
    OVButtonUpdate(const QString& systemName, const QString& text, const QString& helpText,
        std::function<void()> action, QWidget* parent = nullptr);

    QString systemName() const { return m_look.systemName(); }
    QString text() const { return m_text; }
    QString helpText() const { return m_helpText; }

    QString shownSymbol() const { return m_look.shownSymbol(); }
    QColor backgroundColor() const { return m_look.backgroundColor(); }
    QColor foregroundColor() const { return m_look.foregroundColor(); }
    QColor foregroundColorImage() const { return m_foregroundColorImage; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    OVButtonLook m_look;
    QString m_text;
    QString m_helpText;
    std::function<void()> m_action;
    QColor m_foregroundColorImage; // the icon alone: green at rest
};
