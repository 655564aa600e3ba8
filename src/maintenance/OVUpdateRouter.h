#pragma once

#include "control/OVRequestCommand.h"
#include "control/ValidateReturn.h"

#include <QCoroTask>
#include <QPointer>
#include <QString>

#include <chrono>

class Device;

enum class OVUpdateRouterStatus : quint8 { inactive = 0, downloading, uploading, applying, cancelling, done };

// The base of the maintenance actions: the device, the two network settings at the time the
// action was made, and the phase it is in. An action is made by a view, run once, dropped.
// Keep the object alive until the awaited operation has finished.
class OVUpdateRouter
{
public:
    // Production values; tests shorten them.
    struct Timing
    {
        std::chrono::milliseconds pause {2000};
        QString probeTimeout {QStringLiteral("3")};
        std::chrono::milliseconds waitLimit {std::chrono::minutes(10)};
        // A package download that receives nothing for this long fails.
        std::chrono::milliseconds transferTimeout {std::chrono::seconds(60)};
    };

    OVUpdateRouter(Device* device, bool restApiValidSSL, QString restApiTimeout);
    virtual ~OVUpdateRouter();

    OVUpdateRouter(const OVUpdateRouter&) = delete;
    OVUpdateRouter& operator=(const OVUpdateRouter&) = delete;

    // After a command that makes the router go away: pause, then (unless skipCheck) probe with
    // system_routerboard until it answers. Ends with success "Success" or "Cancelled", or after
    // the wait limit with failure "The device did not respond within " + that limit ("10
    // minutes"). A device deleted meanwhile ends every action with a failure, without touching
    // it. The status is done whenever the wait returns. Pauses never end early.
    QCoro::Task<ValidateReturn> waitForDevice(bool skipCheck);

    void setTiming(const Timing& timing) { m_timing = timing; }
    const Timing& timing() const { return m_timing; }

    QPointer<Device> device;
    bool restApiValidSSL = false;
    QString restApiTimeout;
    OVUpdateRouterStatus status = OVUpdateRouterStatus::inactive;

protected:
    // Sends one command through the device; a device deleted meanwhile is a failure.
    QCoro::Task<ValidateReturn> sendCommand(OVRequestCommand command);
    // False once the device has been destroyed or deleted from its store.
    bool deviceAlive() const;
    static ValidateReturn deviceGone();
    // "10 minutes", "1 second", "400 milliseconds": a bound as it was set.
    static QString durationText(std::chrono::milliseconds length);

private:
    Timing m_timing;
};
