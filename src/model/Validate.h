#pragma once

#include "control/ValidateReturn.h"

#include <QString>

// Checks and filters for what the user types into the forms. Main thread only.
class Validate
{
public:
    // "Enter the port number", "Cannot start with 0", "Port is valid" or "Valid range is 1-65535".
    static ValidateReturn port(const QString& text);
    // Fails with "Address already exists" when more than `allowed` stored devices (of the shared
    // store) have exactly this address.
    static ValidateReturn address(const QString& address, int allowed);
    // "0" gives ""; otherwise only the characters "0" to "9" are kept, in order.
    static QString digitsOnly(const QString& text);
};
