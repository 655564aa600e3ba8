#pragma once

#include "OVControl.h"

// The REST back-end: one HTTPS request with basic authentication to "/rest" + the command path,
// on a QNetworkAccessManager made for this call (returned as the result's `session`).
class OVControlRest : public OVControl
{
public:
    using OVControl::OVControl;
    QCoro::Task<ValidateReturn> makeCall(OVRequestCommand command) override;

    // The time-out setting in milliseconds, for both the silence between bytes and the whole
    // exchange: "", "0" and text that is not a positive number of seconds give 10 s.
    static int timeoutMilliseconds(const QString& timeout);
};
