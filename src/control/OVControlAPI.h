#pragma once

#include "OVControl.h"

// The RouterOS API back-end: deciphers the password, runs one exchange through a fresh
// OVRouterOS client off the main thread and turns the reply rows into JSON text.
class OVControlAPI : public OVControl
{
public:
    using OVControl::OVControl;
    QCoro::Task<ValidateReturn> makeCall(OVRequestCommand command) override;
};
