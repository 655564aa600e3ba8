#pragma once

#include "HealthItem.h"
#include "TaskHandle.h"
#include "control/OVRequestCommand.h"
#include "control/ValidateReturn.h"

#include <QCoroTask>
#include <QDateTime>
#include <QJsonValue>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>

class PersistenceController;

// Thrown by Device::healthArray() when the stored health text is not JSON.
class HealthParseError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// One stored router. Owned by the PersistenceController that loaded or inserted it; every read
// and write happens on the main thread. Setters mark the object dirty and emit changed() only
// when the value really changes; the next save() writes it. Texts are optional: absent and
// empty differ.
class Device : public QObject
{
    Q_OBJECT
public:
    using Text = std::optional<QString>;

    // Texts
    Text address() const { return m_address; }
    Text arch() const { return m_arch; }
    Text controlMethod() const { return m_controlMethod; }
    Text cpuCount() const { return m_cpuCount; }
    Text cpuLoad() const { return m_cpuLoad; }
    Text currentRouterBOOT() const { return m_currentRouterBOOT; }
    Text diskFree() const { return m_diskFree; }
    Text diskTotal() const { return m_diskTotal; }
    Text error() const { return m_error; }
    Text health() const { return m_health; }
    Text memoryFree() const { return m_memoryFree; }
    Text memoryTotal() const { return m_memoryTotal; }
    Text model() const { return m_model; }
    Text password() const { return m_password; }
    Text port() const { return m_port; }
    Text sshport() const { return m_sshport; }
    Text upgradeRouterBOOT() const { return m_upgradeRouterBOOT; }
    Text username() const { return m_username; }
    Text versionRouterOS() const { return m_versionRouterOS; }
    // Flags
    bool rebooting() const { return m_rebooting; }
    bool refreshing() const { return m_refreshing; }
    bool shuttingdown() const { return m_shuttingdown; }
    bool ssl() const { return m_ssl; }
    bool upgradingRouterBOOT() const { return m_upgradingRouterBOOT; }
    bool upgradingRouterOS() const { return m_upgradingRouterOS; }
    // Date
    std::optional<QDateTime> lastupdated() const { return m_lastupdated; }

    void setAddress(const Text& value);
    void setArch(const Text& value);
    void setControlMethod(const Text& value);
    void setCpuCount(const Text& value);
    void setCpuLoad(const Text& value);
    void setCurrentRouterBOOT(const Text& value);
    void setDiskFree(const Text& value);
    void setDiskTotal(const Text& value);
    void setError(const Text& value);
    void setHealth(const Text& value);
    void setMemoryFree(const Text& value);
    void setMemoryTotal(const Text& value);
    void setModel(const Text& value);
    void setPassword(const Text& value);
    void setPort(const Text& value);
    void setSshport(const Text& value);
    void setUpgradeRouterBOOT(const Text& value);
    void setUsername(const Text& value);
    void setVersionRouterOS(const Text& value);
    void setRebooting(bool value);
    void setRefreshing(bool value);
    void setShuttingdown(bool value);
    void setSsl(bool value);
    void setUpgradingRouterBOOT(bool value);
    void setUpgradingRouterOS(bool value);
    void setLastupdated(const std::optional<QDateTime>& value);

    // Not stored: the running refresh's cancellation handle, absent on a new or loaded object.
    std::shared_ptr<TaskHandle> refreshTask() const { return m_refreshTask; }
    void setRefreshTask(std::shared_ptr<TaskHandle> task) { m_refreshTask = std::move(task); }

    // refreshing, upgradingRouterOS, upgradingRouterBOOT, rebooting or shuttingdown.
    bool isBusy() const;
    // The same without refreshing.
    bool isBusyLite() const;
    // "Never" when never refreshed, else the date and time in the locale's short format.
    QString dateAsString() const;

    // Runs one command through the back-end the control method names ("REST" exactly: REST,
    // else API) and parses the reply. Never throws; on failure the JSON value is an empty object.
    QCoro::Task<std::pair<ValidateReturn, QJsonValue>> makeCall(
        OVRequestCommand command, bool restApiValidSSL, QString restApiTimeout);

    // Asks the router system_resource, system_package, system_routerboard and system_health and
    // copies the answers into the attributes; stamps lastupdated and saves only when all four
    // succeeded. Throws RefreshCancelled when `cancellation` is marked at a check (after the
    // first three commands), or when the device is deleted while the refresh waits.
    QCoro::Task<ValidateReturn> refreshDevice(
        bool restApiValidSSL, QString restApiTimeout, std::shared_ptr<TaskHandle> cancellation = {});

    // The readings of the stored health reply, in reply order. Throws HealthParseError when
    // the stored text is not JSON.
    QList<HealthItem> healthArray() const;

    // The store this device belongs to (null once it has been deleted and saved).
    PersistenceController* persistenceController() const { return m_controller; }
    // Database row id; 0 until the first save that inserts it.
    qint64 rowId() const { return m_rowId; }
    bool isDeleted() const { return m_deleted; }

signals:
    // Any attribute changed.
    void changed();

private:
    friend class PersistenceController;
    explicit Device(PersistenceController* controller);

    template<typename T>
    void assign(T& field, const T& value);

    // The refresh's steps: each copies what it reads of one reply into the attributes.
    void applyResource(const QJsonValue& reply);
    void applyPackages(const QJsonValue& reply);
    void applyRouterboard(const QJsonValue& reply);
    void applyHealth(const QJsonValue& reply);
    // The given handle, or the one in refreshTask when none was given, has been cancelled.
    bool refreshCancelled(const std::shared_ptr<TaskHandle>& cancellation) const;

    PersistenceController* m_controller = nullptr;
    qint64 m_rowId = 0;
    bool m_dirty = false;
    bool m_deleted = false;

    Text m_address, m_arch, m_controlMethod, m_cpuCount, m_cpuLoad, m_currentRouterBOOT, m_diskFree, m_diskTotal,
        m_error, m_health, m_memoryFree, m_memoryTotal, m_model, m_password, m_port, m_sshport, m_upgradeRouterBOOT,
        m_username, m_versionRouterOS;
    bool m_rebooting = false, m_refreshing = false, m_shuttingdown = false, m_ssl = false,
         m_upgradingRouterBOOT = false, m_upgradingRouterOS = false;
    std::optional<QDateTime> m_lastupdated;
    std::shared_ptr<TaskHandle> m_refreshTask;
};
