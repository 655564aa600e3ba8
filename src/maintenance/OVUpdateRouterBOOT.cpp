#include "OVUpdateRouterBOOT.h"

QCoro::Task<ValidateReturn> OVUpdateRouterBOOT::run()
{
    status = OVUpdateRouterStatus::applying;
    const ValidateReturn upgrade = co_await sendCommand(OVRequestCommand::system_routerboard_upgrade);
    if (!upgrade.success)
        co_return upgrade;
    // The new firmware only takes effect after a restart.
    const ValidateReturn reboot = co_await sendCommand(OVRequestCommand::system_reboot);
    if (!reboot.success)
        co_return reboot;
    co_return co_await waitForDevice(false);
}
