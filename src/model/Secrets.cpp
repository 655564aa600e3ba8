#include "Secrets.h"

#include <QByteArray>
#include <QDir>
#include <QEventLoop>
#include <QLockFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTimer>

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <qt6keychain/keychain.h>

#include <cstdio>
#include <memory>

namespace {

const QString keychainService = QStringLiteral("Orvanta");
const QString ivItem = QStringLiteral("orvanta_iv");
const QString keyItem = QStringLiteral("orvanta_key");
const QString couldNotDecrypt = QStringLiteral("Could not decrypt");

// The alphabet of the key and IV texts. Stored items were made from it, so it must not change.
constexpr char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ!@#$%&()0123456789,.-;:_'*";
constexpr int alphabetSize = sizeof(alphabet) - 1;
static_assert(alphabetSize == 78);

// Long enough for a desktop keyring to ask the user to unlock it.
constexpr int keychainTimeoutMs = 120000;

void printLine(const QString& line)
{
    std::fputs(line.toUtf8().append('\n').constData(), stdout);
    std::fflush(stdout);
}

struct KeychainResult
{
    QKeychain::Error error = QKeychain::OtherError;
    QString text;
};

// The one place where the keychain is waited for synchronously: the job runs in a local event
// loop with a bound. A job that outlives the bound deletes itself when it finally ends.
KeychainResult runJob(std::unique_ptr<QKeychain::Job> job)
{
    job->setAutoDelete(false);
    job->setInsecureFallback(false);
    QEventLoop loop;
    bool finished = false;
    QObject::connect(job.get(), &QKeychain::Job::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QTimer::singleShot(keychainTimeoutMs, &loop, &QEventLoop::quit);
    job->start();
    if (!finished)
        loop.exec();
    if (!finished) {
        job->disconnect(&loop);
        job->setAutoDelete(true);
        job.release();
        return {};
    }
    KeychainResult result {job->error(), {}};
    if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(job.get()))
        result.text = read->textData();
    return result;
}

[[noreturn]] void keychainFailure(const QString& name, QKeychain::Error code)
{
    qFatal("Orvanta failed Secrets.initEnc for %s with keychain result code %d", qPrintable(name), int(code));
}

struct CipherContextDeleter
{
    void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextDeleter>;

// AES-128-CBC with PKCS#7 padding; nullopt when the input cannot be processed (wrong key or IV
// size, a cipher text that is not whole blocks, bad padding).
std::optional<QByteArray> aes128cbc(bool encipher, const QByteArray& key, const QByteArray& iv, const QByteArray& in)
{
    if (key.size() != 16 || iv.size() != 16)
        return std::nullopt;
    CipherContext context(EVP_CIPHER_CTX_new());
    if (!context)
        return std::nullopt;
    const auto* keyBytes = reinterpret_cast<const unsigned char*>(key.constData());
    const auto* ivBytes = reinterpret_cast<const unsigned char*>(iv.constData());
    if (EVP_CipherInit_ex(context.get(), EVP_aes_128_cbc(), nullptr, keyBytes, ivBytes, encipher ? 1 : 0) != 1)
        return std::nullopt;
    QByteArray out(in.size() + 16, Qt::Uninitialized);
    auto* outBytes = reinterpret_cast<unsigned char*>(out.data());
    int written = 0;
    if (EVP_CipherUpdate(
            context.get(), outBytes, &written, reinterpret_cast<const unsigned char*>(in.constData()), int(in.size()))
        != 1)
        return std::nullopt;
    int last = 0;
    if (EVP_CipherFinal_ex(context.get(), outBytes + written, &last) != 1)
        return std::nullopt;
    out.truncate(written + last);
    return out;
}

KeychainResult readItem(const QString& name)
{
    auto read = std::make_unique<QKeychain::ReadPasswordJob>(keychainService);
    read->setKey(name);
    return runJob(std::move(read));
}

QString lockFilePath()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + QStringLiteral("/orvanta-keychain.lock");
}

} // namespace

namespace Secrets {

QString randomString(int length)
{
    QString result;
    result.reserve(qMax(length, 0));
    // Bytes at or above the largest multiple of the alphabet size are dropped so that every
    // character is equally likely.
    constexpr int limit = 256 - (256 % alphabetSize);
    unsigned char buffer[64];
    while (result.size() < length) {
        if (RAND_bytes(buffer, sizeof(buffer)) != 1)
            qFatal("Secrets.randomString: the system's random source failed");
        for (const unsigned char byte : buffer) {
            if (byte >= limit)
                continue;
            result.append(QLatin1Char(alphabet[byte % alphabetSize]));
            if (result.size() == length)
                break;
        }
    }
    return result;
}

QString initEnc(const QString& name)
{
    const KeychainResult found = readItem(name);
    if (found.error == QKeychain::NoError)
        return found.text;
    // Only a missing item may be made anew: replacing an item that merely could not be read
    // would make every stored password unreadable.
    if (found.error != QKeychain::EntryNotFound)
        keychainFailure(name, found.error);

    // Two processes making the same item at once would each encipher with a key that the other
    // then overwrites; whoever comes second must take the first one's value instead.
    QLockFile lock(lockFilePath());
    lock.tryLock(keychainTimeoutMs);
    const KeychainResult again = readItem(name);
    if (again.error == QKeychain::NoError)
        return again.text;
    if (again.error != QKeychain::EntryNotFound)
        keychainFailure(name, again.error);

    printLine(QStringLiteral("Info: ") + name + QStringLiteral(" does not exist, creating..."));
    const QString value = randomString(16);
    auto write = std::make_unique<QKeychain::WritePasswordJob>(keychainService);
    write->setKey(name);
    write->setTextData(value);
    const KeychainResult stored = runJob(std::move(write));
    if (stored.error != QKeychain::NoError)
        keychainFailure(name, stored.error);
    return value;
}

std::pair<QString, QString> loadKeys()
{
    QString iv = initEnc(ivItem);
    QString key = initEnc(keyItem);
    return {std::move(iv), std::move(key)};
}

QString encrypt(const QString& password)
{
    const auto [iv, key] = loadKeys();
    const auto cipher = aes128cbc(true, key.toUtf8(), iv.toUtf8(), password.toUtf8());
    if (!cipher)
        qFatal("Secrets.encrypt: the keychain items are not 16-byte texts");
    return QString::fromLatin1(cipher->toBase64());
}

ValidateReturn decrypt(const QString& stored)
{
    const auto [iv, key] = loadKeys();
    ValidateReturn result = ValidateReturn::ok();
    result.response = couldNotDecrypt;

    const QByteArray base64 = stored.toLatin1();
    if (base64.size() % 4 != 0 || QString::fromLatin1(base64) != stored)
        return result;
    const auto decoded = QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return result;
    const auto plain = aes128cbc(false, key.toUtf8(), iv.toUtf8(), decoded.decoded);
    if (!plain)
        return result;
    QStringDecoder toUtf16(
        QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QString text = toUtf16(*plain);
    if (toUtf16.hasError())
        return result;
    result.response = text;
    return result;
}

} // namespace Secrets
