#pragma once

#include "control/ValidateReturn.h"

#include <QCoroTask>
#include <QString>

class Device;
class DeviceFormState;

// The connection values a device form collects, copied together with the settings a check of
// them uses, so that an add or an edit can finish after its form is gone.
struct DeviceAccount
{
    QString address;
    QString controlMethod;
    QString username;
    QString password; // as typed; enciphered only when stored or handed to a connection
    QString port;
    QString sshport;
    bool ssl = true;
    bool restApiValidSSL = false;
    QString restApiTimeout;

    // The form's values and the current REST settings.
    static DeviceAccount fromForm(const DeviceFormState& state);

    // Proves the account against the router: an SFTP login first (a failure reads "SFTP error: "
    // and its reason), then one system_routerboard call over the chosen control method.
    static QCoro::Task<ValidateReturn> test(DeviceAccount account);

    // Writes the seven connection attributes, the password as `enciphered` (the password
    // enciphered, which the caller awaits first). Does not save the store.
    void writeTo(Device& device, const QString& enciphered) const;
};
