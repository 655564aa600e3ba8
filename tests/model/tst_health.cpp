#include "support/TestMain.h"

#include "model/Device.h"
#include "model/PersistenceController.h"

#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(std::optional<QString>)

class TestHealth : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void readingsOfTheStoredReply_data()
    {
        QTest::addColumn<std::optional<QString>>("health");
        QTest::addColumn<QStringList>("ids");

        QTest::newRow("never refreshed") << std::optional<QString>() << QStringList();
        QTest::newRow("empty object") << std::optional<QString>("{}") << QStringList();
        QTest::newRow("empty array") << std::optional<QString>("[]") << QStringList();
        QTest::newRow("object with readings inside")
            << std::optional<QString>(R"({"a": {".id": "*1", "name": "n", "type": "V", "value": "1"}})")
            << QStringList();
        QTest::newRow("all kept in order")
            << std::optional<QString>(R"([{".id": "*2", "name": "voltage", "type": "V", "value": "24"},
                                          {".id": "*1", "name": "temperature", "type": "C", "value": "45"}])")
            << QStringList {"*2", "*1"};
        QTest::newRow("second lacks type")
            << std::optional<QString>(R"([{".id": "*1", "name": "a", "type": "V", "value": "1"},
                                          {".id": "*2", "name": "b", "value": "2"},
                                          {".id": "*3", "name": "c", "type": "RPM", "value": "3"}])")
            << QStringList {"*1", "*3"};
        QTest::newRow("non-text members and non-objects skipped")
            << std::optional<QString>(R"([{".id": "*1", "name": "a", "type": "V", "value": 1},
                                          "text", 5, null, [],
                                          {".id": "*2", "name": "b", "type": "W", "value": "7", "extra": true}])")
            << QStringList {"*2"};
    }

    void readingsOfTheStoredReply()
    {
        QFETCH(std::optional<QString>, health);
        QFETCH(QStringList, ids);
        PersistenceController store(m_dir.filePath(QStringLiteral("health.sqlite")));
        Device* d = store.insertDevice();
        d->setHealth(health);
        QStringList got;
        for (const HealthItem& item : d->healthArray())
            got << item.id;
        QCOMPARE(got, ids);
    }

    void fieldsComeFromTheirMembers()
    {
        PersistenceController store(m_dir.filePath(QStringLiteral("fields.sqlite")));
        Device* d = store.insertDevice();
        d->setHealth(QStringLiteral(R"([{"value": "12.5", "type": "A", "name": "psu1-current", ".id": "*9"}])"));
        const QList<HealthItem> items = d->healthArray();
        QCOMPARE(items.size(), 1);
        QCOMPARE(items.at(0), (HealthItem {"*9", "psu1-current", "A", "12.5"}));
    }

    void textThatIsNotJsonRaises_data()
    {
        QTest::addColumn<QString>("health");
        QTest::newRow("words") << "not json";
        QTest::newRow("empty") << "";
        QTest::newRow("cut off") << R"([{".id": "*1", "name")";
    }

    void textThatIsNotJsonRaises()
    {
        QFETCH(QString, health);
        PersistenceController store(m_dir.filePath(QStringLiteral("raise.sqlite")));
        Device* d = store.insertDevice();
        d->setHealth(health);
        QVERIFY_THROWS_EXCEPTION(HealthParseError, d->healthArray());
    }
};

ORVANTA_TEST_MAIN(TestHealth)
#include "tst_health.moc"
