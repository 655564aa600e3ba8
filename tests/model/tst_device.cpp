#include "support/TestMain.h"

#include "model/Device.h"
#include "model/PersistenceController.h"

#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>

class TestDevice : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // 22:30 UTC on 1 March is 04:15 on 2 March in the zone the tests run in.
    static QDateTime lateEveningUtc() { return QDateTime(QDate(2024, 3, 1), QTime(22, 30), Qt::UTC); }

    static void showsLocalTime(const QString& text)
    {
        const QLocale locale;
        const QString date = locale.toString(QDate(2024, 3, 2), QLocale::ShortFormat);
        const QString time = locale.toString(QTime(4, 15), QLocale::ShortFormat);
        QVERIFY2(text.contains(date) && text.contains(time), qPrintable(text + " lacks " + date + ' ' + time));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // A zone far from UTC, with an offset in minutes too, so that a date shown in UTC (or in
        // whole hours off) cannot pass. Written out in POSIX form so it needs no zone database.
        qputenv("TZ", "<+0545>-5:45");
        ::tzset();
        QCOMPARE(QDateTime(QDate(2024, 3, 1), QTime(12, 0)).offsetFromUtc(), 5 * 3600 + 45 * 60);
    }

    void lastUpdateShowsInTheLocalZone()
    {
        PersistenceController store(m_dir.filePath(QStringLiteral("zone.sqlite")));
        Device* d = store.insertDevice();
        d->setLastupdated(lateEveningUtc());
        showsLocalTime(d->dateAsString());

        // The stored instant comes back as the same local date and time after a restart.
        QVERIFY(store.save());
        PersistenceController reopened(store.databasePath());
        QCOMPARE(reopened.devices().size(), 1);
        QCOMPARE(reopened.devices().at(0)->lastupdated(), std::optional<QDateTime>(lateEveningUtc()));
        showsLocalTime(reopened.devices().at(0)->dateAsString());
    }
};

ORVANTA_TEST_MAIN(TestDevice)
#include "tst_device.moc"
