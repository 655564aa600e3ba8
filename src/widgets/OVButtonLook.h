#pragma once

#include <QColor>
#include <QPalette>
#include <QString>

#include <optional>

class QPainter;
class QRect;

// The look shared by the two action controls: the symbol, its fill and content colours at rest
// and under the pointer, and the rounded frame with its blue outline.
class OVButtonLook
{
public:
    OVButtonLook(const QString& systemName, const QPalette& palette);

    QString systemName() const { return m_systemName; }
    // A symbol already chosen by the hover handler follows the new name in the same look.
    void setSystemName(const QString& systemName);

    // The symbol shown: the hover handler's choice once it ran, else the resting symbol.
    QString shownSymbol() const { return m_iconName.value_or(m_systemName); }
    QColor backgroundColor() const { return m_backgroundColor; }
    QColor foregroundColor() const { return m_foregroundColor; }
    bool hovered() const { return m_hovered; }

    // Pointer enters: accent fill, white content, the ".fill" symbol. Leaves: back to rest.
    void enter(const QPalette& palette);
    void leave(const QPalette& palette);
    // The resting look uses the palette's own colours, so it follows a change of the palette
    // (a switch between light and dark appearance).
    void paletteChanged(const QPalette& palette);

    // Fill and clip to the rounded shape first, then the content, then the outline (whose outer
    // half the clip cuts away).
    static QColor outlineColor();
    static void beginFrame(QPainter& painter, const QRect& rect, const QColor& fill);
    static void endFrame(QPainter& painter, const QRect& rect);

private:
    QString m_systemName;
    QColor m_backgroundColor;
    QColor m_foregroundColor;
    std::optional<QString> m_iconName;
    bool m_hovered = false;
};
