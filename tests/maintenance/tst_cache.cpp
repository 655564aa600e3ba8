#include "maintenance/OVCache.h"
#include "model/ByteCountFormatter.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <memory>

namespace {

// Root reads any folder through two capabilities. While this lives, the calling thread works
// without them in its effective set, so folder permissions stop it like any user; they stay in
// the permitted set and come back at the end.
class WithoutReadOverride
{
public:
    WithoutReadOverride()
    {
        if (::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
        for (const int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
            lowered[capability / 32].effective &= ~(1u << (capability % 32));
        m_active = ::syscall(SYS_capset, &m_header, lowered) == 0;
    }
    ~WithoutReadOverride()
    {
        if (m_active)
            ::syscall(SYS_capset, &m_header, m_saved);
    }
    WithoutReadOverride(const WithoutReadOverride&) = delete;
    WithoutReadOverride& operator=(const WithoutReadOverride&) = delete;

    bool active() const { return m_active; }

private:
    __user_cap_header_struct m_header {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2] {};
    bool m_active = false;
};

} // namespace

class TestOVCache : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void rootFollowsTheUserCachesFolder();
    void cachedNeedsFileAndMarker_data();
    void cachedNeedsFileAndMarker();
    void createDirectoryMakesParentsAndLeavesExisting();
    void purgeEmptiesTheRoot();
    void purgeOfMissingRootLeavesItMissing();
    void sizeCountsAllocatedBlocksOfRegularFiles();
    void sizeOfMissingRootIsUnknown();
    void walkFailsOnUnreadableFolder();

private:
    static void writeFile(const QString& path, const QByteArray& data);
    static quint64 allocated(const QString& path);

    std::unique_ptr<QTemporaryDir> m_home;
    QString m_root;
};

void TestOVCache::initTestCase()
{
    // A private home whose path holds a blank, so the cache root does too (a user name with a
    // blank) and nothing is shared with other tests.
    m_home = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/orvanta cache XXXXXX"));
    QVERIFY(m_home->isValid());
    qputenv("HOME", QFile::encodeName(m_home->path()));
    const std::optional<QString> root = OVCache::cacheDirectory();
    QVERIFY(root.has_value());
    m_root = *root;
    QVERIFY(m_root.contains(QLatin1Char(' ')));
}

void TestOVCache::init()
{
    QDir(m_root).removeRecursively();
    QVERIFY(QDir().mkpath(m_root));
}

void TestOVCache::writeFile(const QString& path, const QByteArray& data)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(data), data.size());
}

quint64 TestOVCache::allocated(const QString& path)
{
    struct stat info
    { };
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return static_cast<quint64>(info.st_blocks) * 512u;
}

void TestOVCache::rootFollowsTheUserCachesFolder()
{
    QCOMPARE(
        m_root, QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/RouterOS"));
    QVERIFY(m_root.startsWith(m_home->path()));
}

void TestOVCache::cachedNeedsFileAndMarker_data()
{
    QTest::addColumn<bool>("package");
    QTest::addColumn<bool>("marker");
    QTest::addColumn<bool>("cached");
    QTest::newRow("neither") << false << false << false;
    QTest::newRow("package without marker") << true << false << false;
    QTest::newRow("marker alone") << false << true << false;
    QTest::newRow("both") << true << true << true;
}

void TestOVCache::cachedNeedsFileAndMarker()
{
    QFETCH(bool, package);
    QFETCH(bool, marker);
    QFETCH(bool, cached);
    const QString path = m_root + QStringLiteral("/7.12/routeros-7.12-arm64.npk");
    if (package)
        writeFile(path, "npk");
    if (marker)
        writeFile(path + QStringLiteral(".finished"), {});
    QCOMPARE(OVCache::isCached(path), cached);
}

void TestOVCache::createDirectoryMakesParentsAndLeavesExisting()
{
    const QString nested = m_root + QStringLiteral("/7.12 beta/deep");
    OVCache::createDirectory(nested);
    QVERIFY(QFileInfo(nested).isDir());

    // Something already there, even a file, is left alone.
    const QString file = m_root + QStringLiteral("/plain");
    writeFile(file, "keep");
    OVCache::createDirectory(file);
    QVERIFY(QFileInfo(file).isFile());
    QFile check(file);
    QVERIFY(check.open(QIODevice::ReadOnly));
    QCOMPARE(check.readAll(), QByteArray("keep"));

    // A path below a file cannot be made: reported, not thrown.
    OVCache::createDirectory(file + QStringLiteral("/below"));
    QVERIFY(!QFileInfo::exists(file + QStringLiteral("/below")));
}

void TestOVCache::purgeEmptiesTheRoot()
{
    writeFile(m_root + QStringLiteral("/7.12/routeros-7.12-arm64.npk"), QByteArray(10000, 'a'));
    writeFile(m_root + QStringLiteral("/7.12/routeros-7.12-arm64.npk.finished"), {});
    writeFile(m_root + QStringLiteral("/7.13/routeros-7.13-mipsbe.npk"), QByteArray(5000, 'b'));
    writeFile(m_root + QStringLiteral("/.hidden"), "x");
    QVERIFY(OVCache::size() != ByteCountFormatter::fileStyle(0));

    OVCache::purge();
    QVERIFY(QFileInfo(m_root).isDir());
    QVERIFY(QDir(m_root).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
    QCOMPARE(OVCache::size(), ByteCountFormatter::fileStyle(0));
}

void TestOVCache::purgeOfMissingRootLeavesItMissing()
{
    QVERIFY(QDir(m_root).removeRecursively());
    OVCache::purge();
    QVERIFY(!QFileInfo::exists(m_root));
    // Made again by whoever needs it next.
    OVCache::createDirectory(m_root);
    QVERIFY(QFileInfo(m_root).isDir());
}

void TestOVCache::sizeCountsAllocatedBlocksOfRegularFiles()
{
    const QString package = m_root + QStringLiteral("/7.12/routeros-7.12-arm64.npk");
    const QString hidden = m_root + QStringLiteral("/7.12/.partial");
    writeFile(package, QByteArray(123457, 'p'));
    writeFile(hidden, QByteArray(4097, 'h'));
    writeFile(package + QStringLiteral(".finished"), {});

    // A link to a large file outside the cache, and a link to a folder, count as nothing.
    QTemporaryDir outside;
    writeFile(outside.path() + QStringLiteral("/big"), QByteArray(1 << 20, 'o'));
    QVERIFY(QFile::link(outside.path() + QStringLiteral("/big"), m_root + QStringLiteral("/link")));
    QVERIFY(QFile::link(outside.path(), m_root + QStringLiteral("/folderlink")));

    const quint64 expected = allocated(package) + allocated(hidden);
    QVERIFY(expected >= 123457 + 4097);
    QCOMPARE(OVCache::allocatedSizeOfDirectory(m_root), std::optional<quint64>(expected));
    QCOMPARE(OVCache::size(), ByteCountFormatter::fileStyle(static_cast<qint64>(expected)));
}

void TestOVCache::sizeOfMissingRootIsUnknown()
{
    QVERIFY(QDir(m_root).removeRecursively());
    QCOMPARE(OVCache::allocatedSizeOfDirectory(m_root), std::nullopt);
    QCOMPARE(OVCache::size(), QStringLiteral("Unknown"));

    // A root that is a file is not a folder to walk.
    writeFile(m_root, "not a folder");
    QCOMPARE(OVCache::size(), QStringLiteral("Unknown"));
    QVERIFY(QFile::remove(m_root));
}

void TestOVCache::walkFailsOnUnreadableFolder()
{
    const QString locked = m_root + QStringLiteral("/locked");
    writeFile(locked + QStringLiteral("/file"), "x");
    QVERIFY(QFile::setPermissions(locked, QFileDevice::WriteOwner));
    std::optional<quint64> size;
    {
        // CI runs as root: take away what lets root read past the permissions.
        const WithoutReadOverride asUser;
        QVERIFY(::geteuid() != 0 || asUser.active());
        size = OVCache::allocatedSizeOfDirectory(m_root);
    }
    QVERIFY(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    QCOMPARE(size, std::nullopt);
}

ORVANTA_TEST_MAIN(TestOVCache)
#include "tst_cache.moc"
