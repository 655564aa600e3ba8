#include "OVUpdateRouter.h"

#include "control/OVControl.h"
#include "model/Device.h"

#include <QCoroTimer>

#include <memory>

OVUpdateRouter::OVUpdateRouter(Device* device, bool restApiValidSSL, QString restApiTimeout)
    : device(device)
    , restApiValidSSL(restApiValidSSL)
    , restApiTimeout(std::move(restApiTimeout))
{ }

OVUpdateRouter::~OVUpdateRouter() = default;

bool OVUpdateRouter::deviceAlive() const
{
    return device && !device->isDeleted();
}

ValidateReturn OVUpdateRouter::deviceGone()
{
    return ValidateReturn::failure(QStringLiteral("The device was deleted while the action was running"));
}

QCoro::Task<ValidateReturn> OVUpdateRouter::sendCommand(OVRequestCommand command)
{
    if (!deviceAlive())
        co_return deviceGone();
    const std::pair<ValidateReturn, QJsonValue> result
        = co_await device->makeCall(command, restApiValidSSL, restApiTimeout);
    co_return result.first;
}

QCoro::Task<ValidateReturn> OVUpdateRouter::waitForDevice(bool skipCheck)
{
    // The timing is copied so that a change during the wait does not move its bounds.
    const Timing timing = m_timing;
    const auto deadline = std::chrono::steady_clock::now() + timing.waitLimit;

    co_await QCoro::sleepFor(timing.pause);
    if (skipCheck) {
        status = OVUpdateRouterStatus::done;
        co_return ValidateReturn::ok(QStringLiteral("Success"));
    }
    for (;;) {
        if (status == OVUpdateRouterStatus::cancelling) {
            status = OVUpdateRouterStatus::done;
            co_return ValidateReturn::ok(QStringLiteral("Cancelled"));
        }
        if (!deviceAlive())
            co_return deviceGone();
        // A fresh back-end per probe, with a short time-out of its own whatever the setting
        // says, so a router that is still down costs little per attempt.
        const std::unique_ptr<OVControl> control = OVControl::forControlMethod(
            device->controlMethod().value_or(QString()), restApiValidSSL, timing.probeTimeout, *device);
        const ValidateReturn probe = co_await control->makeCall(OVRequestCommand::system_routerboard);
        co_await QCoro::sleepFor(timing.pause);
        if (probe.success) {
            status = OVUpdateRouterStatus::done;
            co_return ValidateReturn::ok(QStringLiteral("Success"));
        }
        // Without a bound a router that never returns would keep the busy flag set forever.
        if (std::chrono::steady_clock::now() >= deadline)
            co_return ValidateReturn::failure(QStringLiteral("The device did not respond within 10 minutes"));
    }
}
