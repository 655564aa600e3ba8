#pragma once

#include <QString>
#include <QWidget>

// A status text in a green rounded outline. Keeps the text it was made with; draws nothing and
// takes no space when that text is empty.
class OVMessageInfo : public QWidget
{
    Q_OBJECT
public:
    explicit OVMessageInfo(const QString& message, QWidget* parent = nullptr);
    QString message() const { return m_message; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_message;
};
