#pragma once

#include <QPointer>
#include <QWidget>

class Device;
class QLabel;
class QToolButton;

// One device in the list column: picture, address and model sized by "sidebar.size", and a
// delete button shown only while the pointer is over the row (hidden during upgrades).
class DeviceRow : public QWidget
{
    Q_OBJECT
public:
    explicit DeviceRow(Device* device, QWidget* parent = nullptr);

    Device* device() const { return m_device; }
    bool hovering() const { return m_hovering; }

    // Deletes every stored device with this row's address and saves.
    void deleteDevice();

    // Picture side in points for a "sidebar.size" value.
    static int pictureSide(const QString& sidebarSize);

signals:
    // A single click on the row (the main view selects the device).
    void clicked(Device* device);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void redraw();
    void updateDeleteButton();

    QPointer<Device> m_device;
    bool m_hovering = false;
    QLabel* m_picture = nullptr;
    QLabel* m_address = nullptr;
    QLabel* m_model = nullptr;
    QToolButton* m_deleteButton = nullptr;
};
