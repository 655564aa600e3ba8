#pragma once

#include "RestSession.h"

#include <QString>

#include <memory>
#include <optional>

// The common result of input checks, router calls, password deciphering and SFTP access.
// Failures are returned, not thrown: `message` is for the user when `success` is false.
struct ValidateReturn
{
    bool success = false;
    QString message;
    std::optional<QString> response;
    // The HTTP session that carried a REST call; empty for every other result.
    std::shared_ptr<RestSession> session;

    static ValidateReturn ok(const QString& message = {}) { return ValidateReturn {true, message, std::nullopt, {}}; }
    static ValidateReturn failure(const QString& message) { return ValidateReturn {false, message, std::nullopt, {}}; }
};
