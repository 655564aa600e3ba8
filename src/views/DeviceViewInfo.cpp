#include "DeviceViewInfo.h"

#include "DeviceViewInfoCharts.h"
#include "DeviceViewInfoHealth.h"
#include "DeviceViewInfoOS.h"
#include "RefreshToggle.h"
#include "maintenance/OVUpdateRouterReboot.h"
#include "maintenance/OVUpdateRouterShutdown.h"
#include "model/Device.h"
#include "widgets/OVButton.h"
#include "widgets/OVMessageError.h"
#include "widgets/OVMessageInfo.h"
#include "widgets/OutlinedFrame.h"
#include "widgets/Settings.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

DeviceViewInfo::DeviceViewInfo(Device* device, AppState& state, QWidget* parent)
    : QWidget(parent)
    , m_device(device)
    , m_state(state)
{
    setObjectName("deviceViewInfo");
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);

    // The bordered panel, 10 points in from both sides.
    auto* panelRow = new QHBoxLayout();
    panelRow->setContentsMargins(10, 0, 10, 0);
    m_panel = new OutlinedFrame(this);
    m_panel->setObjectName("infoPanel");
    panelRow->addWidget(m_panel);
    outer->addLayout(panelRow);

    auto* panelLayout = new QVBoxLayout(m_panel);
    panelLayout->setContentsMargins(5, 5, 5, 5);

    auto* topRow = new QHBoxLayout();
    auto* leftColumn = new QVBoxLayout();
    m_os = new DeviceViewInfoOS(device, &state, m_panel);
    leftColumn->addWidget(m_os);
    m_healthPanel = new DeviceViewInfoHealth(device, m_panel);
    leftColumn->addWidget(m_healthPanel);
    leftColumn->addStretch(1);
    topRow->addLayout(leftColumn);

    m_chartsColumn = new QWidget(m_panel);
    m_chartsColumn->setObjectName("chartsColumn");
    auto* chartsLayout = new QVBoxLayout(m_chartsColumn);
    chartsLayout->setContentsMargins(0, 0, 0, 0);
    chartsLayout->addWidget(new DeviceViewInfoCharts(device, m_chartsColumn));
    chartsLayout->addStretch(1);
    topRow->addWidget(m_chartsColumn, 1);
    panelLayout->addLayout(topRow);

    m_buttonRow = new QWidget(m_panel);
    m_buttonRow->setObjectName("actionButtonRow");
    m_buttonRow->setFixedHeight(26);
    auto* buttons = new QHBoxLayout(m_buttonRow);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addStretch(1);
    m_rebootButton = new OVButton(
        "restart.circle", tr("Reboot"), tr("Restart the device"), [this] { rebootDevice(); }, m_buttonRow);
    m_rebootButton->setObjectName("rebootButton");
    buttons->addWidget(m_rebootButton);
    m_shutdownButton = new OVButton(
        "power.circle", tr("Shutdown"), tr("Shutdown the device"), [this] { shutdownDevice(); }, m_buttonRow);
    m_shutdownButton->setObjectName("shutdownButton");
    buttons->addWidget(m_shutdownButton);
    panelLayout->addWidget(m_buttonRow);

    // The status line under the panel.
    m_statusLayout = new QVBoxLayout();
    m_statusLayout->setContentsMargins(0, 0, 0, 0);
    outer->addLayout(m_statusLayout);

    if (m_device)
        connect(m_device, &Device::changed, this, &DeviceViewInfo::redraw);
    connect(&Settings::instance(), &Settings::changed, this, [this](const QString& key) {
        if (key == QLatin1String(Settings::HealthEnable) || key == QLatin1String(Settings::OsMetricsEnable))
            applySettings();
    });
    applySettings();
    redraw();
}

void DeviceViewInfo::applySettings()
{
    m_healthPanel->setVisible(Settings::instance().displayDeviceHealth());
    m_chartsColumn->setVisible(Settings::instance().displayDeviceOsMetrics());
}

DeviceViewInfo::Status DeviceViewInfo::currentStatus() const
{
    if (!m_device)
        return Status::None;
    if (m_device->error().has_value() && !m_device->error()->isEmpty())
        return Status::Error;
    if (m_device->refreshing())
        return Status::Refreshing;
    if (m_device->upgradingRouterBOOT())
        return Status::UpgradingRouterBOOT;
    if (m_device->upgradingRouterOS())
        return Status::UpgradingRouterOS;
    if (m_device->rebooting())
        return Status::Rebooting;
    if (m_device->shuttingdown())
        return Status::ShuttingDown;
    return Status::None;
}

void DeviceViewInfo::redraw()
{
    if (!m_device)
        return;
    const bool busy = m_device->refreshing() || m_device->isBusyLite();
    m_buttonRow->setEnabled(!busy);

    const Status status = currentStatus();
    if (status == m_shownStatus && status != Status::Error) {
        return;
    }
    if (status == Status::Error && m_shownStatus == Status::Error) {
        if (auto* box = qobject_cast<OVMessageError*>(m_statusWidget))
            box->refresh();
        return;
    }
    // Each busy text is a box of its own: an info box keeps the text it was made with.
    if (m_statusWidget) {
        m_statusWidget->hide();
        m_statusWidget->deleteLater();
        m_statusWidget = nullptr;
    }
    m_shownStatus = status;
    QString text;
    switch (status) {
    case Status::None:
        return;
    case Status::Error: {
        QPointer<Device> device = m_device;
        auto* box = new OVMessageError(
            [device]() -> std::optional<QString> { return device ? device->error() : std::nullopt; });
        box->setObjectName("statusErrorMessage");
        box->refresh();
        m_statusWidget = box;
        m_statusLayout->addWidget(box, 0, Qt::AlignHCenter);
        return;
    }
    case Status::Refreshing:
        text = tr("Refreshing device information...");
        break;
    case Status::UpgradingRouterBOOT:
        text = tr("Updating RouterBOOT...");
        break;
    case Status::UpgradingRouterOS:
        text = tr("Updating RouterOS...");
        break;
    case Status::Rebooting:
        text = tr("Restarting device...");
        break;
    case Status::ShuttingDown:
        text = tr("Shutting down device...");
        break;
    }
    auto* box = new OVMessageInfo(text);
    box->setObjectName("statusInfoMessage");
    m_statusWidget = box;
    m_statusLayout->addWidget(box, 0, Qt::AlignHCenter);
}

QString DeviceViewInfo::statusText() const
{
    if (auto* error = qobject_cast<OVMessageError*>(m_statusWidget))
        return error->message();
    if (auto* info = qobject_cast<OVMessageInfo*>(m_statusWidget))
        return info->message();
    return {};
}

void DeviceViewInfo::rebootDevice()
{
    if (!m_device)
        return;
    m_device->setError(QString());
    m_device->setRebooting(true);
    runAction(m_device, false);
}

void DeviceViewInfo::shutdownDevice()
{
    if (!m_device)
        return;
    m_device->setError(QString());
    m_device->setShuttingdown(true);
    runAction(m_device, true);
}

void DeviceViewInfo::toggleRefresh()
{
    RefreshToggle::toggle(m_device);
}

QCoro::Task<> DeviceViewInfo::runAction(QPointer<Device> device, bool shutdown)
{
    const bool validSSL = Settings::instance().restApiValidSSL();
    const QString timeout = Settings::instance().restApiTimeout();
    ValidateReturn result;
    if (shutdown) {
        OVUpdateRouterShutdown action(device, validSSL, timeout);
        result = co_await action.run();
    } else {
        OVUpdateRouterReboot action(device, validSSL, timeout);
        result = co_await action.run();
    }
    if (!device)
        co_return;
    if (shutdown)
        device->setShuttingdown(false);
    else
        device->setRebooting(false);
    if (!result.success)
        device->setError(result.message);
    else if (!shutdown)
        RefreshToggle::toggle(device);
}
