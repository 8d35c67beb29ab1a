// Start-up against hostile files, through the real binary: a FIFO or a
// device where a file is expected, a huge file named as a profile, an
// association text of any length, the leftover of an interrupted save and
// a log past its bound. Nothing hangs, nothing grows without bound, and
// SIGTERM still ends the program through its exit handler.
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include "icc_profiles.h"
#include "temp_app_dir.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

const QByteArray defaultSettings =
    "[1.05]\ndefCPAssocMode = 1\nloadLinearCurveByDefault = 1\nloadLinearCurveOnExit = 1\n"
    "lockLoadedProfiles = 1\npollingPeriod = 1000\nLUTBitDepth = 0\nenableTrayIcon = 1\n"
    "checkForUpdates = 0\nupdateAvailable = 0\nrunOnStartup = 0";

const QByteArray separator =
    "\n\n---------------------------------------------------------------\n\n\n";

// A tree with one monitor whose one mode is associated with `association`.
QByteArray treeWith(const QByteArray& association) {
    return "<v1.04>\n<Monitor>\nMONITOR\\ABC1234\\{class}\\0001\nkey-1\nMonitor One\n"
           "Adapter One\n<Resolution>\n800 600\n<Mode>\n32\n0\n60\n\"" +
           association + "\"\n</Mode>\n</Resolution>\n</Monitor>";
}

bool makeFifo(const QString& path) {
#ifdef Q_OS_UNIX
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
#else
    Q_UNUSED(path);
    return false;
#endif
}

// The program running with "-hide" (it stays in the tray) until start-up
// has logged its last line, then ended with SIGTERM as a logout would.
struct HiddenRun {
    bool startedUp = false;  // start-up reached the command line
    qint64 startUpMs = -1;   // from the start to there
    qint64 peakKiB = -1;     // the process's peak resident memory then
    bool ended = false;      // SIGTERM ended it, with exit code 0
    QString log;
};

qint64 peakResidentKiB(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

HiddenRun runHidden(TempAppDir& dir, const QByteArray& lastStartUpLine) {
    HiddenRun r;
    QProcess p;
    p.setProcessEnvironment(dir.isolatedEnvironment());
    p.setWorkingDirectory(dir.path());
    QElapsedTimer timer;
    timer.start();
    p.start(dir.binaryPath(), {"-hide"});
    if (!p.waitForStarted(5000))
        return r;
    while (timer.elapsed() < 20000) {
        if (dir.readFile("Log.txt").contains(lastStartUpLine)) {
            r.startedUp = true;
            r.startUpMs = timer.elapsed();
            break;
        }
        if (p.state() != QProcess::Running)
            break;
        QTest::qWait(5);
    }
    r.peakKiB = peakResidentKiB(p.processId());
    p.terminate();
    if (p.waitForFinished(10000)) {
        r.ended = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    } else {
        p.kill();
        p.waitForFinished(5000);
    }
    r.log = dir.normalisedLog();
    return r;
}

const QByteArray settingsRead = "Successfully loaded all settings.";
// The exit handler's first and last lines (a loaded tree adds its linear
// ramps between them).
bool endsThroughTheExitHandler(const QString& log) {
    return log.count("\n[TS]Application exit called.\n\n") == 1 &&
           log.endsWith("Exiting application...\n");
}

}  // namespace

class TestStartupHostile : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        TempAppDir probe;
        if (!probe.installBinary())
            QFAIL("the tavrin binary was not found (TAVRIN_BINARY)");
#ifndef Q_OS_LINUX
        QSKIP("FIFOs, devices and /proc: Linux only");
#endif
    }

    void fifoNamedAsAProfile() {
        TempAppDir dir;
        QVERIFY(dir.installBinary());
        const QString fifo = dir.filePath("profile.icc");
        QVERIFY(makeFifo(fifo));
        dir.writeFile("Tree.txt", treeWith(fifo.toUtf8()));
        dir.writeFile("Settings.txt", defaultSettings);
        const HiddenRun r = runHidden(dir, settingsRead);
        QVERIFY2(r.startedUp, qPrintable(r.log));
        QVERIFY(r.ended);
        QVERIFY2(r.log.contains("[TS]Found existing Tree.\nFailed to parse color profile: " + fifo +
                                "\n(the file cannot be read)\n\nSuccessfully loaded Tree.\n\n"),
                 qPrintable(r.log));
        QVERIFY(endsThroughTheExitHandler(r.log));
    }

    void treeFileThatIsNotRegular_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("link to /dev/zero") << "zero";
    }

    void treeFileThatIsNotRegular() {
        QFETCH(QString, kind);
        TempAppDir dir;
        QVERIFY(dir.installBinary());
        if (kind == "fifo")
            QVERIFY(makeFifo(dir.filePath("Tree.txt")));
        else
            QVERIFY(QFile::link("/dev/zero", dir.filePath("Tree.txt")));
        dir.writeFile("Settings.txt", defaultSettings);
        const HiddenRun r = runHidden(dir, settingsRead);
        QVERIFY2(r.startedUp, qPrintable(r.log));
        QVERIFY(r.ended);
        QVERIFY2(r.log.contains("[TS]Found existing Tree.\nFailed to load Tree.\n\n"),
                 qPrintable(r.log));
        QVERIFY(endsThroughTheExitHandler(r.log));
    }

    void fifoAsTheSettingsFile() {
        TempAppDir dir;
        QVERIFY(dir.installBinary());
        QVERIFY(makeFifo(dir.filePath("Settings.txt")));
        const HiddenRun r = runHidden(dir, "Successfully saved Settings.");
        QVERIFY2(r.startedUp, qPrintable(r.log));
        QVERIFY(r.ended);
        QVERIFY2(r.log.contains("[TS]Found existing Settings file.\nFailed to load all settings. "
                                "Using default settings for those that failed to load.\n\n"
                                "Saving Settings...\nSuccessfully saved Settings.\n\n"),
                 qPrintable(r.log));
        // The rewrite put a regular file in its place.
        QVERIFY(QFileInfo(dir.filePath("Settings.txt")).isFile());
        QVERIFY(dir.readFile("Settings.txt").startsWith("[1.05]\ndefCPAssocMode = 1\n"));
        QVERIFY(endsThroughTheExitHandler(r.log));
    }

    // A sparse 3 GB file named as a profile is never read whole: the
    // program's memory stays what it is with a small profile (its start-up
    // time is printed here and measured in bench/).
    void hugeSparseFileNamedAsAProfile() {
        auto runWith = [](const QByteArray& profileStart, qint64 size) {
            TempAppDir dir;
            if (!dir.installBinary())
                return HiddenRun{};
            QFile profile(dir.filePath("huge.icc"));
            if (!profile.open(QIODevice::WriteOnly) ||
                profile.write(profileStart) != profileStart.size() || !profile.resize(size))
                return HiddenRun{};
            profile.close();
            dir.writeFile("Tree.txt", treeWith(profile.fileName().toUtf8()));
            dir.writeFile("Settings.txt", defaultSettings);
            return runHidden(dir, settingsRead);
        };
        const QByteArray valid = icc::tableProfile(icc::linearCurves());
        const HiddenRun small = runWith(valid, valid.size());
        QVERIFY2(small.startedUp, qPrintable(small.log));
        QVERIFY(small.log.contains("Successfully parsed color profile: "));
        const qint64 huge = 3LL * 1000 * 1000 * 1000;
        for (const QByteArray& start : {QByteArray(), valid}) {
            const HiddenRun r = runWith(start, huge);
            if (!r.startedUp && r.log.isEmpty())
                QSKIP("the temporary file system cannot hold a sparse 3 GB file");
            QVERIFY2(r.startedUp, qPrintable(r.log));
            QVERIFY(r.ended);
            QVERIFY(r.log.contains(start.isEmpty() ? "Failed to parse color profile: "
                                                   : "Successfully parsed color profile: "));
            qInfo(
                "start-up with a 3 GB %s: %lld ms, peak %lld KiB (small profile: %lld ms, "
                "%lld KiB)",
                start.isEmpty() ? "sparse file" : "padded profile", r.startUpMs, r.peakKiB,
                small.startUpMs, small.peakKiB);
            if (r.peakKiB >= 0 && small.peakKiB >= 0)
                QVERIFY2(r.peakKiB < small.peakKiB + 64 * 1024,
                         qPrintable(QString::number(r.peakKiB)));
        }
    }

    // A 10 MB association text is refused, and the log grows by less than
    // a kilobyte for it, at this start and at every later one.
    void tenMegabyteAssociation() {
        TempAppDir dir;
        QVERIFY(dir.installBinary());
        const QByteArray text = "/" + QByteArray(10 * 1024 * 1024, 'a');
        dir.writeFile("Settings.txt", defaultSettings);
        dir.writeFile("Tree.txt", treeWith("RED"));
        const qint64 plain = runHidden(dir, settingsRead).log.toUtf8().size();
        QFile::remove(dir.filePath("Log.txt"));
        dir.writeFile("Tree.txt", treeWith(text));
        const HiddenRun r = runHidden(dir, settingsRead);
        QVERIFY2(r.startedUp, qPrintable(r.log.left(2000)));
        QVERIFY(r.ended);
        const qint64 size = QFileInfo(dir.filePath("Log.txt")).size();
        qInfo("log of a run with a 10 MB association: %lld bytes (with RED: %lld)", size, plain);
        QVERIFY2(size < plain + 1024, qPrintable(QString::number(size)));
        QVERIFY(r.log.contains("Refused color profile path longer than the system allows (" +
                               QString::number(text.size()) + " characters): /" + QString(99, 'a') +
                               "...\n\n"));
    }

    void leftoverOfAnInterruptedSaveIsRemoved() {
        TempAppDir dir;
        QVERIFY(dir.installBinary());
        dir.writeFile("Settings.txt", defaultSettings);
        dir.writeFile("Settings.txt.aB3xYz", defaultSettings);
        dir.writeFile("Tree.txt.Q1w2E3", "<v1.04>");
        dir.writeFile("Notes.txt.aB3xYz", "not ours");
        TempAppDir::Run run = dir.run({"-end-after-start-up"}, 20000, dir.isolatedEnvironment());
        QVERIFY(run.finished);
        QVERIFY(!dir.exists("Settings.txt.aB3xYz"));
        QVERIFY(!dir.exists("Tree.txt.Q1w2E3"));
        QVERIFY(dir.exists("Notes.txt.aB3xYz"));
        QCOMPARE(dir.readFile("Settings.txt"), defaultSettings);
    }

    void logPastItsBoundIsRotatedAtStartUp() {
        TempAppDir dir;
        QVERIFY(dir.installBinary());
        dir.writeFile("Settings.txt", defaultSettings);
        const QByteArray earlier = QByteArray(16 * 1024 * 1024, 'x') + "\n";
        dir.writeFile("Log.txt", earlier);
        TempAppDir::Run run = dir.run({"-end-after-start-up"}, 20000, dir.isolatedEnvironment());
        QVERIFY(run.finished);
        QCOMPARE(QFileInfo(dir.filePath("Log.old.txt")).size(), qint64(earlier.size()));
        const QByteArray log = dir.readFile("Log.txt");
        QVERIFY(log.startsWith(separator + "["));
        QVERIFY(log.contains("Tavrin v1.05 launched."));
        QVERIFY(log.size() < 4096);
    }
};

QTEST_GUILESS_MAIN(TestStartupHostile)
#include "tst_startup_hostile.moc"
