#pragma once

#include "OVControl.h"

// The REST back-end: one HTTPS request with basic authentication to "/rest" + the command path,
// in a session made for this call (returned as the result's `session`). The exchange runs on a
// router I/O thread and never follows a redirect.
class OVControlRest : public OVControl
{
public:
    using OVControl::OVControl;
    QCoro::Task<ValidateReturn> makeCall(OVRequestCommand command) override;

    // The time-out setting in milliseconds, the bound on the whole exchange: "", "0" and text
    // that is not a positive number of seconds give 10 s.
    static int timeoutMilliseconds(const QString& timeout);
};
