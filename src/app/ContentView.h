#pragma once

#include "model/Device.h"
#include "model/DeviceListModel.h"
#include "views/EditingState.h"

#include <QPointer>
#include <QWidget>

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

// The main view: the device list on the left (sorted by address, with the add button), the
// selected device's view under the release toolbar on the right.
class ContentView : public QWidget
{
    Q_OBJECT
public:
    ContentView(AppState& state, PersistenceController& store, QWidget* parent = nullptr);
    ~ContentView() override;

    // A click on a device's row: select it in the list (which takes the keyboard focus, so
    // that the arrow keys go on from there) and, when "devices.refreshselected" is on, refresh
    // it from its router.
    void selectDevice(Device* device);

    Device* selectedDevice() const { return m_selectedDevice; }
    EditingState& editing() { return m_editing; }
    DeviceListModel& model() { return m_model; }
    QListView* listView() const { return m_list; }

    bool listColumnVisible() const;
    void setListColumnVisible(bool visible);

private:
    void setSelectedDevice(Device* device);
    // The list's selection changed (a click or the arrow keys): show the device it holds.
    void followSelection();
    void rowsLeaving(int first, int last);
    void fitListColumn();
    void applyEditing();
    void updateDetail();
    void relayoutRows();

    AppState& m_state;
    PersistenceController& m_store;
    DeviceListModel m_model;
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
