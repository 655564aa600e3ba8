#include "OVControl.h"

#include "OVControlAPI.h"
#include "OVControlRest.h"
#include "OVControlSSH.h"
#include "model/Device.h"

#include <QtGlobal>

OVControl::OVControl(bool validSSL, QString timeout, const Device& device)
    : validSSL(validSSL)
    , timeout(std::move(timeout))
    , address(device.address().value_or(QString()))
    , username(device.username().value_or(QString()))
    , password(device.password().value_or(QString()))
    , port(device.port().value_or(QString()))
    , ssl(device.ssl())
{
}

OVControl::OVControl(bool validSSL, QString timeout, QString address, QString username, QString password,
    QString port, bool ssl)
    : validSSL(validSSL)
    , timeout(std::move(timeout))
    , address(std::move(address))
    , username(std::move(username))
    , password(std::move(password))
    , port(std::move(port))
    , ssl(ssl)
{
}

OVControl::~OVControl() = default;

QCoro::Task<ValidateReturn> OVControl::makeCall(OVRequestCommand)
{
    qFatal("Must override OVControl.makeCall");
    co_return ValidateReturn {};
}

QCoro::Task<ValidateReturn> OVControlSSH::makeCall(OVRequestCommand)
{
    qFatal("Must override OVControlSSH.makeCall");
    co_return ValidateReturn {};
}

std::unique_ptr<OVControl> OVControl::forControlMethod(const QString& controlMethod, bool validSSL, QString timeout,
    const Device& device)
{
    if (controlMethod == QLatin1String("REST"))
        return std::make_unique<OVControlRest>(validSSL, std::move(timeout), device);
    return std::make_unique<OVControlAPI>(validSSL, std::move(timeout), device);
}

std::unique_ptr<OVControl> OVControl::forControlMethod(const QString& controlMethod, bool validSSL, QString timeout,
    QString address, QString username, QString password, QString port, bool ssl)
{
    if (controlMethod == QLatin1String("REST"))
        return std::make_unique<OVControlRest>(validSSL, std::move(timeout), std::move(address), std::move(username),
            std::move(password), std::move(port), ssl);
    return std::make_unique<OVControlAPI>(validSSL, std::move(timeout), std::move(address), std::move(username),
        std::move(password), std::move(port), ssl);
}
