#pragma once

#include "model/Device.h"
#include "model/DeviceListModel.h"
#include "model/HealthItem.h"
#include "views/EditingState.h"
#include "views/HealthListState.h"

#include <QCoroTask>
#include <QPointer>
#include <QWidget>

#include <memory>

class AppState;
class DeviceRow;
class DeviceView;
class OVToolbarView;
class PersistenceController;
class QLabel;
class QListView;
class QSplitter;
class QToolButton;
class QVBoxLayout;
class TaskHandle;

// The main view: the device list on the left (sorted by address, with the add button), the
// selected device's view under the release toolbar on the right.
class ContentView : public QWidget
{
    Q_OBJECT
public:
    ContentView(AppState& state, PersistenceController& store, QWidget* parent = nullptr);
    ~ContentView() override;

    // A click on a device's row: select it, show its stored health readings and, when
    // "devices.refreshselected" is on, refresh it from its router.
    void selectDevice(Device* device);

    Device* selectedDevice() const { return m_selectedDevice; }
    QList<HealthItem> selectedDeviceHealth() const { return m_health.items(); }
    HealthListState& health() { return m_health; }
    EditingState& editing() { return m_editing; }
    DeviceListModel& model() { return m_model; }
    QListView* listView() const { return m_list; }

    bool listColumnVisible() const;
    void setListColumnVisible(bool visible);

private:
    static QCoro::Task<> refreshSelected(
        QPointer<Device> device, QPointer<ContentView> view, std::shared_ptr<TaskHandle> handle);

    void setSelectedDevice(Device* device);
    void fitListColumn();
    void applyEditing();
    void updateDetail();
    void relayoutRows();

    AppState& m_state;
    PersistenceController& m_store;
    DeviceListModel m_model;
    HealthListState m_health;
    EditingState m_editing;
    QPointer<Device> m_selectedDevice;

    QSplitter* m_splitter = nullptr;
    QWidget* m_listColumn = nullptr;
    QListView* m_list = nullptr;
    DeviceRow* m_rows = nullptr;
    QToolButton* m_addButton = nullptr;
    QVBoxLayout* m_detailLayout = nullptr;
    QLabel* m_placeholder = nullptr;
    OVToolbarView* m_toolbar = nullptr;
    QPointer<DeviceView> m_deviceView;
};
