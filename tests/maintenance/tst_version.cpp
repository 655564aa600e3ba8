#include "maintenance/RouterOSVersion.h"
#include "support/TestMain.h"

#include <QObject>
#include <QTest>

class TestRouterOSVersion : public QObject
{
    Q_OBJECT
private slots:
    void reading_data();
    void reading();
    void ordering_data();
    void ordering();
    void keepsTextAsGiven();
};

void TestRouterOSVersion::reading_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint32>("value");

    // Typical texts.
    QTest::newRow("release") << "7.12" << 712000000;
    QTest::newRow("patch") << "7.12.1" << 712010000;
    QTest::newRow("beta") << "7.13beta2" << 712999902;
    QTest::newRow("rc") << "7.13rc1" << 712999951;
    QTest::newRow("patch rc") << "7.12.1rc2" << 712009952;
    QTest::newRow("patch beta") << "7.12.1beta3" << 712009903;
    QTest::newRow("two-digit patch") << "6.49.10" << 649100000;
    QTest::newRow("zero patch") << "7.12.0" << 712000000;
    QTest::newRow("leading plus") << "+7.12" << 712000000;
    QTest::newRow("negative minor") << "7.-1" << 699000000;
    QTest::newRow("beta of next build number") << "7.12beta100" << 712000000;
    QTest::newRow("second beta word ends build") << "7.13beta2beta9" << 712999902;

    // Wrong number of pieces.
    QTest::newRow("Unknown") << "Unknown" << 0;
    QTest::newRow("one piece") << "7" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("four pieces") << "7.12.1.2" << 0;

    // Unreadable numbers.
    QTest::newRow("empty middle piece") << "7..1" << 0;
    QTest::newRow("beta without build") << "7.13beta" << 0;
    QTest::newRow("rc without build") << "7.13rc" << 0;
    QTest::newRow("suffix without number") << "7.beta2" << 0;
    QTest::newRow("letter") << "7.x" << 0;
    QTest::newRow("upper-case RC") << "7.13RC1" << 0;
    QTest::newRow("capital Beta") << "7.13Beta1" << 0;
    QTest::newRow("dotted build") << "7.13beta2.1" << 0;
    QTest::newRow("leading blank") << " 7.12" << 0;
    QTest::newRow("trailing blank") << "7.12 " << 0;
    QTest::newRow("suffix in middle piece") << "7.13rc1.2" << 0;
    QTest::newRow("beta wins over rc") << "7.13beta2rc1" << 0;
    QTest::newRow("bare sign") << "+.12" << 0;
    QTest::newRow("non-ASCII digit") << QString::fromUtf8("7.\u0661\u0662") << 0;

    // Signed 32-bit arithmetic.
    QTest::newRow("largest major") << "21.47" << 2147000000;
    QTest::newRow("minor overflows sum") << "21.48" << 0;
    QTest::newRow("major overflows") << "22.0" << 0;
    QTest::newRow("number beyond 32 bits") << "7.4294967308" << 0;
    QTest::newRow("most negative") << "-21.-47" << -2147000000;
    QTest::newRow("build underflows") << "-21.-47.-48rc-3600" << 0;
}

void TestRouterOSVersion::reading()
{
    QFETCH(QString, text);
    QFETCH(qint32, value);
    QCOMPARE(RouterOSVersion(text).intVersion, value);
    QCOMPARE(RouterOSVersion::parse(text), value);
}

void TestRouterOSVersion::ordering_data()
{
    QTest::addColumn<QString>("lower");
    QTest::addColumn<QString>("higher");

    QTest::newRow("beta before rc") << "7.13beta2"
                                    << "7.13rc1";
    QTest::newRow("rc before release") << "7.13rc1"
                                       << "7.13";
    QTest::newRow("release before patch") << "7.13"
                                          << "7.13.1";
    QTest::newRow("numeric not textual") << "7.9"
                                         << "7.10";
    QTest::newRow("late rc above release") << "7.13"
                                           << "7.13rc60";
    QTest::newRow("unreadable below major 1") << "Unknown"
                                              << "1.0";
    QTest::newRow("older line") << "6.49.10"
                                << "7.1";
}

void TestRouterOSVersion::ordering()
{
    QFETCH(QString, lower);
    QFETCH(QString, higher);
    const RouterOSVersion a(lower);
    const RouterOSVersion b(higher);
    QVERIFY(a < b);
    QVERIFY(b > a);
    QVERIFY(a <= b);
    QVERIFY(b >= a);
    QVERIFY(!(b < a));
    QVERIFY(!(a >= b));
    QVERIFY(!(a == b));
}

void TestRouterOSVersion::keepsTextAsGiven()
{
    // Equality looks at the value alone; the text is carried unchanged.
    const RouterOSVersion plain(QStringLiteral("7.12"));
    const RouterOSVersion padded(QStringLiteral("7.12.0"));
    QVERIFY(plain == padded);
    QVERIFY(plain <= padded && plain >= padded);
    QCOMPARE(padded.stringVersion, QStringLiteral("7.12.0"));
    QVERIFY(RouterOSVersion(QStringLiteral("Unknown")) == RouterOSVersion(QStringLiteral("7.12.1.2")));
    QCOMPARE(RouterOSVersion(QStringLiteral(" 7.12")).stringVersion, QStringLiteral(" 7.12"));
}

ORVANTA_TEST_MAIN(TestRouterOSVersion)
#include "tst_version.moc"
