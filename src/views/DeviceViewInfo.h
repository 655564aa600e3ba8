#pragma once

#include "control/ValidateReturn.h"

#include <QCoroTask>
#include <QPointer>
#include <QWidget>

class AppState;
class Device;
class DeviceViewInfoCharts;
class DeviceViewInfoHealth;
class DeviceViewInfoOS;
class OVButton;
class QVBoxLayout;

// The information panel: operating-system and health panels on the left, charts on the right,
// Reboot and Shutdown under them, and one status line (the device's error or what it is busy with).
class DeviceViewInfo : public QWidget
{
    Q_OBJECT
public:
    DeviceViewInfo(Device* device, AppState& state, QWidget* parent = nullptr);

    void rebootDevice();
    void shutdownDevice();
    void toggleRefresh();

    // What the status line shows now (empty when nothing), for tests.
    QString statusText() const;

private:
    enum class Status { None, Error, Refreshing, UpgradingRouterBOOT, UpgradingRouterOS, Rebooting, ShuttingDown };

    static QCoro::Task<> runAction(QPointer<Device> device, bool shutdown);

    Status currentStatus() const;
    void redraw();
    void applySettings();

    QPointer<Device> m_device;
    AppState& m_state;
    QWidget* m_panel = nullptr;
    DeviceViewInfoOS* m_os = nullptr;
    DeviceViewInfoHealth* m_healthPanel = nullptr;
    QWidget* m_chartsColumn = nullptr;
    QWidget* m_buttonRow = nullptr;
    OVButton* m_rebootButton = nullptr;
    OVButton* m_shutdownButton = nullptr;
    QVBoxLayout* m_statusLayout = nullptr;
    QWidget* m_statusWidget = nullptr;
    Status m_shownStatus = Status::None;
};
