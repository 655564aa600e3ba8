#pragma once

#include "OVUpdateRouter.h"

// Restart: system_reboot, then wait for the router to answer again.
class OVUpdateRouterReboot : public OVUpdateRouter
{
public:
    using OVUpdateRouter::OVUpdateRouter;
    QCoro::Task<ValidateReturn> run();
};
