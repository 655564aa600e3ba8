#include "Validate.h"

#include "PersistenceController.h"

#include <algorithm>

namespace {

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

ValidateReturn Validate::port(const QString& text)
{
    if (text.isEmpty())
        return ValidateReturn::failure(QStringLiteral("Enter the port number"));
    if (text.startsWith(QLatin1Char('0')))
        return ValidateReturn::failure(QStringLiteral("Cannot start with 0"));
    // At most five digits, so that the value cannot overflow before the range check.
    if (text.size() <= 5 && std::all_of(text.cbegin(), text.cend(), isAsciiDigit)) {
        const int value = text.toInt();
        if (value >= 1 && value <= 65535)
            return ValidateReturn::ok(QStringLiteral("Port is valid"));
    }
    return ValidateReturn::failure(QStringLiteral("Valid range is 1-65535"));
}

ValidateReturn Validate::address(const QString& address, int allowed)
{
    if (PersistenceController::shared().devicesWithAddress(address).size() > allowed)
        return ValidateReturn::failure(QStringLiteral("Address already exists"));
    return ValidateReturn::ok();
}

QString Validate::digitsOnly(const QString& text)
{
    if (text == QLatin1String("0"))
        return {};
    QString digits;
    digits.reserve(text.size());
    for (const QChar c : text) {
        if (isAsciiDigit(c))
            digits.append(c);
    }
    return digits;
}
