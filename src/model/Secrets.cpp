#include "Secrets.h"

#include <QByteArray>
#include <QCoroFuture>
#include <QCoroSignal>
#include <QCoroTimer>
#include <QDeadlineTimer>
#include <QDir>
#include <QFuture>
#include <QLockFile>
#include <QPromise>
#include <QStandardPaths>
#include <QStringDecoder>

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <qt6keychain/keychain.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>

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
// How often a lock that another process holds is tried again.
constexpr std::chrono::milliseconds lockPollInterval(25);

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

// A job is done with once its finished signal has been delivered; it goes on the next turn of the
// event loop rather than inside the delivery.
struct DeleteLater
{
    void operator()(QObject* object) const { object->deleteLater(); }
};
using KeychainJob = std::unique_ptr<QKeychain::Job, DeleteLater>;

// Runs one job, suspending until it ends or the bound passes. A job that outlives the bound
// deletes itself when it finally ends.
QCoro::Task<KeychainResult> runJob(KeychainJob job)
{
    job->setAutoDelete(false);
    job->setInsecureFallback(false);
    // Connected before the job starts, so that its end cannot be missed.
    auto finished = qCoro(job.get(), &QKeychain::Job::finished, std::chrono::milliseconds(keychainTimeoutMs));
    job->start();
    if (!(co_await std::move(finished))) {
        job->setAutoDelete(true);
        job.release();
        co_return KeychainResult {};
    }
    KeychainResult result {job->error(), {}};
    if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(job.get()))
        result.text = read->textData();
    co_return result;
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

QCoro::Task<KeychainResult> readItem(const QString& name)
{
    auto* read = new QKeychain::ReadPasswordJob(keychainService);
    read->setKey(name);
    return runJob(KeychainJob(read));
}

QString lockFilePath()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + QStringLiteral("/orvanta-keychain.lock");
}

// The item's text, made and stored first when missing. A refused store stops the application.
QCoro::Task<QString> initEnc(QString name)
{
    const KeychainResult found = co_await readItem(name);
    if (found.error == QKeychain::NoError)
        co_return found.text;
    // Only a missing item may be made anew: replacing an item that merely could not be read
    // would make every stored password unreadable.
    if (found.error != QKeychain::EntryNotFound)
        keychainFailure(name, found.error);

    // Two processes making the same item at once would each encipher with a key that the other
    // then overwrites; whoever comes second must take the first one's value instead. The other
    // process may hold the lock while its user answers an unlock prompt, so it is polled for
    // rather than waited on. Past the bound the item is made anyway: a process that hangs with
    // the lock must not keep this one from ever starting.
    QLockFile lock(lockFilePath());
    const QDeadlineTimer lockDeadline(keychainTimeoutMs);
    while (!lock.tryLock(0) && !lockDeadline.hasExpired())
        co_await QCoro::sleepFor(lockPollInterval);
    const KeychainResult again = co_await readItem(name);
    if (again.error == QKeychain::NoError)
        co_return again.text;
    if (again.error != QKeychain::EntryNotFound)
        keychainFailure(name, again.error);

    printLine(QStringLiteral("Info: ") + name + QStringLiteral(" does not exist, creating..."));
    const QString value = Secrets::randomString(16);
    auto* write = new QKeychain::WritePasswordJob(keychainService);
    write->setKey(name);
    write->setTextData(value);
    const KeychainResult stored = co_await runJob(KeychainJob(write));
    if (stored.error != QKeychain::NoError)
        keychainFailure(name, stored.error);
    co_return value;
}

using Keys = std::pair<QString, QString>;

// The load that is waiting for the keychain right now, if any. It is dropped the moment it has
// its answer: nothing read from the keychain outlives the calls that were waiting for it.
std::optional<QFuture<Keys>>& pendingLoad()
{
    static std::optional<QFuture<Keys>> pending;
    return pending;
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

QCoro::Task<std::pair<QString, QString>> loadKeys()
{
    std::optional<QFuture<Keys>>& pending = pendingLoad();
    if (pending) {
        QFuture<Keys> shared = *pending;
        co_return co_await shared;
    }
    QPromise<Keys> promise;
    pending = promise.future();
    promise.start();
    QString iv = co_await initEnc(ivItem);
    QString key = co_await initEnc(keyItem);
    Keys keys {std::move(iv), std::move(key)};
    pending.reset();
    promise.addResult(keys);
    promise.finish();
    co_return keys;
}

QCoro::Task<QString> encrypt(QString password)
{
    const Keys keys = co_await loadKeys();
    const auto& [iv, key] = keys;
    const auto cipher = aes128cbc(true, key.toUtf8(), iv.toUtf8(), password.toUtf8());
    if (!cipher)
        qFatal("Secrets.encrypt: the keychain items are not 16-byte texts");
    co_return QString::fromLatin1(cipher->toBase64());
}

QCoro::Task<ValidateReturn> decrypt(QString stored)
{
    const Keys keys = co_await loadKeys();
    const auto& [iv, key] = keys;
    ValidateReturn result = ValidateReturn::ok();
    result.response = couldNotDecrypt;

    const QByteArray base64 = stored.toLatin1();
    if (base64.size() % 4 != 0 || QString::fromLatin1(base64) != stored)
        co_return result;
    const auto decoded = QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        co_return result;
    const auto plain = aes128cbc(false, key.toUtf8(), iv.toUtf8(), decoded.decoded);
    if (!plain)
        co_return result;
    QStringDecoder toUtf16(
        QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QString text = toUtf16(*plain);
    if (toUtf16.hasError())
        co_return result;
    result.response = text;
    co_return result;
}

} // namespace Secrets
