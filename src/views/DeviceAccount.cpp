#include "DeviceAccount.h"

#include "DeviceFormState.h"
#include "control/OVControl.h"
#include "control/OVNetSFTP.h"
#include "model/Device.h"
#include "model/Secrets.h"
#include "widgets/Settings.h"

DeviceAccount DeviceAccount::fromForm(const DeviceFormState& state)
{
    const Settings& settings = Settings::instance();
    DeviceAccount account;
    account.address = state.address();
    account.controlMethod = state.controlMethod();
    account.username = state.username();
    account.password = state.password();
    account.port = state.port();
    account.sshport = state.sshport();
    account.ssl = state.ssl();
    account.restApiValidSSL = settings.restApiValidSSL();
    account.restApiTimeout = settings.restApiTimeout();
    return account;
}

QCoro::Task<ValidateReturn> DeviceAccount::test(DeviceAccount account)
{
    const QString enciphered = co_await Secrets::encrypt(account.password);
    const ValidateReturn sftp
        = co_await OVNetSFTP::testSftp(account.address, account.username, enciphered, account.sshport);
    if (!sftp.success)
        co_return ValidateReturn::failure(QStringLiteral("SFTP error: ") + sftp.message);
    const std::unique_ptr<OVControl> control
        = OVControl::forControlMethod(account.controlMethod, account.restApiValidSSL, account.restApiTimeout,
            account.address, account.username, enciphered, account.port, account.ssl);
    co_return co_await control->makeCall(OVRequestCommand::system_routerboard);
}

void DeviceAccount::writeTo(Device& device, const QString& enciphered) const
{
    device.setAddress(address);
    device.setControlMethod(controlMethod);
    device.setPassword(enciphered);
    device.setPort(port);
    device.setSshport(sshport);
    device.setSsl(ssl);
    device.setUsername(username);
}
