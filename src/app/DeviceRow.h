#pragma once

#include <QPersistentModelIndex>
#include <QStyledItemDelegate>

class Device;
class QAbstractItemView;

// Draws each device of the list column: picture, address and model sized by "sidebar.size", and a
// delete control shown only while the pointer is over the row (hidden during upgrades). Rows are
// painted on demand, so only the rows in sight cost anything however many devices are stored.
class DeviceRow : public QStyledItemDelegate
{
    Q_OBJECT
public:
    // Where the parts of one row go, in the view's viewport coordinates.
    struct Layout
    {
        QRect picture; // empty when "sidebar.size" shows no picture
        QRect address;
        QRect model; // empty when the model line is not shown
        QRect deleteButton; // empty while the control is hidden
        QFont addressFont;
        QFont modelFont;
    };

    // Draws the rows of `view`, whose model is a DeviceListModel, and follows its pointer.
    explicit DeviceRow(QAbstractItemView* view);

    // The row under the pointer, invalid when there is none.
    QModelIndex hoveredIndex() const { return m_hovered; }
    bool deleteButtonShown(const QModelIndex& index) const;
    Layout layout(const QRect& rowRect, const QModelIndex& index) const;
    // The width the widest row needs to show its address and model uncut.
    int requiredWidth() const { return m_requiredWidth; }

    // Deletes every stored device with the device's address and saves.
    static void deleteDevice(Device* device);
    // Picture side in points for a "sidebar.size" value.
    static int pictureSide(const QString& sidebarSize);

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
        const QModelIndex& index) override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
        const QModelIndex& index) override;

signals:
    // A single click on a row (the main view selects the device).
    void clicked(Device* device);
    void requiredWidthChanged(int width);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static Device* deviceOf(const QModelIndex& index);
    void setHovered(const QModelIndex& index);
    int widestRow(int first, int last) const;
    void setRequiredWidth(int width);
    void measureRows(int first, int last);
    void measureAllRows();

    QAbstractItemView* m_view;
    QPersistentModelIndex m_hovered;
    // The row whose delete control took the last press, until the release.
    QPersistentModelIndex m_pressedDelete;
    int m_requiredWidth = 0;
};
