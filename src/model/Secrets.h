#pragma once

#include "control/ValidateReturn.h"

#include <QCoroTask>
#include <QString>

#include <utility>

// Router passwords at rest: AES-128-CBC with PKCS#7 padding, key and IV being two 16-character
// random texts kept in the keychain (service "Orvanta", items "orvanta_key" and "orvanta_iv").
// The stored form is standard Base64 of the cipher text. The keychain is awaited, never waited
// for: call these on the main thread and co_await them.
namespace Secrets {
// `length` characters drawn uniformly from the 78-character alphabet with the system's
// cryptographic random source.
QString randomString(int length);
// (iv, key), read afresh from the keychain by every call; an item that is missing is made first.
// A call made while another one is waiting for the keychain shares that one's answer, so the
// items are made once however many calls overlap. A keychain that cannot be read, or refuses a
// new item, stops the application.
QCoro::Task<std::pair<QString, QString>> loadKeys();
QCoro::Task<QString> encrypt(QString password);
// Always success; `response` is the clear text, or "Could not decrypt" when it cannot be read.
QCoro::Task<ValidateReturn> decrypt(QString stored);
} // namespace Secrets
