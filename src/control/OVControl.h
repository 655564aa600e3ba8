#pragma once

#include "OVRequestCommand.h"
#include "ValidateReturn.h"

#include <QCoroTask>
#include <QString>

#include <memory>

class Device;

// A back-end that carries one command to one router. Made for one call (or one short run of
// calls) from the device's connection values and the two network settings, then dropped.
// Keep the object alive until the awaited makeCall() has finished.
class OVControl
{
public:
    // Copies address, username, password (enciphered), port and ssl from the device; an
    // absent text is taken as the empty text. Must run on the main thread.
    OVControl(bool validSSL, QString timeout, const Device& device);
    OVControl(bool validSSL, QString timeout, QString address, QString username, QString password, QString port,
        bool ssl);
    virtual ~OVControl();

    OVControl(const OVControl&) = delete;
    OVControl& operator=(const OVControl&) = delete;

    // Runs one command; never throws. On success `response` holds the reply as JSON text.
    virtual QCoro::Task<ValidateReturn> makeCall(OVRequestCommand command);

    // The REST back-end for exactly "REST", the API back-end for every other value.
    static std::unique_ptr<OVControl> forControlMethod(const QString& controlMethod, bool validSSL, QString timeout,
        const Device& device);
    static std::unique_ptr<OVControl> forControlMethod(const QString& controlMethod, bool validSSL, QString timeout,
        QString address, QString username, QString password, QString port, bool ssl);

    bool validSSL = false;
    QString timeout;
    QString address;
    QString username;
    QString password; // stored form: Base64 of the cipher text
    QString port;
    bool ssl = false;
};
