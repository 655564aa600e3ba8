#pragma once

#include "OVUpdateRouter.h"

// RouterBOOT upgrade: system_routerboard_upgrade, system_reboot, then wait for the router.
class OVUpdateRouterBOOT : public OVUpdateRouter
{
public:
    using OVUpdateRouter::OVUpdateRouter;
    QCoro::Task<ValidateReturn> run();
};
