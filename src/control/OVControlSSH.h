#pragma once

#include "OVControl.h"

// SSH serves only file transfer (OVNetSFTP); nothing runs a command over it.
class OVControlSSH : public OVControl
{
public:
    using OVControl::OVControl;
    QCoro::Task<ValidateReturn> makeCall(OVRequestCommand command) override;
};
