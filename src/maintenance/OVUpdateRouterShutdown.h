#pragma once

#include "OVUpdateRouter.h"

// Shut-down: system_shutdown, then one pause (no probe).
class OVUpdateRouterShutdown : public OVUpdateRouter
{
public:
    using OVUpdateRouter::OVUpdateRouter;
    QCoro::Task<ValidateReturn> run();
};
