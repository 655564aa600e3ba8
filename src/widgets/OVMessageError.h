#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

// A device's last error in a red rounded outline. Reads its source afresh on every refresh()
// (callers call it when the device changes); draws nothing and takes no space when the source
// is absent or empty.
class OVMessageError : public QWidget
{
    Q_OBJECT
public:
    explicit OVMessageError(std::function<std::optional<QString>()> source, QWidget* parent = nullptr);

    // The text currently shown (empty when nothing is drawn).
    QString message() const { return m_message; }
    void refresh();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    std::function<std::optional<QString>()> m_source;
    QString m_message;
};
