#include "OVUpdateRouterShutdown.h"

QCoro::Task<ValidateReturn> OVUpdateRouterShutdown::run()
{
    status = OVUpdateRouterStatus::applying;
    const ValidateReturn result = co_await sendCommand(OVRequestCommand::system_shutdown);
    if (!result.success)
        co_return result;
    co_return co_await waitForDevice(true);
}
