// The log: its separator between runs, the timestamp, handles, the logged
// save and write groups from two threads.
#include <thread>

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "core/log.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& content) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) == content.size();
}

const QByteArray separator =
    "\n\n---------------------------------------------------------------\n\n\n";

constexpr int groupsPerThread = 2000;

// Threads A and B write groups of five lines at once: "begin A 0000", three
// lines of A, "end A"; the number counts each thread's groups.
void writeFromTwoThreads(Log& log) {
    auto writer = [&](char tag) {
        for (int n = 0; n < groupsPerThread; ++n) {
            LogGroup g = log.group();
            g << "begin " << tag << " " << QString("%1").arg(n, 4, 10, QChar('0')) << "\n";
            for (int line = 0; line < 3; ++line) g << tag << " line " << line << "\n";
            g << "end " << tag << "\n";
        }
    };
    std::thread a(writer, 'A');
    std::thread b(writer, 'B');
    a.join();
    b.join();
}

// Every group of both threads whole, each thread's in its order.
void checkGroupsOfTwoThreads(const QByteArray& text) {
    const QList<QByteArray> lines = text.split('\n');
    int next[2] = {0, 0};
    for (int i = 0; i + 4 < lines.size(); i += 5) {
        QVERIFY2(lines[i].startsWith("begin "), lines[i].constData());
        const char tag = lines[i].at(6);
        QCOMPARE(lines[i].mid(8).toInt(), next[tag - 'A']++);
        for (int k = 1; k <= 3; ++k) QCOMPARE(lines[i + k].front(), tag);
        QCOMPARE(lines[i + 4], QByteArray("end ") + tag);
    }
    QCOMPARE(next[0], groupsPerThread);
    QCOMPARE(next[1], groupsPerThread);
}

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
        // A failure also reaches the user, with the writer's reason.
        QStringList noticed;
        log.setSaveFailureNotice(
            [&](const QString& file, const QString& why) { noticed << file + ": " + why; });
        bool called = false;
        QCOMPARE(logSave(log, timestamped, what,
                         [&](QString& why) {
                             called = true;
                             why = "Disk full";
                             return result;
                         }),
                 result);
        QVERIFY(called);
        QCOMPARE(noticed, result ? QStringList() : QStringList{QString(what) + ": Disk full"});
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
        writeFromTwoThreads(log);
        checkGroupsOfTwoThreads(readAll(path));
    }

    void logPastItsLimitAtStartIsRotatedBeforeTheRun() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Log.txt");
        const QString old = dir.filePath("Log.old.txt");
        const QByteArray earlier(1001, 'x');
        QVERIFY(writeAll(path, earlier));
        QVERIFY(writeAll(old, "an older rotation\n"));
        {
            Log log(1000);
            log.open(path);
            log.group() << "this run\n";
        }
        // The older rotation is replaced; the new file begins with the
        // separator, as every run after the first.
        QCOMPARE(readAll(old), earlier);
        QCOMPARE(readAll(path), separator + "this run\n");

        // Below the limit it goes on.
        QVERIFY(writeAll(path, QByteArray(900, 'y')));
        {
            Log log(1000);
            log.open(path);
            log.group() << "next run\n";
        }
        QCOMPARE(readAll(old), earlier);
        QCOMPARE(readAll(path), QByteArray(900, 'y') + separator + "next run\n");
    }

    void logPassingItsLimitDuringARunIsRotatedAfterTheGroup() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Log.txt");
        const QString old = dir.filePath("Log.old.txt");
        Log log(100);
        log.open(path);
        QByteArray expectedOld;
        int n = 0;
        while (!QFile::exists(old)) {
            QVERIFY(n < 100);
            LogGroup g = log.group();
            const QByteArray line = "group " + QByteArray::number(n++) + "\n";
            g << line.constData();
            g.flush();  // a flush inside a group never rotates
            g << "second line\n";
            expectedOld += line + "second line\n";
        }
        // The group that passed the limit stays whole in the old file.
        QVERIFY(expectedOld.size() > 100);
        QCOMPARE(readAll(old), expectedOld);
        QCOMPARE(readAll(path), separator);
        log.group() << "after\n";
        QCOMPARE(readAll(path), separator + "after\n");
        QCOMPARE(Log::oldLogPath(path), old);
    }

    void oneGroupLargerThanTheLimitIsKeptWhole() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Log.txt");
        Log log(10);
        log.open(path);
        const QByteArray big(5000, 'b');
        log.group() << big.constData();
        QCOMPARE(readAll(dir.filePath("Log.old.txt")), big);
        QCOMPARE(readAll(path), separator);
    }

    void fileThatIsNotRegularIsNeverRotated() {
#ifdef Q_OS_UNIX
        Log log(1);
        log.open("/dev/null");
        for (int i = 0; i < 3; ++i) log.group() << "into nothing\n";
        QVERIFY(QFile::exists("/dev/null"));
        QVERIFY(!QFile::exists("/dev/null.old"));
#else
        QSKIP("POSIX only");
#endif
    }

    void aFifoAsLogNeverBlocksTheOpen() {
#ifdef Q_OS_UNIX
        QTemporaryDir dir;
        const QString path = dir.filePath("Log.txt");
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        // Nobody reads the FIFO: a blocking open would wait for ever.
        Log log;
        log.open(path);
        log.group() << "dropped\n";
#else
        QSKIP("POSIX only");
#endif
    }

    // Two threads write while the log passes its limit once: every group of
    // each is found whole, in its order, in the old file or the new one.
    void rotationLosesAndSplitsNothingWhileTwoThreadsWrite() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Log.txt");
        // 46 bytes a group, 184000 in all: one rotation.
        Log log(120000);
        log.open(path);
        writeFromTwoThreads(log);
        const QByteArray older = readAll(dir.filePath("Log.old.txt"));
        const QByteArray newer = readAll(path);
        QVERIFY(!older.isEmpty());
        QVERIFY(newer.startsWith(separator));
        QVERIFY(newer.size() < 120000);
        checkGroupsOfTwoThreads(older + newer.mid(separator.size()));
    }
};

QTEST_GUILESS_MAIN(TestLog)
#include "tst_log.moc"
