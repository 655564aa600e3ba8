#pragma once

#include "control/ValidateReturn.h"

#include <QString>

#include <utility>

// Router passwords at rest: AES-128-CBC with PKCS#7 padding, key and IV being two 16-character
// random texts kept in the keychain (service "Orvanta", items "orvanta_key" and "orvanta_iv").
// The stored form is standard Base64 of the cipher text. The keychain is reached synchronously:
// call these on the main thread.
namespace Secrets {
// `length` characters drawn uniformly from the 78-character alphabet with the system's
// cryptographic random source.
QString randomString(int length);
// The item's text, made and stored first when missing. A refused store stops the application.
QString initEnc(const QString& name);
// (iv, key), read afresh every time.
std::pair<QString, QString> loadKeys();
QString encrypt(const QString& password);
// Always success; `response` is the clear text, or "Could not decrypt" when it cannot be read.
ValidateReturn decrypt(const QString& stored);
} // namespace Secrets
