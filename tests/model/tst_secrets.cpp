#include "model/Secrets.h"
#include "support/TestMain.h"

#include <QCoroTask>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <openssl/evp.h>

#include <cstdio>
#include <memory>

namespace {

const QString alphabet
    = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ!@#$%&()0123456789,.-;:_'*");
constexpr int processTimeoutMs = 60000;

// Enciphers with the stored key and IV, padding optional, so tests can build cipher texts that
// the application itself would never write.
QByteArray rawEncipher(const QByteArray& plain, bool padding)
{
    const auto [iv, key] = QCoro::waitFor(Secrets::loadKeys());
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    EVP_EncryptInit_ex(context.get(), EVP_aes_128_cbc(), nullptr,
        reinterpret_cast<const unsigned char*>(key.toUtf8().constData()),
        reinterpret_cast<const unsigned char*>(iv.toUtf8().constData()));
    EVP_CIPHER_CTX_set_padding(context.get(), padding ? 1 : 0);
    QByteArray out(plain.size() + 16, Qt::Uninitialized);
    int written = 0;
    int last = 0;
    EVP_EncryptUpdate(context.get(), reinterpret_cast<unsigned char*>(out.data()), &written,
        reinterpret_cast<const unsigned char*>(plain.constData()), int(plain.size()));
    EVP_EncryptFinal_ex(context.get(), reinterpret_cast<unsigned char*>(out.data()) + written, &last);
    out.truncate(written + last);
    return out.toBase64();
}

QString selfPath()
{
    return QCoreApplication::applicationFilePath();
}

QString encrypted(const QString& password)
{
    return QCoro::waitFor(Secrets::encrypt(password));
}

QString decrypted(const QString& stored)
{
    return QCoro::waitFor(Secrets::decrypt(stored)).response.value_or(QString());
}

// Calls that overlap on a keychain without items, started ten milliseconds apart so that they
// arrive while the first one reads, holds the lock and writes; a timer ticks throughout.
constexpr int overlappingCalls = 20;

struct OverlapRun
{
    QStringList ciphers = QStringList(overlappingCalls, QString());
    int running = overlappingCalls;
    QElapsedTimer sinceTick;
    qint64 longestPause = 0;
};

QCoro::Task<> verifyOverlap(OverlapRun* run)
{
    int deciphered = 0;
    for (int i = 0; i < overlappingCalls; ++i) {
        const ValidateReturn clear = co_await Secrets::decrypt(run->ciphers[i]);
        if (clear.response == QStringLiteral("pw%1").arg(i))
            ++deciphered;
    }
    std::printf("deciphered %d of %d\n", deciphered, overlappingCalls);
    std::printf("longest pause between ticks: %lld ms\n", qMax(run->longestPause, run->sinceTick.elapsed()));
    std::fflush(stdout);
    QCoreApplication::quit();
}

// Even calls encipher; odd ones decipher a text that is no cipher first, then encipher.
QCoro::Task<> overlappingCall(int index, OverlapRun* run)
{
    if (index % 2 == 1) {
        const ValidateReturn clear = co_await Secrets::decrypt(QStringLiteral("abc"));
        if (clear.response != QStringLiteral("Could not decrypt"))
            std::printf("call %d deciphered \"abc\"\n", index);
    }
    run->ciphers[index] = co_await Secrets::encrypt(QStringLiteral("pw%1").arg(index));
    if (--run->running == 0)
        verifyOverlap(run);
}

int runOverlapping()
{
    OverlapRun run;
    QTimer ticker;
    ticker.setInterval(100);
    QObject::connect(
        &ticker, &QTimer::timeout, [&run] { run.longestPause = qMax(run.longestPause, run.sinceTick.restart()); });
    run.sinceTick.start();
    ticker.start();
    for (int i = 0; i < overlappingCalls; ++i)
        QTimer::singleShot(
            std::chrono::milliseconds(i * 10), Qt::PreciseTimer, [i, &run] { overlappingCall(i, &run); });
    return QCoreApplication::exec();
}

} // namespace

class TestSecrets : public QObject
{
    Q_OBJECT
private slots:
    void randomStringUsesTheAlphabetEvenly();
    void roundTrip_data();
    void roundTrip();
    void undecipherable_data();
    void undecipherable();
    void valueSurvivesIntoTheNextProcess();
    void firstUseCreatesBothItemsOnce();
    void simultaneousFirstUsesAgreeOnTheKeys();
    void overlappingFirstUsesMakeEachItemOnce();
    void unreachableKeychainStopsWithResultCode();

private:
    std::optional<QByteArray> runInFreshKeyring(const QString& program, const QStringList& arguments);
};

void TestSecrets::randomStringUsesTheAlphabetEvenly()
{
    QCOMPARE(Secrets::randomString(0), QString());
    const QString key = Secrets::randomString(16);
    QCOMPARE(key.size(), 16);
    QCOMPARE(key.toUtf8().size(), 16);

    // A modulo draw would make the first 22 characters a third more likely than the rest.
    const int perCharacter = 1000;
    const QString sample = Secrets::randomString(alphabet.size() * perCharacter);
    QHash<QChar, int> counts;
    for (const QChar c : sample) {
        QVERIFY2(alphabet.contains(c), qPrintable(QStringLiteral("unexpected character %1").arg(c)));
        ++counts[c];
    }
    QCOMPARE(counts.size(), alphabet.size());
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        QVERIFY2(it.value() > perCharacter * 85 / 100 && it.value() < perCharacter * 115 / 100,
            qPrintable(QStringLiteral("%1 drawn %2 times").arg(it.key()).arg(it.value())));
    }
}

void TestSecrets::roundTrip_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("storedLength");
    QTest::newRow("empty") << QString() << 24;
    QTest::newRow("ascii") << QStringLiteral("secret") << 24;
    QTest::newRow("one whole block") << QStringLiteral("0123456789abcdef") << 44;
    QTest::newRow("multi-byte utf-8") << QStringLiteral("pässwörd ключ 密码 🔑") << 44;
    QTest::newRow("long") << QString(QStringLiteral("Long!Pass-")).repeated(100) << 1344;
}

void TestSecrets::roundTrip()
{
    QFETCH(QString, password);
    QFETCH(int, storedLength);
    const QString stored = encrypted(password);
    QCOMPARE(stored.size(), storedLength);
    QVERIFY(QByteArray::fromBase64Encoding(stored.toLatin1(), QByteArray::AbortOnBase64DecodingErrors));
    QVERIFY(stored != password);

    const ValidateReturn clear = QCoro::waitFor(Secrets::decrypt(stored));
    QVERIFY(clear.success);
    QCOMPARE(clear.message, QString());
    QCOMPARE(clear.response, std::optional<QString>(password));
    QVERIFY(!clear.session);
}

void TestSecrets::undecipherable_data()
{
    QTest::addColumn<QString>("stored");
    QTest::newRow("not base64") << QStringLiteral("abc");
    QTest::newRow("empty") << QString();
    QTest::newRow("not whole blocks") << QStringLiteral("AAAA");
    QTest::newRow("line break") << encrypted(QStringLiteral("x")).insert(4, QLatin1Char('\n'));
    QTest::newRow("missing padding") << encrypted(QStringLiteral("x")).remove(QLatin1Char('='));
    QTest::newRow("bad padding") << QString::fromLatin1(rawEncipher(QByteArray(16, '\0'), false));
    QTest::newRow("not utf-8") << QString::fromLatin1(rawEncipher("\xff\xfe\x80", true));
}

void TestSecrets::undecipherable()
{
    QFETCH(QString, stored);
    const ValidateReturn clear = QCoro::waitFor(Secrets::decrypt(stored));
    QVERIFY(clear.success);
    QCOMPARE(clear.message, QString());
    QCOMPARE(clear.response, std::optional<QString>(QStringLiteral("Could not decrypt")));
}

void TestSecrets::valueSurvivesIntoTheNextProcess()
{
    const QString password = QStringLiteral("näxt-prøcess");
    const QString stored = encrypted(password);
    QProcess child;
    child.start(selfPath(), {QStringLiteral("--decrypt"), stored});
    QVERIFY(child.waitForFinished(processTimeoutMs));
    QCOMPARE(child.exitCode(), 0);
    // The items exist already, so the child prints nothing but the clear text.
    QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()), password + QLatin1Char('\n'));
}

// Runs `program` with `arguments` in a D-Bus session and keyring of their own, so that the items
// are certainly missing at first and other tests sharing the session keyring are not disturbed.
// Empty when the keyring helper is not at hand.
std::optional<QByteArray> TestSecrets::runInFreshKeyring(const QString& program, const QStringList& arguments)
{
    const QString withKeyring
        = qEnvironmentVariable("ORVANTA_TEST_DATA") + QStringLiteral("/../scripts/with-keyring.sh");
    if (!QFile::exists(withKeyring))
        return std::nullopt;
    QTemporaryDir home;
    for (const char* dir : {"data", "config", "cache", "runtime"})
        QDir(home.path()).mkpath(QString::fromLatin1(dir));
    QFile::setPermissions(
        home.filePath(QStringLiteral("runtime")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    env.remove(QStringLiteral("GNOME_KEYRING_CONTROL"));
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(QStringLiteral("dbus-run-session"),
        QStringList {QStringLiteral("--"), QStringLiteral("bash"), withKeyring, program} + arguments);
    if (!child.waitForFinished(processTimeoutMs) || child.exitCode() != 0)
        return QByteArray("failed: ") + child.readAllStandardError();
    return child.readAllStandardOutput();
}

void TestSecrets::firstUseCreatesBothItemsOnce()
{
    const auto output = runInFreshKeyring(selfPath(), {QStringLiteral("--first-use")});
    if (!output)
        QSKIP("runs only through the test script, which provides the keyring helper");
    QCOMPARE(QString::fromUtf8(*output),
        QStringLiteral("Info: orvanta_iv does not exist, creating...\n"
                       "Info: orvanta_key does not exist, creating...\n"
                       "-- later --\n"
                       "first\n"
                       "second\n"));
}

void TestSecrets::simultaneousFirstUsesAgreeOnTheKeys()
{
    // Twelve processes start enciphering at once on a keychain without items; every value must
    // still decipher afterwards.
    const QString script
        = QStringLiteral("for i in $(seq 1 12); do \"$0\" --encrypt \"pw$i\" > \"$1/out$i\" & done; wait; "
                         "for i in $(seq 1 12); do \"$0\" --decrypt \"$(tail -n 1 \"$1/out$i\")\"; done");
    QString expected;
    for (int i = 1; i <= 12; ++i)
        expected += QStringLiteral("pw%1\n").arg(i);
    QTemporaryDir outputs;
    const auto output
        = runInFreshKeyring(QStringLiteral("bash"), {QStringLiteral("-c"), script, selfPath(), outputs.path()});
    if (!output)
        QSKIP("runs only through the test script, which provides the keyring helper");
    QCOMPARE(QString::fromUtf8(*output), expected);
}

void TestSecrets::overlappingFirstUsesMakeEachItemOnce()
{
    const auto output = runInFreshKeyring(selfPath(), {QStringLiteral("--overlapping")});
    if (!output)
        QSKIP("runs only through the test script, which provides the keyring helper");
    const QString text = QString::fromUtf8(*output);
    QVERIFY2(!text.startsWith(QStringLiteral("failed: ")), qPrintable(text));
    QCOMPARE(text.count(QStringLiteral("Info: orvanta_iv does not exist, creating...\n")), 1);
    QCOMPARE(text.count(QStringLiteral("Info: orvanta_key does not exist, creating...\n")), 1);
    QCOMPARE(text.count(QStringLiteral("Info: ")), 2);
    QVERIFY2(text.contains(QStringLiteral("deciphered 20 of 20\n")), qPrintable(text));
    QVERIFY2(!text.contains(QStringLiteral("call ")), qPrintable(text));
    const QRegularExpressionMatch pause
        = QRegularExpression(QStringLiteral("longest pause between ticks: (\\d+) ms")).match(text);
    QVERIFY2(pause.hasMatch(), qPrintable(text));
    // The timer asks for 100 ms; a busy machine may add to that, a blocked thread adds seconds.
    QVERIFY2(pause.captured(1).toInt() < 3000, qPrintable(text));
}

void TestSecrets::unreachableKeychainStopsWithResultCode()
{
    // Without a keychain nothing can be read or made; the application must stop rather than
    // carry on with keys it could never store.
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=") + home.filePath("no-bus"));
    env.insert(QStringLiteral("HOME"), home.path());
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(selfPath(), {QStringLiteral("--decrypt"), QStringLiteral("abc")});
    QVERIFY(child.waitForFinished(processTimeoutMs));
    QVERIFY(child.exitStatus() == QProcess::CrashExit || child.exitCode() != 0);
    QCOMPARE(child.readAllStandardOutput(), QByteArray());
    const QString errors = QString::fromUtf8(child.readAllStandardError());
    QVERIFY2(errors.contains(QRegularExpression(
                 QStringLiteral("Orvanta failed Secrets.initEnc for orvanta_iv with keychain result code -?\\d+"))),
        qPrintable(errors));
}

// The test binary doubles as the second process of the keychain tests.
int main(int argc, char* argv[])
{
    QStandardPaths::setTestModeEnabled(true);
    const QStringList args = [&] {
        QStringList list;
        for (int i = 0; i < argc; ++i)
            list << QString::fromLocal8Bit(argv[i]);
        return list;
    }();
    const QStringList modes {QStringLiteral("--decrypt"), QStringLiteral("--encrypt"), QStringLiteral("--first-use"),
        QStringLiteral("--overlapping")};
    if (args.size() >= 2 && modes.contains(args[1])) {
        QCoreApplication app(argc, argv);
        if (args[1] == QLatin1String("--encrypt")) {
            std::puts(encrypted(args.value(2)).toUtf8().constData());
        } else if (args[1] == QLatin1String("--decrypt")) {
            std::puts(decrypted(args.value(2)).toUtf8().constData());
        } else if (args[1] == QLatin1String("--overlapping")) {
            return runOverlapping();
        } else {
            const QString first = encrypted(QStringLiteral("first"));
            std::puts("-- later --");
            std::fflush(stdout);
            std::puts(decrypted(first).toUtf8().constData());
            std::puts(decrypted(encrypted(QStringLiteral("second"))).toUtf8().constData());
        }
        std::fflush(stdout);
        return 0;
    }
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Orvanta"));
    QCoreApplication::setApplicationName(QStringLiteral("Orvanta"));
    TestSecrets tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_secrets.moc"
