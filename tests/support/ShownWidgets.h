#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>

class QWidget;

// What a person sees of the labels, buttons, fields and charts inside `area` of a shown window, read from the
// widgets and from a picture of the window. A screenshot test asserts on it rather than only saving pictures.
class ShownWidgets
{
public:
    // `area` is the window itself or a widget inside it; the window must be exposed.
    explicit ShownWidgets(QWidget* window, QWidget* area = nullptr);

    // The picture taken of the window.
    const QImage& picture() const { return m_picture; }
    // The texts of the visible labels and buttons, in the order found.
    const QStringList& texts() const { return m_texts; }
    // What looks wrong: a control cut off by the window or a container, one squeezed below what it needs,
    // two overlapping, a label whose text does not fit or is not drawn.
    const QStringList& faults() const { return m_faults; }

    // The faults, then every text of `expected` that is not shown; empty when all is well.
    QString problems(const QStringList& expected = {}) const;

    // How many pixels of `widget`'s place in the picture are within a small distance of `colour`.
    int pixelsOf(const QWidget* widget, const QColor& colour) const;
    // How many pixels of `widget`'s place stand out from its most common colour, its background.
    // With `part`, only that rectangle of the widget (in its own coordinates) is looked at.
    int inkOf(const QWidget* widget, const QRect& part = {}) const;

    // Keeps the picture next to the test binary, under `name`.
    bool save(const QString& name) const;

private:
    QRect placeOf(const QWidget* widget, const QRect& part = {}) const;

    const QWidget* m_window = nullptr;
    QImage m_picture;
    QStringList m_texts;
    QStringList m_faults;
};
