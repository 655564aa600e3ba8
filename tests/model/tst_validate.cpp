#include "support/TestMain.h"

#include "model/Device.h"
#include "model/PersistenceController.h"
#include "model/Validate.h"

class TestValidate : public QObject
{
    Q_OBJECT

private:
    static void addDevice(const QString& address)
    {
        PersistenceController::shared().insertDevice()->setAddress(address);
    }

private slots:
    void initTestCase()
    {
        // Start from an empty store, whatever an earlier run left in the test folder.
        PersistenceController& store = PersistenceController::shared();
        for (Device* device : store.devices())
            store.deleteDevice(device);
        QVERIFY(store.save());
    }

    void cleanup()
    {
        PersistenceController& store = PersistenceController::shared();
        for (Device* device : store.devices())
            store.deleteDevice(device);
        QVERIFY(store.save());
    }

    void port_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("success");
        QTest::addColumn<QString>("message");

        const QString empty = QStringLiteral("Enter the port number");
        const QString zero = QStringLiteral("Cannot start with 0");
        const QString valid = QStringLiteral("Port is valid");
        const QString range = QStringLiteral("Valid range is 1-65535");

        QTest::newRow("empty") << QString() << false << empty;
        QTest::newRow("zero") << QStringLiteral("0") << false << zero;
        QTest::newRow("leading zero") << QStringLiteral("080") << false << zero;
        // The zero rule comes before the number rules, even for text that is no number.
        QTest::newRow("zero then letters") << QStringLiteral("0abc") << false << zero;
        QTest::newRow("lowest") << QStringLiteral("1") << true << valid;
        QTest::newRow("common") << QStringLiteral("8729") << true << valid;
        QTest::newRow("highest") << QStringLiteral("65535") << true << valid;
        QTest::newRow("one above") << QStringLiteral("65536") << false << range;
        QTest::newRow("far above") << QStringLiteral("99999999999999999999") << false << range;
        QTest::newRow("trailing letter") << QStringLiteral("8a") << false << range;
        QTest::newRow("negative") << QStringLiteral("-1") << false << range;
        QTest::newRow("plus sign") << QStringLiteral("+22") << false << range;
        QTest::newRow("space") << QStringLiteral(" 22") << false << range;
        QTest::newRow("decimal point") << QStringLiteral("22.5") << false << range;
        QTest::newRow("arabic-indic digits") << QStringLiteral("\u0662\u0662") << false << range;
    }

    void port()
    {
        QFETCH(QString, text);
        QFETCH(bool, success);
        QFETCH(QString, message);
        const ValidateReturn result = Validate::port(text);
        QCOMPARE(result.success, success);
        QCOMPARE(result.message, message);
        QVERIFY(!result.response.has_value());
        QVERIFY(!result.session);
    }

    void digitsOnly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");

        QTest::newRow("lone zero") << QStringLiteral("0") << QString();
        QTest::newRow("two zeros") << QStringLiteral("00") << QStringLiteral("00");
        QTest::newRow("leading zero kept") << QStringLiteral("05") << QStringLiteral("05");
        QTest::newRow("letter inside") << QStringLiteral("12x3") << QStringLiteral("123");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("only letters") << QStringLiteral("abc") << QString();
        QTest::newRow("zero after filtering") << QStringLiteral("a0") << QStringLiteral("0");
        QTest::newRow("signs and spaces") << QStringLiteral(" -1 2+") << QStringLiteral("12");
        QTest::newRow("other scripts' digits") << QStringLiteral("1\u06623") << QStringLiteral("13");
    }

    void digitsOnly()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(Validate::digitsOnly(text), expected);
    }

    void address_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("allowed");
        QTest::addColumn<bool>("success");

        QTest::newRow("taken, none allowed") << QStringLiteral("192.168.88.1") << 0 << false;
        QTest::newRow("taken, the edited one allowed") << QStringLiteral("192.168.88.1") << 1 << true;
        QTest::newRow("free") << QStringLiteral("192.168.88.10") << 0 << true;
        QTest::newRow("other case") << QStringLiteral("Router.lan") << 0 << true;
        QTest::newRow("same case") << QStringLiteral("router.lan") << 0 << false;
        QTest::newRow("not trimmed") << QStringLiteral("192.168.88.1 ") << 0 << true;
        QTest::newRow("held twice, one allowed") << QStringLiteral("10.0.0.1") << 1 << false;
        QTest::newRow("held twice, two allowed") << QStringLiteral("10.0.0.1") << 2 << true;
    }

    void address()
    {
        QFETCH(QString, address);
        QFETCH(int, allowed);
        QFETCH(bool, success);

        addDevice(QStringLiteral("192.168.88.1"));
        addDevice(QStringLiteral("router.lan"));
        addDevice(QStringLiteral("10.0.0.1"));
        addDevice(QStringLiteral("10.0.0.1"));
        QVERIFY(PersistenceController::shared().save());

        const ValidateReturn result = Validate::address(address, allowed);
        QCOMPARE(result.success, success);
        QCOMPARE(result.message, success ? QString() : QStringLiteral("Address already exists"));
    }

    void addressFollowsTheContext()
    {
        PersistenceController& store = PersistenceController::shared();
        // A device not saved yet already holds its address.
        addDevice(QStringLiteral("192.168.88.1"));
        QVERIFY(!Validate::address(QStringLiteral("192.168.88.1"), 0).success);
        // A deleted one no longer does, saved or not.
        store.deleteDevice(store.devices().constFirst());
        QVERIFY(Validate::address(QStringLiteral("192.168.88.1"), 0).success);
        // A changed address frees the old one.
        addDevice(QStringLiteral("192.168.88.2"));
        QVERIFY(store.save());
        store.devices().constFirst()->setAddress(QStringLiteral("192.168.88.3"));
        QVERIFY(Validate::address(QStringLiteral("192.168.88.2"), 0).success);
        QVERIFY(!Validate::address(QStringLiteral("192.168.88.3"), 0).success);
    }
};

ORVANTA_TEST_MAIN(TestValidate)
#include "tst_validate.moc"
