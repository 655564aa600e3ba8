#include "Device.h"

#include "PersistenceController.h"
#include "control/OVControl.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QPointer>
#include <QVariant>

#include <array>

// The device's conversation with its router: one command through the control method, and the
// refresh built on it. Kept apart from the attributes so that code that only stores devices does
// not pull in the network back-ends.

QCoro::Task<std::pair<ValidateReturn, QJsonValue>> Device::makeCall(
    OVRequestCommand command, bool restApiValidSSL, QString restApiTimeout)
{
    // The control object copies what it needs from the device now; after the await this device
    // may be gone, so nothing below touches it.
    const std::unique_ptr<OVControl> control
        = OVControl::forControlMethod(m_controlMethod.value_or(QString()), restApiValidSSL, restApiTimeout, *this);
    ValidateReturn result = co_await control->makeCall(command);

    if (!result.success)
        co_return std::pair {std::move(result), QJsonValue(QJsonObject())};

    QJsonParseError parseError {};
    const QJsonDocument document = QJsonDocument::fromJson(result.response.value_or(QString()).toUtf8(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !(document.isObject() || document.isArray())) {
        const QString message = parseError.error != QJsonParseError::NoError
            ? parseError.errorString()
            : QStringLiteral("JSON text is neither an object nor an array");
        co_return std::pair {ValidateReturn::failure(message), QJsonValue(QJsonObject())};
    }
    const QJsonValue value = document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
    co_return std::pair {std::move(result), value};
}

namespace {
// A package member in its text form: texts unchanged, numbers and Booleans as printed, anything
// else as the empty text.
QString textForm(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Double:
        return value.toVariant().toString();
    default:
        return {};
    }
}

QList<QJsonValue> elementsOf(const QJsonValue& value)
{
    QList<QJsonValue> elements;
    if (value.isArray()) {
        for (const QJsonValue& element : value.toArray())
            elements.append(element);
    } else if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            elements.append(it.value());
    }
    return elements;
}

bool stillWanted(const QPointer<Device>& device)
{
    return device && !device->isDeleted();
}
} // namespace

void Device::applyResource(const QJsonValue& reply)
{
    if (!reply.isObject())
        return;
    using Setter = void (Device::*)(const Text&);
    static const std::array<std::pair<QLatin1StringView, Setter>, 8> table {{
        {QLatin1StringView("board-name"), &Device::setModel},
        {QLatin1StringView("architecture-name"), &Device::setArch},
        {QLatin1StringView("cpu-count"), &Device::setCpuCount},
        {QLatin1StringView("cpu-load"), &Device::setCpuLoad},
        {QLatin1StringView("free-memory"), &Device::setMemoryFree},
        {QLatin1StringView("total-memory"), &Device::setMemoryTotal},
        {QLatin1StringView("total-hdd-space"), &Device::setDiskTotal},
        {QLatin1StringView("free-hdd-space"), &Device::setDiskFree},
    }};
    const QJsonObject object = reply.toObject();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!it.value().isString())
            continue;
        for (const auto& [name, setter] : table) {
            if (it.key() == name)
                (this->*setter)(it.value().toString());
        }
    }
}

void Device::applyPackages(const QJsonValue& reply)
{
    const QString archPackage = QStringLiteral("routeros-") + m_arch.value_or(QStringLiteral("unknown"));
    // Every match is taken, so the last matching package wins.
    for (const QJsonValue& element : elementsOf(reply)) {
        if (!element.isObject())
            continue;
        const QJsonObject package = element.toObject();
        if (!package.contains(QLatin1String("name")) || !package.contains(QLatin1String("version")))
            continue;
        const QString name = textForm(package.value(QLatin1String("name")));
        if (name == QLatin1String("routeros") || name == archPackage)
            setVersionRouterOS(textForm(package.value(QLatin1String("version"))));
    }
}

void Device::applyRouterboard(const QJsonValue& reply)
{
    if (!reply.isObject())
        return;
    const QJsonObject object = reply.toObject();
    const QJsonValue current = object.value(QLatin1String("current-firmware"));
    if (current.isString())
        setCurrentRouterBOOT(current.toString());
    const QJsonValue upgrade = object.value(QLatin1String("upgrade-firmware"));
    if (upgrade.isString())
        setUpgradeRouterBOOT(upgrade.toString());
}

void Device::applyHealth(const QJsonValue& reply)
{
    if (!reply.isArray())
        return;
    const QJsonArray readings = reply.toArray();
    for (const QJsonValue& element : readings) {
        if (element.isObject()) {
            setHealth(QString::fromUtf8(QJsonDocument(readings).toJson(QJsonDocument::Indented)));
            return;
        }
    }
}

bool Device::refreshCancelled(const std::shared_ptr<TaskHandle>& cancellation) const
{
    const std::shared_ptr<TaskHandle> handle = cancellation ? cancellation : m_refreshTask;
    return handle && handle->isCancelled();
}

QCoro::Task<ValidateReturn> Device::refreshDevice(
    bool restApiValidSSL, QString restApiTimeout, std::shared_ptr<TaskHandle> cancellation)
{
    const QPointer<Device> self(this);

    auto resource = co_await makeCall(OVRequestCommand::system_resource, restApiValidSSL, restApiTimeout);
    if (!stillWanted(self))
        throw RefreshCancelled();
    if (!resource.first.success)
        co_return resource.first;
    self->applyResource(resource.second);
    if (self->refreshCancelled(cancellation))
        throw RefreshCancelled();

    auto packages = co_await self->makeCall(OVRequestCommand::system_package, restApiValidSSL, restApiTimeout);
    if (!stillWanted(self))
        throw RefreshCancelled();
    if (!packages.first.success)
        co_return packages.first;
    self->applyPackages(packages.second);
    if (self->refreshCancelled(cancellation))
        throw RefreshCancelled();

    auto routerboard = co_await self->makeCall(OVRequestCommand::system_routerboard, restApiValidSSL, restApiTimeout);
    if (!stillWanted(self))
        throw RefreshCancelled();
    if (!routerboard.first.success)
        co_return routerboard.first;
    self->applyRouterboard(routerboard.second);
    if (self->refreshCancelled(cancellation))
        throw RefreshCancelled();

    // The last command is never cancelled: once it is asked, the refresh completes.
    auto health = co_await self->makeCall(OVRequestCommand::system_health, restApiValidSSL, restApiTimeout);
    if (!stillWanted(self))
        throw RefreshCancelled();
    if (!health.first.success)
        co_return health.first;
    self->applyHealth(health.second);

    self->setLastupdated(QDateTime::currentDateTime());
    if (PersistenceController* store = self->persistenceController())
        store->saveOrDie(QStringLiteral("Device.refreshDevice.save: Unresolved error "));
    co_return ValidateReturn::ok();
}
