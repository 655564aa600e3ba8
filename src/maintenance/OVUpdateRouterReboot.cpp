#include "OVUpdateRouterReboot.h"

QCoro::Task<ValidateReturn> OVUpdateRouterReboot::run()
{
    status = OVUpdateRouterStatus::applying;
    const ValidateReturn result = co_await sendCommand(OVRequestCommand::system_reboot);
    if (!result.success)
        co_return result;
    co_return co_await waitForDevice(false);
}
