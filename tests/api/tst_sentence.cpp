#include "api/Sentence.h"
#include "support/FakeApiRouter.h"
#include "support/TestMain.h"

#include <QObject>
#include <QTest>

using Row = Sentence::Row;
using Rows = QList<Row>;

namespace {
QByteArray word(const QByteArray& text)
{
    return FakeApiRouter::encodeWord(text);
}

QByteArray sentence(const QList<QByteArray>& words)
{
    QByteArray out;
    for (const QByteArray& w : words)
        out += word(w);
    return out + QByteArray(1, '\0');
}

// Parses a reply delivered in the given pieces, the way the read loop does.
Sentence parsePieces(const QList<QByteArray>& pieces)
{
    Sentence parsed(pieces.first());
    for (qsizetype i = 1; i < pieces.size(); ++i)
        parsed.feed(pieces[i]);
    return parsed;
}

// A reply with short and long (two-byte prefix) words and non-ASCII text.
QByteArray mixedReply(int rowCount)
{
    QByteArray reply;
    for (int i = 0; i < rowCount; ++i) {
        reply += sentence({"!re", "=.id=*" + QByteArray::number(i), "=name=pkg-" + QByteArray::number(i),
            "=comment=" + QByteArray(100 + i % 60, 'c'), "=note=grüße " + QByteArray::number(i)});
    }
    return reply + sentence({"!done"});
}

Rows mixedRows(int rowCount)
{
    Rows rows;
    for (int i = 0; i < rowCount; ++i) {
        rows.append({{".id", "*" + QString::number(i)}, {"name", "pkg-" + QString::number(i)},
            {"comment", QString(100 + i % 60, QLatin1Char('c'))}, {"note", "grüße " + QString::number(i)}});
    }
    return rows;
}
} // namespace

class TestSentence : public QObject
{
    Q_OBJECT

private slots:
    void encodeLength_data()
    {
        QTest::addColumn<quint64>("length");
        QTest::addColumn<QByteArray>("prefix");
        QTest::newRow("zero") << quint64(0) << QByteArray::fromHex("00");
        QTest::newRow("login") << quint64(6) << QByteArray::fromHex("06");
        QTest::newRow("127") << quint64(0x7F) << QByteArray::fromHex("7f");
        QTest::newRow("128") << quint64(0x80) << QByteArray::fromHex("8080");
        QTest::newRow("16383") << quint64(0x3FFF) << QByteArray::fromHex("bfff");
        QTest::newRow("16384") << quint64(0x4000) << QByteArray::fromHex("c04000");
        QTest::newRow("0x1FFFFF") << quint64(0x1FFFFF) << QByteArray::fromHex("dfffff");
        QTest::newRow("0x200000") << quint64(0x200000) << QByteArray::fromHex("e0200000");
        QTest::newRow("0xFFFFFFF") << quint64(0xFFFFFFF) << QByteArray::fromHex("efffffff");
        QTest::newRow("0x10000000") << quint64(0x10000000) << QByteArray::fromHex("f010000000");
        QTest::newRow("0xFFFFFFFF") << quint64(0xFFFFFFFF) << QByteArray::fromHex("f0ffffffff");
    }
    void encodeLength()
    {
        QFETCH(quint64, length);
        QFETCH(QByteArray, prefix);
        QCOMPARE(Sentence::encodeLength(length), std::optional<QByteArray>(prefix));
    }

    void encodeLengthRefusesWordsTooLongToSend() { QCOMPARE(Sentence::encodeLength(0x100000000ULL), std::nullopt); }

    void readLength_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("length");
        QTest::addColumn<int>("prefixSize");
        QTest::newRow("empty") << QByteArray() << qint64(-1) << 0;
        QTest::newRow("zero word") << QByteArray::fromHex("00") << qint64(0) << 1;
        QTest::newRow("one byte") << QByteArray::fromHex("05") << qint64(5) << 1;
        QTest::newRow("largest one byte") << QByteArray::fromHex("7f41") << qint64(127) << 1;
        QTest::newRow("two bytes") << QByteArray::fromHex("8102") << qint64(258) << 2;
        QTest::newRow("largest two bytes") << QByteArray::fromHex("bfff") << qint64(16383) << 2;
        QTest::newRow("two-byte prefix cut") << QByteArray::fromHex("80") << qint64(0) << 2;
        QTest::newRow("three bytes unread") << QByteArray::fromHex("c04000") << qint64(-1) << 0;
        QTest::newRow("five bytes unread") << QByteArray::fromHex("f010000000") << qint64(-1) << 0;
    }
    void readLength()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, length);
        QFETCH(int, prefixSize);
        QCOMPARE(Sentence::readLength(bytes), std::make_pair(length, prefixSize));
    }

    // Every length the reader takes comes back as it was written.
    void readLengthReadsWhatEncodeLengthWrites()
    {
        for (quint64 n = 0; n <= 0x3FFF; ++n) {
            const QByteArray prefix = *Sentence::encodeLength(n) + "xx";
            const auto [length, size] = Sentence::readLength(prefix);
            if (length != qint64(n) || size != (n < 0x80 ? 1 : 2))
                QFAIL(qPrintable(QStringLiteral("length %1 read back as %2/%3").arg(n).arg(length).arg(size)));
        }
    }

    void unusableFirstBuffer_data()
    {
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<SentenceError>("error");
        QTest::newRow("empty") << QByteArray() << SentenceError::NoData;
        QTest::newRow("three bytes") << QByteArray("\x02!d", 3) << SentenceError::NoData;
        QTest::newRow("starts with 0x00") << QByteArray("\0\0\0\0", 4) << SentenceError::DataInvalidFormat;
        QTest::newRow("word runs past the end") << QByteArray("\x09!done\0", 7) << SentenceError::DataInvalidFormat;
        QTest::newRow("three-byte prefix")
            << (QByteArray::fromHex("c04000") + QByteArray(10, 'a')) << SentenceError::DataInvalidFormat;
        QTest::newRow("not UTF-8") << QByteArray::fromHex("04ff21fe4100") << SentenceError::DataInvalidFormat;
        QTest::newRow("cut two-byte prefix")
            << QByteArray::fromHex("05212121") + QByteArray::fromHex("80") << SentenceError::DataInvalidFormat;
    }
    void unusableFirstBuffer()
    {
        QFETCH(QByteArray, buffer);
        QFETCH(SentenceError, error);
        try {
            Sentence parsed(buffer);
            QFAIL("the buffer was accepted");
        } catch (SentenceError raised) {
            QCOMPARE(raised, error);
        }
    }

    void reply_data()
    {
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<ReturnType>("returnType");
        QTest::addColumn<bool>("done");
        QTest::addColumn<Rows>("rows");

        QTest::newRow("done with attribute")
            << sentence({"!done", "=ret=abc"}) << ReturnType::DONE << true << Rows {{{"ret", "abc"}}};
        QTest::newRow("done alone") << sentence({"!done"}) << ReturnType::DONE << true << Rows {};
        QTest::newRow("trap: one row per attribute, nothing after its end")
            << sentence({"!trap", "=category=0", "=message=no such command"}) + sentence({"!done", "=x=y"})
            << ReturnType::TRAP << true << Rows {{{"category", "0"}}, {{"message", "no such command"}}};
        QTest::newRow("trap attributes must be ASCII") << sentence({"!trap", "=message=grüße", "=category=1"})
                                                       << ReturnType::TRAP << true << Rows {{{"category", "1"}}};
        QTest::newRow("done skips undecodable and malformed words")
            << sentence({"!done", "=a=\xff", "noequals", "=b=c=d", "=ok=1"}) << ReturnType::DONE << true
            << Rows {{{"ok", "1"}}};
        QTest::newRow("rows") << sentence({"!re", "=name=routeros", "=version=7.12"})
                + sentence({"!re", "=name=wireless"}) + sentence({"!done"})
                              << ReturnType::RE << true
                              << Rows {{{"name", "routeros"}, {"version", "7.12"}}, {{"name", "wireless"}}};
        QTest::newRow("value holding = is dropped, empty value kept")
            << sentence({"!re", "=comment=a=b", "=comment=", "=name=x"}) + sentence({"!done"}) << ReturnType::RE << true
            << Rows {{{"comment", ""}, {"name", "x"}}};
        QTest::newRow("later value of a key wins") << sentence({"!re", "=name=a", "=name=b"}) + sentence({"!done"})
                                                   << ReturnType::RE << true << Rows {{{"name", "b"}}};
        QTest::newRow("trap after rows has a row of its own")
            << sentence({"!re", "=name=a"}) + sentence({"!trap", "=message=failed"}) + sentence({"!done"})
            << ReturnType::RE << true << Rows {{{"name", "a"}}, {{"message", "failed"}}};
        QTest::newRow("nothing after done is read")
            << sentence({"!re", "=name=a"}) + sentence({"!done"}) + sentence({"!re", "=name=b"}) << ReturnType::RE
            << true << Rows {{{"name", "a"}}};
        QTest::newRow("undecodable row word is skipped")
            << sentence({"!re", "=name=a", "=bad=\xc3\x28", "=kind=b"}) + sentence({"!re", "=comment=caf\xe9"})
                + sentence({"!done"})
            << ReturnType::RE << true << Rows {{{"name", "a"}, {"kind", "b"}}, {}};
        QTest::newRow("rows without done are not complete")
            << sentence({"!re", "=name=a"}) << ReturnType::RE << false << Rows {{{"name", "a"}}};
        QTest::newRow("fatal stays unrecognised")
            << sentence({"!fatal", "session terminated on request"}) << ReturnType::NONE << false << Rows {};
        QTest::newRow("empty then done is a complete empty reply")
            << sentence({"!empty"}) + sentence({"!done"}) << ReturnType::DONE << true << Rows {};
        QTest::newRow("empty waits for its done") << sentence({"!empty"}) << ReturnType::DONE << false << Rows {};
        QTest::newRow("empty ignores attributes of its done")
            << sentence({"!empty"}) + sentence({"!done", "=ret=x"}) << ReturnType::DONE << true << Rows {};
    }
    void reply()
    {
        QFETCH(QByteArray, buffer);
        QFETCH(ReturnType, returnType);
        QFETCH(bool, done);
        QFETCH(Rows, rows);
        const Sentence parsed(buffer);
        QCOMPARE(parsed.returnType, returnType);
        QCOMPARE(parsed.isDone, done);
        QCOMPARE(parsed.SentenceData, rows);
    }

    // A refusal is a refusal whether it comes first or after some rows, and however it is cut.
    void trapIsNoticedWhereverItComes()
    {
        const QByteArray first = sentence({"!trap", "=message=failed"}) + sentence({"!done"});
        const QByteArray late
            = sentence({"!re", "=name=a"}) + sentence({"!trap", "=message=failed"}) + sentence({"!done"});
        QVERIFY(Sentence(first).trapped);
        QVERIFY(!Sentence(sentence({"!re", "=name=a"}) + sentence({"!done"})).trapped);
        for (qsizetype cut = word("!re").size(); cut < late.size(); ++cut) {
            const Sentence parsed = parsePieces({late.left(cut), late.mid(cut)});
            QVERIFY(parsed.isDone);
            QVERIFY2(parsed.trapped, qPrintable(QString::number(cut)));
            QCOMPARE(parsed.SentenceData, (Rows {{{"name", "a"}}, {{"message", "failed"}}}));
        }
    }

    void emptyThenDoneAcrossTwoBuffers()
    {
        Sentence parsed(sentence({"!empty"}));
        QVERIFY(!parsed.isDone);
        parsed.feed(sentence({"!done"}));
        QVERIFY(parsed.isDone);
        QCOMPARE(parsed.returnType, ReturnType::DONE);
        QVERIFY(parsed.SentenceData.isEmpty());
    }

    // The read loop may cut a reply anywhere after its first word: inside a word, inside a
    // two-byte prefix, inside a UTF-8 sequence. Once or twice, the rows must not change.
    void replyCutAnywhereGivesTheSameRows()
    {
        const QByteArray reply = mixedReply(3);
        const Rows expected = mixedRows(3);
        const qsizetype firstWordEnd = word("!re").size();
        for (qsizetype cut = firstWordEnd; cut < reply.size(); ++cut) {
            const Sentence parsed = parsePieces({reply.left(cut), reply.mid(cut)});
            if (!parsed.isDone || parsed.SentenceData != expected)
                QFAIL(qPrintable(QStringLiteral("reply cut at byte %1 parsed differently").arg(cut)));
        }
        for (qsizetype first = firstWordEnd; first < reply.size(); first += 3) {
            for (qsizetype second = first + 1; second < reply.size(); ++second) {
                const Sentence parsed
                    = parsePieces({reply.left(first), reply.mid(first, second - first), reply.mid(second)});
                if (!parsed.isDone || parsed.SentenceData != expected)
                    QFAIL(
                        qPrintable(QStringLiteral("reply cut at %1 and %2 parsed differently").arg(first).arg(second)));
            }
        }
    }

    void cutAfterFirstByteOfTwoBytePrefixIsKept()
    {
        const QByteArray longWord = "=comment=" + QByteArray(200, 'x');
        const QByteArray reply = sentence({"!re", longWord}) + sentence({"!done"});
        const qsizetype prefixStart = word("!re").size();
        QCOMPARE(static_cast<unsigned char>(reply[prefixStart]) & 0xC0, 0x80);
        Sentence parsed(reply.left(prefixStart + 1));
        QVERIFY(!parsed.isDone);
        QCOMPARE(parsed.SentenceData, Rows {Row()});
        parsed.feed(reply.mid(prefixStart + 1));
        QVERIFY(parsed.isDone);
        QCOMPARE(parsed.SentenceData, (Rows {{{"comment", QString(200, QLatin1Char('x'))}}}));
    }

    void largeReplyInSocketSizedReadsMatchesOneBuffer()
    {
        const int rowCount = 10000;
        const QByteArray reply = mixedReply(rowCount);
        QList<QByteArray> pieces;
        for (qsizetype at = 0; at < reply.size(); at += 4096)
            pieces.append(reply.mid(at, 4096));
        QVERIFY(pieces.size() > 100);
        const Sentence whole(reply);
        const Sentence pieced = parsePieces(pieces);
        QVERIFY(whole.isDone);
        QVERIFY(pieced.isDone);
        QCOMPARE(whole.SentenceData.size(), rowCount);
        QCOMPARE(pieced.SentenceData, whole.SentenceData);
        QCOMPARE(pieced.SentenceData, mixedRows(rowCount));
    }
};

ORVANTA_TEST_MAIN(TestSentence)
#include "tst_sentence.moc"
