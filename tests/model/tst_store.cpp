#include "support/TestMain.h"

#include "model/Device.h"
#include "model/PersistenceController.h"

#include <QDir>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <cstdio>
#include <unistd.h>

#include <memory>

namespace {
// A connection of its own to a store file, as a second program would open it.
class RawConnection
{
public:
    explicit RawConnection(const QString& path)
        : m_name(QStringLiteral("raw-%1").arg(++s_count))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        db.open();
    }
    ~RawConnection()
    {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    QSqlQuery query(const QString& statement)
    {
        QSqlQuery q(QSqlDatabase::database(m_name));
        if (!q.exec(statement))
            qWarning() << "raw query failed:" << statement << q.lastError().text();
        return q;
    }

private:
    static inline int s_count = 0;
    QString m_name;
};

// Every attribute set to a value of its own, one text left empty to tell it apart from absent.
void fillEveryAttribute(Device& d)
{
    d.setAddress(QStringLiteral("192.0.2.1"));
    d.setArch(QStringLiteral("arm64"));
    d.setControlMethod(QStringLiteral("REST"));
    d.setCpuCount(QStringLiteral("4"));
    d.setCpuLoad(QStringLiteral("12"));
    d.setCurrentRouterBOOT(QStringLiteral("7.11"));
    d.setDiskFree(QStringLiteral("939524096"));
    d.setDiskTotal(QStringLiteral("1073741824"));
    d.setError(QStringLiteral(""));
    d.setHealth(QStringLiteral("[\n    {\n        \"name\": \"voltage\"\n    }\n]\n"));
    d.setMemoryFree(QStringLiteral("805306368"));
    d.setMemoryTotal(QStringLiteral("1073741824"));
    d.setModel(QStringLiteral("RB5009UG+S+"));
    d.setPassword(QStringLiteral("q83vEjRWeJBLm3rX8X2zWA=="));
    d.setPort(QStringLiteral("443"));
    d.setSshport(QStringLiteral("22"));
    d.setUpgradeRouterBOOT(QStringLiteral("7.12"));
    d.setUsername(QStringLiteral("admin 'ü' \"quoted\""));
    d.setVersionRouterOS(QStringLiteral("7.12"));
    d.setRebooting(true);
    d.setRefreshing(true);
    d.setShuttingdown(true);
    d.setSsl(true);
    d.setUpgradingRouterBOOT(true);
    d.setUpgradingRouterOS(true);
    d.setLastupdated(QDateTime(QDate(2026, 3, 14), QTime(15, 9, 26, 535), QTimeZone(3600)));
}

void compareEveryAttribute(const Device& a, const Device& b)
{
    QCOMPARE(a.address(), b.address());
    QCOMPARE(a.arch(), b.arch());
    QCOMPARE(a.controlMethod(), b.controlMethod());
    QCOMPARE(a.cpuCount(), b.cpuCount());
    QCOMPARE(a.cpuLoad(), b.cpuLoad());
    QCOMPARE(a.currentRouterBOOT(), b.currentRouterBOOT());
    QCOMPARE(a.diskFree(), b.diskFree());
    QCOMPARE(a.diskTotal(), b.diskTotal());
    QCOMPARE(a.error(), b.error());
    QCOMPARE(a.health(), b.health());
    QCOMPARE(a.memoryFree(), b.memoryFree());
    QCOMPARE(a.memoryTotal(), b.memoryTotal());
    QCOMPARE(a.model(), b.model());
    QCOMPARE(a.password(), b.password());
    QCOMPARE(a.port(), b.port());
    QCOMPARE(a.sshport(), b.sshport());
    QCOMPARE(a.upgradeRouterBOOT(), b.upgradeRouterBOOT());
    QCOMPARE(a.username(), b.username());
    QCOMPARE(a.versionRouterOS(), b.versionRouterOS());
    QCOMPARE(a.rebooting(), b.rebooting());
    QCOMPARE(a.refreshing(), b.refreshing());
    QCOMPARE(a.shuttingdown(), b.shuttingdown());
    QCOMPARE(a.ssl(), b.ssl());
    QCOMPARE(a.upgradingRouterBOOT(), b.upgradingRouterBOOT());
    QCOMPARE(a.upgradingRouterOS(), b.upgradingRouterOS());
    QCOMPARE(a.lastupdated(), b.lastupdated());
}

const char* childEnv = "ORVANTA_STORE_CHILD";

struct ChildOptions
{
    // Run as a user who is not root, so that file modes bind it (the test itself may be root).
    bool plainUser = false;
    QString home; // a home of its own instead of the test's
};
} // namespace

class TestStore : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // Runs this executable's childProcess() with `mode` and `file`; tells whether it failed and what it wrote.
    struct ChildResult
    {
        bool crashedOrFailed;
        QString outputText;
    };
    ChildResult runChild(const QString& mode, const QString& file, const ChildOptions& options = {})
    {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QLatin1String(childEnv), mode + QLatin1Char('|') + file);
        if (!options.home.isEmpty())
            env.insert(QStringLiteral("ORVANTA_TEST_HOME"), options.home);
        child.setProcessEnvironment(env);
        if (options.plainUser && ::geteuid() == 0) {
            child.setChildProcessModifier([] {
                // nobody/nogroup; a failure leaves the child as root and the test then fails.
                if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                    ::_exit(3);
            });
        }
        // The test framework logs a fatal message on standard output, a plain program on standard error.
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("childProcess")});
        if (!child.waitForFinished(30000)) {
            child.kill();
            child.waitForFinished(5000);
            return {true, QStringLiteral("child did not finish")};
        }
        const bool failed = child.exitStatus() == QProcess::CrashExit || child.exitCode() != 0;
        return {failed, QString::fromUtf8(child.readAll())};
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // Helper run in a child process by the tests below (they set the environment).
    void childProcess()
    {
        const QString order = qEnvironmentVariable(childEnv);
        if (order.isEmpty())
            QSKIP("runs only as a child of the process tests");
        const QString mode = order.section(QLatin1Char('|'), 0, 0);
        const QString file = order.section(QLatin1Char('|'), 1);
        if (mode == QLatin1String("write")) {
            PersistenceController store(file);
            fillEveryAttribute(*store.insertDevice());
            QVERIFY(store.save());
        } else if (mode == QLatin1String("open")) {
            PersistenceController store(file);
        } else if (mode == QLatin1String("shared")) {
            std::printf("store:%s\n", qPrintable(PersistenceController::shared().databasePath()));
            std::fflush(stdout);
        } else if (mode == QLatin1String("saveOrDie")) {
            PersistenceController store(file);
            store.insertDevice()->setAddress(QStringLiteral("refused"));
            store.saveOrDie(QStringLiteral("Device.refreshDevice.save: Unresolved error "));
        }
    }

    void newDeviceIsBlank()
    {
        PersistenceController store(path(QStringLiteral("blank.sqlite")));
        Device* d = store.insertDevice();
        QVERIFY(!d->address() && !d->arch() && !d->controlMethod() && !d->error() && !d->health() && !d->password());
        QVERIFY(!d->lastupdated());
        QVERIFY(!d->rebooting() && !d->refreshing() && !d->shuttingdown() && !d->ssl());
        QVERIFY(!d->upgradingRouterBOOT() && !d->upgradingRouterOS());
        QVERIFY(!d->refreshTask());
        QCOMPARE(d->dateAsString(), QStringLiteral("Never"));
        QVERIFY(store.hasChanges());
    }

    void reopenGivesEveryAttributeBack()
    {
        const QString file = path(QStringLiteral("roundtrip.sqlite"));
        {
            PersistenceController store(file);
            fillEveryAttribute(*store.insertDevice());
            store.insertDevice(); // all absent and false
            QVERIFY(store.save());
            QVERIFY(!store.hasChanges());
        }
        PersistenceController reopened(file);
        QCOMPARE(reopened.devices().size(), 2);
        PersistenceController expected(path(QStringLiteral("expected.sqlite")));
        Device* full = expected.insertDevice();
        fillEveryAttribute(*full);
        compareEveryAttribute(*reopened.devices().at(0), *full);
        compareEveryAttribute(*reopened.devices().at(1), *expected.insertDevice());
        // Empty and absent stay apart.
        QCOMPARE(reopened.devices().at(0)->error(), std::optional<QString>(QString()));
        QVERIFY(!reopened.devices().at(1)->error());
        QVERIFY(!reopened.hasChanges());
        QVERIFY(!reopened.devices().at(0)->refreshTask());
        QVERIFY(reopened.devices().at(0)->dateAsString() != QLatin1String("Never"));
    }

    void survivesARestartOfTheProcess()
    {
        const QString file = path(QStringLiteral("restart.sqlite"));
        const ChildResult child = runChild(QStringLiteral("write"), file);
        QVERIFY2(!child.crashedOrFailed, qPrintable(child.outputText));
        PersistenceController store(file);
        QCOMPARE(store.devices().size(), 1);
        PersistenceController expected(path(QStringLiteral("restart-expected.sqlite")));
        Device* full = expected.insertDevice();
        fillEveryAttribute(*full);
        compareEveryAttribute(*store.devices().constFirst(), *full);
    }

    void fileLayoutKeepsAbsentAsNullAndCarriesSchemaVersion()
    {
        const QString file = path(QStringLiteral("layout.sqlite"));
        {
            PersistenceController store(file);
            Device* d = store.insertDevice();
            d->setAddress(QStringLiteral("10.0.0.1"));
            d->setSsl(true);
            QVERIFY(store.save());
        }
        RawConnection raw(file);
        QSqlQuery version = raw.query(QStringLiteral("PRAGMA user_version"));
        QVERIFY(version.next());
        QCOMPARE(version.value(0).toInt(), 1);
        QSqlQuery row = raw.query(QStringLiteral("SELECT address, model, ssl, refreshing, lastupdated FROM Device"));
        QVERIFY(row.next());
        QCOMPARE(row.value(0).toString(), QStringLiteral("10.0.0.1"));
        QVERIFY(row.isNull(1));
        QCOMPARE(row.value(2).toInt(), 1);
        QCOMPARE(row.value(3).toInt(), 0);
        QVERIFY(row.isNull(4));
    }

    void settersSignalOnlyRealChanges()
    {
        PersistenceController store(path(QStringLiteral("signals.sqlite")));
        Device* d = store.insertDevice();
        d->setModel(QStringLiteral("hEX"));
        QVERIFY(store.save());

        QSignalSpy changed(d, &Device::changed);
        QSignalSpy relayed(&store, &PersistenceController::deviceChanged);
        d->setModel(QStringLiteral("hEX"));
        d->setSsl(false);
        QCOMPARE(changed.count(), 0);
        QVERIFY(!store.hasChanges());

        d->setModel(QStringLiteral("hEX S"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(relayed.count(), 1);
        QCOMPARE(relayed.at(0).at(0).value<Device*>(), d);
        QVERIFY(store.hasChanges());

        // Going from absent to the empty text is a change too.
        d->setError(QString());
        QCOMPARE(changed.count(), 2);
        d->setError(std::nullopt);
        QCOMPARE(changed.count(), 3);
    }

    void onlyChangedDevicesAreWritten()
    {
        const QString file = path(QStringLiteral("partial.sqlite"));
        {
            PersistenceController store(file);
            store.insertDevice()->setAddress(QStringLiteral("a"));
            store.insertDevice()->setAddress(QStringLiteral("b"));
            QVERIFY(store.save());
        }
        {
            PersistenceController store(file);
            // Another program changes "a" behind this one's back; a save of "b" must not undo it.
            RawConnection raw(file);
            raw.query(QStringLiteral("UPDATE Device SET model = 'outside' WHERE address = 'a'"));
            store.devices().at(1)->setModel(QStringLiteral("inside"));
            QVERIFY(store.save());
        }
        PersistenceController store(file);
        QCOMPARE(store.devices().at(0)->model(), std::optional<QString>(QStringLiteral("outside")));
        QCOMPARE(store.devices().at(1)->model(), std::optional<QString>(QStringLiteral("inside")));
    }

    void deleteHidesAtOnceAndDestroysAfterSave()
    {
        const QString file = path(QStringLiteral("delete.sqlite"));
        {
            PersistenceController store(file);
            store.insertDevice()->setAddress(QStringLiteral("keep"));
            store.insertDevice()->setAddress(QStringLiteral("drop"));
            QVERIFY(store.save());
        }
        PersistenceController store(file);
        QPointer<Device> drop = store.devicesWithAddress(QStringLiteral("drop")).value(0);
        QVERIFY(drop);
        QSignalSpy removed(&store, &PersistenceController::deviceRemoved);
        store.deleteDevice(drop);
        QCOMPARE(removed.count(), 1);
        QVERIFY(drop->isDeleted());
        QCOMPARE(store.devices().size(), 1);
        QVERIFY(store.devicesWithAddress(QStringLiteral("drop")).isEmpty());
        QVERIFY(store.hasChanges());
        store.deleteDevice(drop); // a second delete is ignored
        QCOMPARE(removed.count(), 1);

        // A device inserted and deleted before any save never reaches the file.
        QPointer<Device> fleeting = store.insertDevice();
        fleeting->setAddress(QStringLiteral("fleeting"));
        store.deleteDevice(fleeting);

        QVERIFY(drop); // still alive until the save
        QVERIFY(store.save());
        QTRY_VERIFY_WITH_TIMEOUT(!drop && !fleeting, 5000);

        PersistenceController reopened(file);
        QCOMPARE(reopened.devices().size(), 1);
        QCOMPARE(reopened.devices().at(0)->address(), std::optional<QString>(QStringLiteral("keep")));
    }

    void twoDevicesWithOneAddress()
    {
        const QString file = path(QStringLiteral("twins.sqlite"));
        {
            PersistenceController store(file);
            store.insertDevice()->setAddress(QStringLiteral("Router"));
            store.insertDevice()->setAddress(QStringLiteral("Router"));
            store.insertDevice()->setAddress(QStringLiteral("router"));
            QVERIFY(store.save());
        }
        PersistenceController store(file);
        QCOMPARE(store.devices().size(), 3);
        QCOMPARE(store.devicesWithAddress(QStringLiteral("Router")).size(), 2);
        QCOMPARE(store.devicesWithAddress(QStringLiteral("router")).size(), 1);
        QCOMPARE(store.devicesWithAddress(QStringLiteral("Router ")).size(), 0);

        // Deleting one twin leaves the other.
        store.deleteDevice(store.devicesWithAddress(QStringLiteral("Router")).at(0));
        QVERIFY(store.save());
        PersistenceController reopened(file);
        QCOMPARE(reopened.devicesWithAddress(QStringLiteral("Router")).size(), 1);
    }

    void failedSaveWritesNothingAndCanBeRetried()
    {
        const QString file = path(QStringLiteral("rollback.sqlite"));
        {
            PersistenceController store(file);
            store.insertDevice()->setAddress(QStringLiteral("a"));
            store.insertDevice()->setAddress(QStringLiteral("b"));
            QVERIFY(store.save());
        }
        RawConnection raw(file);
        raw.query(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON Device WHEN NEW.address = 'refused' "
                                 "BEGIN SELECT RAISE(ABORT, 'refused by trigger'); END"));

        PersistenceController store(file);
        Device* a = store.devicesWithAddress(QStringLiteral("a")).at(0);
        QPointer<Device> b = store.devicesWithAddress(QStringLiteral("b")).at(0);
        a->setModel(QStringLiteral("changed"));
        store.deleteDevice(b);
        Device* added = store.insertDevice();
        added->setAddress(QStringLiteral("ok"));
        Device* refused = store.insertDevice();
        refused->setAddress(QStringLiteral("refused"));

        QString error;
        QVERIFY(!store.save(&error));
        QVERIFY2(error.contains(QLatin1String("refused by trigger")), qPrintable(error));
        QVERIFY(store.hasChanges());
        QCOMPARE(added->rowId(), 0);
        QTest::qWait(0);
        QVERIFY(b); // its row is still there, so the object stays

        {
            PersistenceController onDisk(file);
            QCOMPARE(onDisk.devices().size(), 2);
            QVERIFY(!onDisk.devicesWithAddress(QStringLiteral("a")).at(0)->model());
            QCOMPARE(onDisk.devicesWithAddress(QStringLiteral("b")).size(), 1);
            QVERIFY(onDisk.devicesWithAddress(QStringLiteral("ok")).isEmpty());
        }

        raw.query(QStringLiteral("DROP TRIGGER refuse"));
        QVERIFY(store.save(&error));
        QVERIFY(added->rowId() > 0);
        QTRY_VERIFY_WITH_TIMEOUT(!b, 5000);
        PersistenceController onDisk(file);
        QCOMPARE(onDisk.devices().size(), 3);
        QCOMPARE(onDisk.devicesWithAddress(QStringLiteral("a")).at(0)->model(),
            std::optional<QString>(QStringLiteral("changed")));
        QVERIFY(onDisk.devicesWithAddress(QStringLiteral("b")).isEmpty());
    }

    void failuresStopWithTheirMessage_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("expected");
        QTest::newRow("store is a folder") << "open"
                                           << "folder"
                                           << "Unresolved error ";
        QTest::newRow("newer schema") << "open"
                                      << "newer"
                                      << "Unresolved error The store was written by a newer";
        QTest::newRow("failing save") << "saveOrDie"
                                      << "trigger"
                                      << "Device.refreshDevice.save: Unresolved error refused by trigger";
    }

    void failuresStopWithTheirMessage()
    {
        QFETCH(QString, mode);
        QFETCH(QString, setup);
        QFETCH(QString, expected);
        const QString file = path(QStringLiteral("fatal-%1.sqlite").arg(setup));
        if (setup == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(file));
        } else {
            {
                PersistenceController store(file);
            }
            RawConnection raw(file);
            if (setup == QLatin1String("newer"))
                raw.query(QStringLiteral("PRAGMA user_version = 99"));
            else
                raw.query(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON Device WHEN NEW.address = 'refused' "
                                         "BEGIN SELECT RAISE(ABORT, 'refused by trigger'); END"));
        }
        const ChildResult child = runChild(mode, file);
        QVERIFY(child.crashedOrFailed);
        QVERIFY2(child.outputText.contains(expected), qPrintable(child.outputText));
        if (setup == QLatin1String("trigger")) {
            PersistenceController store(file);
            QVERIFY(store.devices().isEmpty());
        }
    }

    void unwritableStoreStopsAtStart()
    {
        // A folder and store that the user may read but not write.
        const QString folder = path(QStringLiteral("readonly"));
        QVERIFY(QDir().mkpath(folder));
        const QString file = QDir(folder).filePath(QStringLiteral("Orvanta.sqlite"));
        {
            PersistenceController store(file);
            store.insertDevice()->setAddress(QStringLiteral("kept"));
            QVERIFY(store.save());
        }
        const auto readable = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
        const auto enterable = readable | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
        QVERIFY(QFile::setPermissions(file, readable));
        QVERIFY(QFile::setPermissions(folder, enterable));
        const QFileDevice::Permissions topBefore = QFileInfo(m_dir.path()).permissions();
        QVERIFY(QFile::setPermissions(m_dir.path(), topBefore | QFileDevice::ExeOther | QFileDevice::ExeGroup));

        const ChildResult child = runChild(QStringLiteral("open"), file, {.plainUser = true, .home = {}});
        QFile::setPermissions(m_dir.path(), topBefore);
        QFile::setPermissions(folder, enterable | QFileDevice::WriteOwner);
        QVERIFY(child.crashedOrFailed);
        QVERIFY2(child.outputText.contains(QStringLiteral("Unresolved error ")), qPrintable(child.outputText));
        QVERIFY2(child.outputText.contains(QStringLiteral("readonly")), qPrintable(child.outputText));

        // Nothing was lost or changed on the way.
        QFile::setPermissions(file, readable | QFileDevice::WriteOwner);
        PersistenceController onDisk(file);
        QCOMPARE(onDisk.devices().size(), 1);
        QCOMPARE(onDisk.devices().first()->address(), std::optional<QString>(QStringLiteral("kept")));
    }

    void storeIsTheUsersAlone()
    {
        const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
            | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
        const auto modeOf = [others](const QString& name) { return QFileInfo(name).permissions() & others; };

        // The first start makes the folder and the file for its user alone.
        QTemporaryDir home;
        QVERIFY(home.isValid());
        ChildResult child = runChild(QStringLiteral("shared"), QString(), {.home = home.path()});
        QVERIFY2(!child.crashedOrFailed, qPrintable(child.outputText));
        const qsizetype at = child.outputText.indexOf(QStringLiteral("store:"));
        QVERIFY2(at >= 0, qPrintable(child.outputText));
        const QString file = child.outputText.mid(at + 6).section(QLatin1Char('\n'), 0, 0).trimmed();
        const QString folder = QFileInfo(file).absolutePath();
        QVERIFY(QFileInfo(file).isFile());
        QCOMPARE(modeOf(folder), QFileDevice::Permissions());
        QCOMPARE(modeOf(file), QFileDevice::Permissions());
        QVERIFY(QFileInfo(file).permissions().testFlag(QFileDevice::WriteOwner));

        // An older start left both open to everyone: the next start closes them again, and keeps
        // what the store held.
        {
            PersistenceController store(file);
            store.insertDevice()->setAddress(QStringLiteral("10.0.0.1"));
            QVERIFY(store.save());
        }
        QVERIFY(QFile::setPermissions(
            file, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        QVERIFY(QFile::setPermissions(folder,
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
                | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther));
        child = runChild(QStringLiteral("shared"), QString(), {.home = home.path()});
        QVERIFY2(!child.crashedOrFailed, qPrintable(child.outputText));
        QCOMPARE(modeOf(folder), QFileDevice::Permissions());
        QCOMPARE(modeOf(file), QFileDevice::Permissions());
        PersistenceController reopened(file);
        QCOMPARE(reopened.devices().size(), 1);

        // A store at a path of the caller's choosing is made private as well.
        const QString chosen = path(QStringLiteral("chosen.sqlite"));
        PersistenceController store(chosen);
        QCOMPARE(modeOf(chosen), QFileDevice::Permissions());
    }

    void sharedStoreLivesInTheApplicationDataFolder()
    {
        PersistenceController& shared = PersistenceController::shared();
        QCOMPARE(&PersistenceController::shared(), &shared);
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QCOMPARE(QFileInfo(shared.databasePath()).absoluteFilePath(),
            QFileInfo(QDir(folder).filePath(QStringLiteral("Orvanta.sqlite"))).absoluteFilePath());
        QVERIFY(QFileInfo::exists(shared.databasePath()));
        // Two controllers on different files keep their own connections.
        PersistenceController other(path(QStringLiteral("other.sqlite")));
        other.insertDevice()->setAddress(QStringLiteral("only here"));
        QVERIFY(other.save());
        QVERIFY(shared.devicesWithAddress(QStringLiteral("only here")).isEmpty());
    }

    void busyTests_data()
    {
        QTest::addColumn<QString>("flag");
        QTest::addColumn<bool>("busy");
        QTest::addColumn<bool>("busyLite");
        QTest::newRow("none") << "" << false << false;
        QTest::newRow("refreshing") << "refreshing" << true << false;
        QTest::newRow("rebooting") << "rebooting" << true << true;
        QTest::newRow("shuttingdown") << "shuttingdown" << true << true;
        QTest::newRow("upgradingRouterOS") << "upgradingRouterOS" << true << true;
        QTest::newRow("upgradingRouterBOOT") << "upgradingRouterBOOT" << true << true;
        QTest::newRow("ssl is no busy flag") << "ssl" << false << false;
    }

    void busyTests()
    {
        QFETCH(QString, flag);
        QFETCH(bool, busy);
        QFETCH(bool, busyLite);
        PersistenceController store(path(QStringLiteral("busy.sqlite")));
        Device* d = store.insertDevice();
        if (flag == QLatin1String("refreshing"))
            d->setRefreshing(true);
        else if (flag == QLatin1String("rebooting"))
            d->setRebooting(true);
        else if (flag == QLatin1String("shuttingdown"))
            d->setShuttingdown(true);
        else if (flag == QLatin1String("upgradingRouterOS"))
            d->setUpgradingRouterOS(true);
        else if (flag == QLatin1String("upgradingRouterBOOT"))
            d->setUpgradingRouterBOOT(true);
        else if (flag == QLatin1String("ssl"))
            d->setSsl(true);
        QCOMPARE(d->isBusy(), busy);
        QCOMPARE(d->isBusyLite(), busyLite);
    }
};

ORVANTA_TEST_MAIN(TestStore)
#include "tst_store.moc"
