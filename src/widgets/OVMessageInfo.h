#pragma once

#include <QString>
#include <QWidget>

class QPainter;

// A status text in a green rounded outline. Keeps the text it was made with; draws nothing and
// takes no space when that text is empty.
class OVMessageInfo : public QWidget
{
    Q_OBJECT
public:
    explicit OVMessageInfo(const QString& message, QWidget* parent = nullptr);
    QString message() const { return m_message; }

    QSize sizeHint() const override;

    // The framed box both message views draw: text with 5 points of padding in a rounded outline,
    // 10 points of space on the leading, trailing and top sides. Sizes for a widget `width` wide
    // (0: as wide as the text wants, up to a readable line length).
    static QSize framedSize(const QFont& font, const QString& text, int width);
    // The size a box wants: its natural width, and the height its text needs at the width it
    // was given (a long text wraps instead of being cut off).
    static QSize framedHint(const QWidget& box, const QString& text);
    static void paintFramed(
        QPainter& painter, const QRect& rect, const QString& text, const QColor& outline, const QColor& textColor);
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QString m_message;
};
