#include "support/TestMain.h"

#include "model/ByteCountFormatter.h"

#include <QTest>

class TestByteCount : public QObject
{
    Q_OBJECT

private slots:
    void styles_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("binary");
        QTest::addColumn<QString>("fileUnit");

        QTest::newRow("zero") << qint64(0) << "Zero KB"
                              << "Zero KB"
                              << "KB";
        QTest::newRow("one byte") << qint64(1) << "1 byte"
                                  << "1 byte"
                                  << "bytes";
        QTest::newRow("bytes") << qint64(999) << "999 bytes"
                               << "999 bytes"
                               << "bytes";
        QTest::newRow("a thousand") << qint64(1000) << "1 KB"
                                    << "1000 bytes"
                                    << "KB";
        QTest::newRow("a kibibyte") << qint64(1024) << "1 KB"
                                    << "1 KB"
                                    << "KB";
        QTest::newRow("KB rounds to whole") << qint64(1500) << "2 KB"
                                            << "1 KB"
                                            << "KB";
        QTest::newRow("rounds up into MB") << qint64(999999) << "1 MB"
                                           << "977 KB"
                                           << "MB";
        QTest::newRow("MB one decimal") << qint64(1500000) << "1.5 MB"
                                        << "1.4 MB"
                                        << "MB";
        QTest::newRow("256 MiB") << qint64(256) * 1024 * 1024 << "268.4 MB"
                                 << "256 MB"
                                 << "MB";
        QTest::newRow("768 MiB") << qint64(805306368) << "805.3 MB"
                                 << "768 MB"
                                 << "MB";
        QTest::newRow("1 GiB") << qint64(1073741824) << "1.07 GB"
                               << "1 GB"
                               << "GB";
        QTest::newRow("8 GB") << qint64(8000000000) << "8 GB"
                              << "7.45 GB"
                              << "GB";
        QTest::newRow("TB") << qint64(2500000000000) << "2.5 TB"
                            << "2.27 TB"
                            << "TB";
        QTest::newRow("largest") << std::numeric_limits<qint64>::max() << "9223.37 PB"
                                 << "8192 PB"
                                 << "PB";
    }

    void styles()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, file);
        QFETCH(QString, binary);
        QFETCH(QString, fileUnit);
        QCOMPARE(ByteCountFormatter::fileStyle(bytes), file);
        QCOMPARE(ByteCountFormatter::binaryStyle(bytes), binary);
        QCOMPARE(ByteCountFormatter::fileStyleUnit(bytes), fileUnit);
    }
};

ORVANTA_TEST_MAIN(TestByteCount)
#include "tst_bytecount.moc"
