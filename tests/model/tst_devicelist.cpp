#include "support/TestMain.h"

#include "model/Device.h"
#include "model/DeviceListModel.h"
#include "model/PersistenceController.h"

#include <QAbstractItemModelTester>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestDeviceList : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_files = 0;
    std::unique_ptr<PersistenceController> m_store;
    std::unique_ptr<DeviceListModel> m_model;
    std::unique_ptr<QAbstractItemModelTester> m_tester;

    Device* add(const std::optional<QString>& address)
    {
        Device* d = m_store->insertDevice();
        d->setAddress(address);
        return d;
    }

    QStringList shown() const
    {
        QStringList rows;
        for (int row = 0; row < m_model->rowCount(); ++row) {
            const Device* d = m_model->deviceAt(row);
            rows << (d->address() ? *d->address() : QStringLiteral("<absent>"));
        }
        return rows;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void init()
    {
        m_store
            = std::make_unique<PersistenceController>(m_dir.filePath(QStringLiteral("list-%1.sqlite").arg(++m_files)));
        m_model = std::make_unique<DeviceListModel>(*m_store);
        m_tester = std::make_unique<QAbstractItemModelTester>(
            m_model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    }

    void cleanup()
    {
        m_tester.reset();
        m_model.reset();
        m_store.reset();
    }

    void sortsByAddressAsPlainText()
    {
        for (const char* address : {"router-b", "Router-a", "10.0.0.2", "10.0.0.10", "router-a", "ünicode", "Z"})
            add(QString::fromUtf8(address));
        add(std::nullopt);
        // Code-unit order: digits, upper case, lower case, then non-ASCII; absent first.
        const QStringList expected {
            "<absent>", "10.0.0.10", "10.0.0.2", "Router-a", "Z", "router-a", "router-b", QString::fromUtf8("ünicode")};
        QCOMPARE(shown(), expected);
        QCOMPARE(m_model->data(m_model->index(1), Qt::DisplayRole).toString(), QStringLiteral("10.0.0.10"));
        Device* d = m_model->data(m_model->index(3), DeviceListModel::DeviceRole).value<Device*>();
        QCOMPARE(d, m_model->deviceAt(3));
        QCOMPARE(m_model->rowOf(d), 3);
    }

    void loadsStoredDevicesSorted()
    {
        add(QStringLiteral("c"));
        add(QStringLiteral("a"));
        add(QStringLiteral("b"));
        QVERIFY(m_store->save());
        const QString file = m_store->databasePath();
        cleanup();
        m_store = std::make_unique<PersistenceController>(file);
        m_model = std::make_unique<DeviceListModel>(*m_store);
        QCOMPARE(shown(), QStringList({"a", "b", "c"}));
    }

    void insertLandsInPlace()
    {
        add(QStringLiteral("a"));
        add(QStringLiteral("c"));
        QSignalSpy inserted(m_model.get(), &QAbstractItemModel::rowsInserted);
        // A new device has no address yet: it comes first, then moves when the form sets it.
        Device* d = m_store->insertDevice();
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted.at(0).at(1).toInt(), 0);
        d->setAddress(QStringLiteral("b"));
        QCOMPARE(shown(), QStringList({"a", "b", "c"}));
    }

    void addressChangesMoveTheRow_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("moves");
        QTest::newRow("to the end") << "b"
                                    << "z" << QStringList {"a", "c", "d", "z"} << 1;
        QTest::newRow("to the front") << "c"
                                      << "0" << QStringList {"0", "a", "b", "d"} << 1;
        QTest::newRow("one step down") << "b"
                                       << "cc" << QStringList {"a", "c", "cc", "d"} << 1;
        QTest::newRow("stays") << "b"
                               << "bb" << QStringList {"a", "bb", "c", "d"} << 0;
        QTest::newRow("onto a twin") << "a"
                                     << "d" << QStringList {"b", "c", "d", "d"} << 1;
    }

    void addressChangesMoveTheRow()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QStringList, expected);
        QFETCH(int, moves);
        for (const char* address : {"d", "b", "a", "c"})
            add(QString::fromLatin1(address));
        QSignalSpy moved(m_model.get(), &QAbstractItemModel::rowsMoved);
        QSignalSpy changed(m_model.get(), &QAbstractItemModel::dataChanged);
        Device* d = m_store->devicesWithAddress(from).at(0);
        d->setAddress(to);
        QCOMPARE(shown(), expected);
        QCOMPARE(moved.count(), moves);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).value<QModelIndex>().row(), m_model->rowOf(d));
    }

    void otherChangesOnlyRedraw()
    {
        add(QStringLiteral("a"));
        Device* b = add(QStringLiteral("b"));
        QSignalSpy moved(m_model.get(), &QAbstractItemModel::rowsMoved);
        QSignalSpy changed(m_model.get(), &QAbstractItemModel::dataChanged);
        b->setRefreshing(true);
        QCOMPARE(moved.count(), 0);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).value<QModelIndex>().row(), 1);
    }

    void deleteRemovesTheRowAtOnce()
    {
        add(QStringLiteral("a"));
        QPointer<Device> b = add(QStringLiteral("b"));
        add(QStringLiteral("c"));
        QVERIFY(m_store->save());
        QSignalSpy removed(m_model.get(), &QAbstractItemModel::rowsRemoved);
        m_store->deleteDevice(b);
        QCOMPARE(removed.count(), 1);
        QCOMPARE(removed.at(0).at(1).toInt(), 1);
        QCOMPARE(shown(), QStringList({"a", "c"}));
        QCOMPARE(m_model->rowOf(b), -1);
        QVERIFY(m_store->save());
        QTRY_VERIFY_WITH_TIMEOUT(!b, 5000);
        QCOMPARE(shown(), QStringList({"a", "c"}));
        QVERIFY(!m_model->deviceAt(2));
        QVERIFY(!m_model->deviceAt(-1));
    }

    void twinsKeepTheirArrivalOrder()
    {
        Device* first = add(QStringLiteral("same"));
        Device* second = add(QStringLiteral("same"));
        add(QStringLiteral("a"));
        QCOMPARE(m_model->rowOf(first), 1);
        QCOMPARE(m_model->rowOf(second), 2);
        // Redrawing one twin must not shuffle the pair.
        first->setModel(QStringLiteral("hEX"));
        QCOMPARE(m_model->rowOf(first), 1);
        QCOMPARE(m_model->rowOf(second), 2);
    }
};

ORVANTA_TEST_MAIN(TestDeviceList)
#include "tst_devicelist.moc"
