#include "Device.h"

#include "PersistenceController.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QLocale>

Device::Device(PersistenceController* controller)
    : QObject(controller)
    , m_controller(controller)
{ }

template<typename T>
void Device::assign(T& field, const T& value)
{
    if (field == value)
        return;
    field = value;
    m_dirty = true;
    if (m_controller)
        m_controller->markDirty(this);
    emit changed();
}

// clang-format off
void Device::setAddress(const Text& value) { assign(m_address, value); }
void Device::setArch(const Text& value) { assign(m_arch, value); }
void Device::setControlMethod(const Text& value) { assign(m_controlMethod, value); }
void Device::setCpuCount(const Text& value) { assign(m_cpuCount, value); }
void Device::setCpuLoad(const Text& value) { assign(m_cpuLoad, value); }
void Device::setCurrentRouterBOOT(const Text& value) { assign(m_currentRouterBOOT, value); }
void Device::setDiskFree(const Text& value) { assign(m_diskFree, value); }
void Device::setDiskTotal(const Text& value) { assign(m_diskTotal, value); }
void Device::setError(const Text& value) { assign(m_error, value); }
void Device::setHealth(const Text& value) { assign(m_health, value); }
void Device::setMemoryFree(const Text& value) { assign(m_memoryFree, value); }
void Device::setMemoryTotal(const Text& value) { assign(m_memoryTotal, value); }
void Device::setModel(const Text& value) { assign(m_model, value); }
void Device::setPassword(const Text& value) { assign(m_password, value); }
void Device::setPort(const Text& value) { assign(m_port, value); }
void Device::setSshport(const Text& value) { assign(m_sshport, value); }
void Device::setUpgradeRouterBOOT(const Text& value) { assign(m_upgradeRouterBOOT, value); }
void Device::setUsername(const Text& value) { assign(m_username, value); }
void Device::setVersionRouterOS(const Text& value) { assign(m_versionRouterOS, value); }
void Device::setRebooting(bool value) { assign(m_rebooting, value); }
void Device::setRefreshing(bool value) { assign(m_refreshing, value); }
void Device::setShuttingdown(bool value) { assign(m_shuttingdown, value); }
void Device::setSsl(bool value) { assign(m_ssl, value); }
void Device::setUpgradingRouterBOOT(bool value) { assign(m_upgradingRouterBOOT, value); }
void Device::setUpgradingRouterOS(bool value) { assign(m_upgradingRouterOS, value); }
void Device::setLastupdated(const std::optional<QDateTime>& value) { assign(m_lastupdated, value); }
// clang-format on

bool Device::isBusy() const
{
    return m_refreshing || isBusyLite();
}

bool Device::isBusyLite() const
{
    return m_upgradingRouterOS || m_upgradingRouterBOOT || m_rebooting || m_shuttingdown;
}

QString Device::dateAsString() const
{
    if (!m_lastupdated)
        return QStringLiteral("Never");
    return QLocale().toString(m_lastupdated->toLocalTime(), QLocale::ShortFormat);
}

QList<HealthItem> Device::healthArray() const
{
    QList<HealthItem> items;
    if (!m_health)
        return items;
    QJsonParseError parseError {};
    const QJsonDocument document = QJsonDocument::fromJson(m_health->toUtf8(), &parseError);
    if (parseError.error != QJsonParseError::NoError)
        throw HealthParseError(parseError.errorString().toStdString());
    if (!document.isArray())
        return items;
    for (const QJsonValue& element : document.array()) {
        if (!element.isObject())
            continue;
        const QJsonObject reading = element.toObject();
        const QJsonValue id = reading.value(QLatin1String(".id"));
        const QJsonValue name = reading.value(QLatin1String("name"));
        const QJsonValue type = reading.value(QLatin1String("type"));
        const QJsonValue value = reading.value(QLatin1String("value"));
        if (!id.isString() || !name.isString() || !type.isString() || !value.isString())
            continue;
        items.append(HealthItem {id.toString(), name.toString(), type.toString(), value.toString()});
    }
    return items;
}
