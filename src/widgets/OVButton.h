#pragma once

#include "OVButtonLook.h"

#include <QAbstractButton>
#include <QColor>
#include <QString>

#include <functional>

// The application's action button: a symbol and a text inside a rounded blue outline that fills
// with the accent colour while the pointer is over it. It is a push button in all but its look:
// it acts once, when the mouse button or the key is let go, never repeats while a key is held,
// and screen readers can press it. A disabled button runs no action.
class OVButton : public QAbstractButton
{
    Q_OBJECT
public:
    OVButton(const QString& systemName, const QString& text, const QString& helpText, std::function<void()> action,
        QWidget* parent = nullptr);

    QString systemName() const { return m_look.systemName(); }
    QString helpText() const { return m_helpText; }
    void setSystemName(const QString& systemName);
    void setHelpText(const QString& helpText);

    // The look, for tests: the symbol shown, fill and content colours.
    QString shownSymbol() const { return m_look.shownSymbol(); }
    QColor backgroundColor() const { return m_look.backgroundColor(); }
    QColor foregroundColor() const { return m_look.foregroundColor(); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    OVButtonLook m_look;
    QString m_helpText;
};
