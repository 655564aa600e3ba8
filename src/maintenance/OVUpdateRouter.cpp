#include "OVUpdateRouter.h"

#include "control/OVControl.h"
#include "model/Device.h"

#include <QCoroTimer>
#include <QTimer>

#include <memory>

namespace {

// A pause on the monotonic clock that never ends early: Qt's default (coarse) timers may fire
// up to 5% before their time, so a precise timer is used and any remainder waited out.
QCoro::Task<> pauseFor(std::chrono::milliseconds length)
{
    const auto end = std::chrono::steady_clock::now() + length;
    for (;;) {
        const auto left = end - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero())
            co_return;
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        timer.setSingleShot(true);
        timer.start(std::chrono::ceil<std::chrono::milliseconds>(left));
        co_await timer;
    }
}

} // namespace

OVUpdateRouter::OVUpdateRouter(Device* device, bool restApiValidSSL, QString restApiTimeout)
    : device(device)
    , restApiValidSSL(restApiValidSSL)
    , restApiTimeout(std::move(restApiTimeout))
{ }

OVUpdateRouter::~OVUpdateRouter() = default;

// "10 minutes", "1 second", "400 milliseconds": the bound as it was set.
QString OVUpdateRouter::durationText(std::chrono::milliseconds bound)
{
    const auto plural = [](qint64 count, const char* unit) {
        return QStringLiteral("%1 %2%3").arg(count).arg(QLatin1String(unit)).arg(count == 1 ? "" : "s");
    };
    if (bound.count() % 60000 == 0)
        return plural(bound.count() / 60000, "minute");
    if (bound.count() % 1000 == 0)
        return plural(bound.count() / 1000, "second");
    return plural(bound.count(), "millisecond");
}

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

    co_await pauseFor(timing.pause);
    if (skipCheck) {
        status = OVUpdateRouterStatus::done;
        co_return ValidateReturn::ok(QStringLiteral("Success"));
    }
    for (;;) {
        if (status == OVUpdateRouterStatus::cancelling) {
            status = OVUpdateRouterStatus::done;
            co_return ValidateReturn::ok(QStringLiteral("Cancelled"));
        }
        if (!deviceAlive()) {
            status = OVUpdateRouterStatus::done;
            co_return deviceGone();
        }
        // A fresh back-end per probe, with a short time-out of its own whatever the setting
        // says, so a router that is still down costs little per attempt.
        const std::unique_ptr<OVControl> control = OVControl::forControlMethod(
            device->controlMethod().value_or(QString()), restApiValidSSL, timing.probeTimeout, *device);
        const ValidateReturn probe = co_await control->makeCall(OVRequestCommand::system_routerboard);
        co_await pauseFor(timing.pause);
        if (probe.success) {
            status = OVUpdateRouterStatus::done;
            co_return ValidateReturn::ok(QStringLiteral("Success"));
        }
        // Without a bound a router that never returns would keep the busy flag set forever.
        if (std::chrono::steady_clock::now() >= deadline) {
            status = OVUpdateRouterStatus::done;
            co_return ValidateReturn::failure(
                QStringLiteral("The device did not respond within ") + durationText(timing.waitLimit));
        }
    }
}
