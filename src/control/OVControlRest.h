#pragma once

#include "OVControl.h"

// The REST back-end: one HTTPS request with basic authentication to "/rest" + the command path,
// on a QNetworkAccessManager made for this call (returned as the result's `session`).
class OVControlRest : public OVControl
{
public:
    using OVControl::OVControl;
    QCoro::Task<ValidateReturn> makeCall(OVRequestCommand command) override;
};
