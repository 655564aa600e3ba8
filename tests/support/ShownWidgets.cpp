#include "ShownWidgets.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFontMetrics>
#include <QGraphicsView>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QWidget>

#include <cstdlib>

namespace {
int distance(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
}

// Pixels of `area` that stand out from its most common colour, the background: the drawn text.
int inkedPixels(const QImage& image, const QRect& area)
{
    QHash<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[image.pixel(x, y)];
    }
    QRgb paper = 0;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            paper = it.key();
        }
    }
    int inked = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (distance(it.key(), paper) > 96)
            inked += it.value();
    }
    return inked;
}

QString describe(QWidget* widget)
{
    QString text;
    if (auto* label = qobject_cast<QLabel*>(widget))
        text = label->text();
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        text = button->text();
    return QStringLiteral("%1 %2 \"%3\"").arg(widget->metaObject()->className(), widget->objectName(), text);
}
} // namespace

ShownWidgets::ShownWidgets(QWidget* window, QWidget* area)
    : m_window(window)
{
    if (!area)
        area = window;
    m_picture = window->grab().toImage();
    const qreal ratio = m_picture.devicePixelRatio();
    const QRect areaRect(area->mapTo(window, QPoint()), area->size());
    if (!window->rect().contains(areaRect))
        m_faults << QStringLiteral("%1 is cut off by the window").arg(describe(area));

    QList<QPair<QWidget*, QRect>> placed;
    for (QWidget* widget : area->findChildren<QWidget*>()) {
        auto* label = qobject_cast<QLabel*>(widget);
        auto* button = qobject_cast<QAbstractButton*>(widget);
        const bool field = qobject_cast<QComboBox*>(widget) || qobject_cast<QLineEdit*>(widget)
            || qobject_cast<QGraphicsView*>(widget);
        if (!widget->isVisible() || (!label && !button && !field))
            continue;
        // Parts of a composite control (a combo box's line edit) are the control's business.
        if (qobject_cast<QComboBox*>(widget->parentWidget()))
            continue;
        const QString what = describe(widget);
        const QRect rect(widget->mapTo(window, QPoint()), widget->size());

        // Whole within the area and within every container up to the window, which would clip it.
        bool whole = areaRect.contains(rect);
        for (QWidget* parent = widget->parentWidget(); whole && parent && parent != window;
             parent = parent->parentWidget())
            whole = QRect(parent->mapTo(window, QPoint()), parent->size()).contains(rect);
        if (!whole) {
            m_faults << what + QStringLiteral(" is cut off");
            continue;
        }
        // Given the room it needs: a text shows whole, a wrapped one on every line.
        if (label && label->wordWrap()) {
            if (label->heightForWidth(label->width()) > label->height())
                m_faults << what + QStringLiteral(" is clipped");
        } else if (label && label->textFormat() != Qt::RichText && !Qt::mightBeRichText(label->text())) {
            const int advance = QFontMetrics(label->font()).horizontalAdvance(label->text());
            if (advance > label->contentsRect().width())
                m_faults << what + QStringLiteral(" is clipped");
        } else if (!label && !qobject_cast<QGraphicsView*>(widget)) {
            // (A chart scales its drawing to the room it is given; its test looks at the picture.)
            const QSize needs = button && !button->text().isEmpty() ? widget->sizeHint() : widget->minimumSizeHint();
            if (widget->width() < needs.width() || widget->height() < needs.height())
                m_faults << what + QStringLiteral(" is squeezed");
        }
        for (const auto& [other, otherRect] : placed) {
            if (other->isAncestorOf(widget) || widget->isAncestorOf(other))
                continue;
            if (otherRect.intersects(rect))
                m_faults << what + QStringLiteral(" overlaps ") + describe(other);
        }
        placed.append({widget, rect});
        // A label's text is really drawn where the label stands.
        if (label && !label->text().isEmpty()) {
            const QRect contents(widget->mapTo(window, label->contentsRect().topLeft()), label->contentsRect().size());
            const QRect pixels
                = QRect(contents.topLeft() * ratio, contents.size() * ratio).intersected(m_picture.rect());
            if (inkedPixels(m_picture, pixels) < label->text().size())
                m_faults << what + QStringLiteral(" shows no text");
        }
        if (label && !label->text().isEmpty())
            m_texts << label->text();
        if (button && !button->text().isEmpty())
            m_texts << button->text();
    }
}

QString ShownWidgets::problems(const QStringList& expected) const
{
    QStringList found = m_faults;
    for (const QString& text : expected) {
        if (!m_texts.contains(text))
            found << QStringLiteral("\"%1\" is not shown").arg(text);
    }
    return found.join(QLatin1Char('\n'));
}

QRect ShownWidgets::placeOf(const QWidget* widget, const QRect& part) const
{
    const qreal ratio = m_picture.devicePixelRatio();
    const QRect inside = part.isNull() ? widget->rect() : part.intersected(widget->rect());
    const QRect rect(widget->mapTo(m_window, inside.topLeft()), inside.size());
    return QRect(rect.topLeft() * ratio, rect.size() * ratio).intersected(m_picture.rect());
}

int ShownWidgets::pixelsOf(const QWidget* widget, const QColor& colour) const
{
    const QRect area = placeOf(widget);
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            count += distance(m_picture.pixel(x, y), colour.rgb()) < 48;
    }
    return count;
}

int ShownWidgets::inkOf(const QWidget* widget, const QRect& part) const
{
    return inkedPixels(m_picture, placeOf(widget, part));
}

bool ShownWidgets::save(const QString& name) const
{
    return m_picture.save(QDir(QCoreApplication::applicationDirPath()).filePath(name));
}
