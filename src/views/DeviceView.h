#pragma once

#include <QPointer>
#include <QWidget>

class AppState;
class Device;
class DeviceViewInfo;
class EditingState;
class QLabel;
class QVBoxLayout;

// The detail pane for the selected device: the configuration panel on top and, while it is not
// being edited, the information panel below.
class DeviceView : public QWidget
{
    Q_OBJECT
public:
    DeviceView(Device* device, AppState& state, EditingState& editing, QWidget* parent = nullptr);

    Device* device() const { return m_device; }

private:
    void redraw();

    QPointer<Device> m_device;
    AppState& m_state;
    EditingState& m_editing;
    QLabel* m_placeholder = nullptr;
    QWidget* m_content = nullptr;
    QPointer<DeviceViewInfo> m_info;
    QVBoxLayout* m_contentLayout = nullptr;
};
