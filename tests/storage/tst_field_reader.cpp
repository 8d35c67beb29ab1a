// readField and parseDecimal, the tree file's reading primitives.
#include <QTest>

#include "storage/field_reader.h"

class TestFieldReader : public QObject {
    Q_OBJECT

private slots:
    void readField_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("limit");
        QTest::addColumn<char>("delimiter");
        // The fields read one after another until the data ends, joined by |.
        QTest::addColumn<QByteArray>("fields");

        QTest::newRow("lines") << QByteArray("ab\ncd\n") << 1000 << '\n' << QByteArray("ab|cd");
        QTest::newRow("last line without line end") << QByteArray("ab\ncd") << 1000 << '\n'
                                                    << QByteArray("ab|cd");
        QTest::newRow("empty lines") << QByteArray("\n\nx") << 1000 << '\n' << QByteArray("||x");
        QTest::newRow("limit leaves the rest for the next read")
            << QByteArray("abcdefg\nh") << 4 << '\n'
            << QByteArray("abc|def|g|h");
        QTest::newRow("limit meets the line end") << QByteArray("abc\nd") << 4 << '\n'
                                                  << QByteArray("abc||d");
        QTest::newRow("blank delimiter")
            << QByteArray("640 480") << 1000 << ' ' << QByteArray("640|480");
        QTest::newRow("CR LF is a line end") << QByteArray("ab\r\ncd\r\n") << 1000 << '\n'
                                             << QByteArray("ab|cd");
        QTest::newRow("every CR is dropped") << QByteArray("a\rb\r\r\n") << 1000 << '\n'
                                             << QByteArray("ab");
        QTest::newRow("CRs at the end are the end") << QByteArray("<v1.04>\r\r") << 1000 << '\n'
                                                    << QByteArray("<v1.04>");
        QTest::newRow("quote delimiter")
            << QByteArray("C:\\x.icc\"\n") << 1000 << '"' << QByteArray("C:\\x.icc|\n");
    }

    void readField() {
        QFETCH(QByteArray, data);
        QFETCH(int, limit);
        QFETCH(char, delimiter);
        QFETCH(QByteArray, fields);
        ByteReader reader(data);
        QByteArrayList read;
        while (!reader.atEnd()) read << ::readField(reader, limit, delimiter);
        QCOMPARE(read.join('|'), fields);
    }

    void smallLimitReadsNothing() {
        for (int limit : {1, 0, -5}) {
            ByteReader reader("abc");
            QCOMPARE(::readField(reader, limit, '\n'), QByteArray());
            QCOMPARE(::readField(reader, 1000, '\n'), QByteArray("abc"));
        }
    }

    void readAtEndIsEmpty() {
        ByteReader reader("x");
        QCOMPARE(::readField(reader, 1000, '\n'), QByteArray("x"));
        QVERIFY(reader.atEnd());
        QCOMPARE(::readField(reader, 1000, '\n'), QByteArray());
    }

    void parseDecimal_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<quint64>("value");
        QTest::newRow("empty") << QByteArray() << quint64(0);
        QTest::newRow("zero") << QByteArray("0") << quint64(0);
        QTest::newRow("leading zeros") << QByteArray("0075") << quint64(75);
        QTest::newRow("1920") << QByteArray("1920") << quint64(1920);
        QTest::newRow("largest 32-bit") << QByteArray("4294967295") << quint64(4294967295u);
        QTest::newRow("no validation") << QByteArray("1:") << quint64(20);
    }

    void parseDecimal() {
        QFETCH(QByteArray, text);
        QFETCH(quint64, value);
        QCOMPARE(::parseDecimal(text), value);
    }

    // Beyond 32 bits the low 32 bits are those of a 32-bit accumulator.
    void parseDecimalWrapsLikeThirtyTwoBits() {
        QCOMPARE(static_cast<quint32>(::parseDecimal("4294967296")), 0u);
        QCOMPARE(static_cast<quint32>(::parseDecimal("4294967297")), 1u);
    }
};

QTEST_GUILESS_MAIN(TestFieldReader)
#include "tst_field_reader.moc"
