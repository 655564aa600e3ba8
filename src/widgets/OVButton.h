#pragma once

#include "OVButtonLook.h"

#include <QColor>
#include <QString>
#include <QWidget>

#include <functional>

// The application's action button: a symbol and a text inside a rounded blue outline that fills
// with the accent colour while the pointer is over it. A disabled button runs no action.
class OVButton : public QWidget
{
    Q_OBJECT
public:
    OVButton(const QString& systemName, const QString& text, const QString& helpText, std::function<void()> action,
        QWidget* parent = nullptr);

    QString systemName() const { return m_look.systemName(); }
    QString text() const { return m_text; }
    QString helpText() const { return m_helpText; }
    void setText(const QString& text);
    void setSystemName(const QString& systemName);
    void setHelpText(const QString& helpText);

    // The look, for tests: the symbol shown, fill and content colours.
    QString shownSymbol() const { return m_look.shownSymbol(); }
    QColor backgroundColor() const { return m_look.backgroundColor(); }
    QColor foregroundColor() const { return m_look.foregroundColor(); }

    QSize sizeHint() const override;

    // Presses the button as a click would (does nothing while disabled).
    void click();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    OVButtonLook m_look;
    QString m_text;
    QString m_helpText;
    std::function<void()> m_action;
    bool m_pressed = false;
};
