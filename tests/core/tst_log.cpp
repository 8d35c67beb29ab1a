// The log: its separator between runs, the timestamp, handles, the logged
// save and write groups from two threads.
#include <thread>

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "core/log.h"

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QByteArray separator =
    "\n\n---------------------------------------------------------------\n\n\n";

}  // namespace

class TestLog : public QObject {
    Q_OBJECT

private slots:
    void newLogHasNoSeparatorAndExistingOneGetsIt() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Log.txt");
        {
            Log log;
            log.open(path);
            log.group() << "first run\n";
        }
        QCOMPARE(readAll(path), QByteArray("first run\n"));
        {
            Log log;
            log.open(path);
            log.group() << "second run\n";
        }
        QCOMPARE(readAll(path), QByteArray("first run\n") + separator + "second run\n");
    }

    void timestampIsFixedFormAndFollowedByText() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Log.txt");
        Log log;
        log.open(path);
        {
            LogGroup g = log.group();
            g.timestamp() << "Saving Tree...\n";
        }
        const QByteArray text = readAll(path);
        static const QRegularExpression stamp(
            "^\\[\\d{4}-\\d{2}-\\d{2}\\.\\d{2}:\\d{2}:\\d{2}\\]Saving Tree\\.\\.\\.\\n$");
        QVERIFY2(stamp.match(QString::fromUtf8(text)).hasMatch(), text.constData());
    }

    void handlesAreLowercaseHexWithPrefix_data() {
        QTest::addColumn<quintptr>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("null") << quintptr(0) << QString("0x0");
        QTest::newRow("small") << quintptr(0x1a2b) << QString("0x1a2b");
        QTest::newRow("large") << quintptr(0xdeadbeefULL) << QString("0xdeadbeef");
    }

    void handlesAreLowercaseHexWithPrefix() {
        QFETCH(quintptr, value);
        QFETCH(QString, text);
        QCOMPARE(Log::handleText(reinterpret_cast<const void*>(value)), text);
    }

    void loggedSaveHasItsShapeOnSuccessAndFailure_data() {
        QTest::addColumn<bool>("timestamped");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("expected");
        QTest::newRow("tree saved")
            << true << true << "STAMPSaving Tree...\nSuccessfully saved Tree.\n\n";
        QTest::newRow("tree failed")
            << true << false << "STAMPSaving Tree...\nFailed to save Tree.\n\n";
        QTest::newRow("settings saved")
            << false << true << "Saving Settings...\nSuccessfully saved Settings.\n\n";
    }

    void loggedSaveHasItsShapeOnSuccessAndFailure() {
        QFETCH(bool, timestamped);
        QFETCH(bool, result);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath("Log.txt");
        Log log;
        log.open(path);
        const char* what = timestamped ? "Tree" : "Settings";
        bool called = false;
        QCOMPARE(logSave(log, timestamped, what,
                         [&] {
                             called = true;
                             return result;
                         }),
                 result);
        QVERIFY(called);
        QString text = QString::fromUtf8(readAll(path));
        text.replace(QRegularExpression("^\\[[^\\]]+\\]"), "STAMP");
        QCOMPARE(text, expected);
    }

    void unopenedLogDropsWrites() {
        Log log;
        LogGroup g = log.group();
        g.timestamp() << "nothing" << 12 << 34u;
        g.endl();  // must neither crash nor warn
    }

    void groupsOfTwoThreadsNeverInterleave() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Log.txt");
        Log log;
        log.open(path);
        constexpr int groups = 2000;
        auto writer = [&](char tag) {
            for (int n = 0; n < groups; ++n) {
                LogGroup g = log.group();
                g << "begin " << tag << "\n";
                for (int line = 0; line < 3; ++line) g << tag << " line " << line << "\n";
                g << "end " << tag << "\n";
            }
        };
        std::thread a(writer, 'A');
        std::thread b(writer, 'B');
        a.join();
        b.join();
        const QList<QByteArray> lines = readAll(path).split('\n');
        int counts[2] = {0, 0};
        for (int i = 0; i + 4 < lines.size(); i += 5) {
            QVERIFY(lines[i].startsWith("begin "));
            const char tag = lines[i].back();
            for (int k = 1; k <= 3; ++k) QCOMPARE(lines[i + k].front(), tag);
            QCOMPARE(lines[i + 4], QByteArray("end ") + tag);
            ++counts[tag - 'A'];
        }
        QCOMPARE(counts[0], groups);
        QCOMPARE(counts[1], groups);
    }
};

QTEST_GUILESS_MAIN(TestLog)
#include "tst_log.moc"
