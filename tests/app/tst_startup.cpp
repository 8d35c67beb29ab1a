// Start-up through the real binary: a copy of `tavrin` in a temporary
// directory, run there as a user would, read back through "Log.txt".
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include "log_text.h"
#include "temp_app_dir.h"

namespace {

const QByteArray defaultSettings =
    "[1.05]\ndefCPAssocMode = 1\nloadLinearCurveByDefault = 1\nloadLinearCurveOnExit = 1\n"
    "lockLoadedProfiles = 1\npollingPeriod = 1000\nLUTBitDepth = 0\nenableTrayIcon = 1\n"
    "checkForUpdates = 0\nupdateAvailable = 0\nrunOnStartup = 0";

const QString settingsLines =
    "version = 1.05\ndefCPAssocMode = 1\nloadLinearCurveByDefault = 1\n"
    "loadLinearCurveOnExit = 1\nlockLoadedProfiles = 1\npollingPeriod = 1000\n"
    "LUTBitDepth = 0\nenableTrayIcon = 1\ncheckForUpdates = 0\nupdateAvailable = 0\n"
    "runOnStartup = 0\n";

const QString separator =
    "\n\n---------------------------------------------------------------\n\n\n";

QString normalised(const QByteArray& log) {
    return normalisedLogText(log);
}

QProcessEnvironment environmentIn(const TempAppDir& dir) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");  // no real monitor: the program sees no displays
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    env.insert("HOME", dir.path());
    return env;
}

const QString launch = "[TS]Tavrin v1.05 launched.\n\n\n[TS]No existing Tree found.\n\n";
const QString exitWithoutLoop = "\n[TS]Application exit called.\n\nExiting application...\n";
const QString exitLines =
    "\n[TS]Application exit called.\n\nStopping loop...\n\n"
    "Exiting application...\n";

}  // namespace

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        TempAppDir probe;
        if (!probe.installBinary())
            QFAIL("the tavrin binary was not found (TAVRIN_BINARY)");
    }

    // Any command line but the four valid ones ends the program after the
    // exit handler's lines, with or without a settings file, and never
    // starts the loop: the exit handler has nothing to stop and loads no
    // curve. Toolkit options are arguments like any other.
    void invalidCommandLineEndsWithoutStartingTheLoop_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("settingsFile");
        QTest::newRow("-x") << QStringList{"-x"} << true;
        QTest::newRow("-x, no settings file") << QStringList{"-x"} << false;
        QTest::newRow("-start -start") << QStringList{"-start", "-start"} << true;
        QTest::newRow("-hide -hide") << QStringList{"-hide", "-hide"} << true;
        QTest::newRow("three arguments") << QStringList{"-start", "-hide", "-x"} << true;
        QTest::newRow("-style fusion") << QStringList{"-style", "fusion"} << true;
    }
    void invalidCommandLineEndsWithoutStartingTheLoop() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, settingsFile);
        TempAppDir dir;
        QVERIFY(dir.installBinary());
        if (settingsFile)
            dir.writeFile("Settings.txt", defaultSettings);
        const QString oneRun =
            launch +
            (settingsFile ? "[TS]Found existing Settings file.\n" + settingsLines +
                                "Successfully loaded all settings.\n\n"
                          : QString()) +
            exitWithoutLoop;
        for (int run = 0; run < 2; ++run) {
            TempAppDir::Run r = dir.run(arguments, 20000, environmentIn(dir));
            QVERIFY(r.finished);
            QCOMPARE(r.exitCode, 0);
            QCOMPARE(normalised(dir.readFile("Log.txt")),
                     run == 0 ? oneRun : oneRun + separator + oneRun);
        }
        // The settings file was read, not rewritten; none was made.
        QCOMPARE(dir.exists("Settings.txt"), settingsFile);
        if (settingsFile)
            QCOMPARE(dir.readFile("Settings.txt"), defaultSettings);
    }

    // "--help", "-h" and "--version" answer as any Linux program does, and
    // end before anything else: no log, no files.
    void informationOnTheCommandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("begins");
        QTest::newRow("--help") << QStringList{"--help"} << "Usage: tavrin [-start] [-hide]\n";
        QTest::newRow("-h") << QStringList{"-h"} << "Usage: tavrin [-start] [-hide]\n";
        QTest::newRow("-start --help") << QStringList{"-start", "--help"} << "Usage: tavrin";
        QTest::newRow("--version") << QStringList{"--version"} << "Tavrin 1.05\n";
    }
    void informationOnTheCommandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, begins);
        TempAppDir dir;
        QVERIFY(dir.installBinary());
        QProcess p;
        p.setProcessEnvironment(environmentIn(dir));
        p.start(dir.binaryPath(), arguments);
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 0);
        const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
        QVERIFY2(out.startsWith(begins), qPrintable(out));
        if (begins.startsWith("Usage"))
            QVERIFY(out.contains("man tavrin"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                 QStringList{"tavrin"});
    }

    // Before first-time setup is answered nothing the user set up elsewhere
    // is changed: not even this executable's own run-at-login entry.
    void firstStartLeavesTheRunAtLoginEntryAlone() {
        TempAppDir dir;
        QVERIFY(dir.installBinary());
        const QByteArray entry = "[Desktop Entry]\nType=Application\nName=Tavrin\nExec=\"" +
                                 QFile::encodeName(dir.binaryPath()) + "\" -start\n";
        QVERIFY(QDir(dir.path()).mkpath("config/autostart"));
        dir.writeFile("config/autostart/tavrin.desktop", entry);
        QProcess p;
        p.setProcessEnvironment(environmentIn(dir));
        p.start(dir.binaryPath(), {});
        QVERIFY(p.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(dir.readFile("Log.txt").contains("No existing Settings file"),
                                 10000);
        p.terminate();
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(dir.readFile("config/autostart/tavrin.desktop"), entry);
    }

    // One Tavrin per folder of files: a copy with files of its own runs
    // beside another, and a socket left by a killed process does not keep
    // the next start from running.
    void copiesOfTheirOwnAndAKilledOne() {
        TempAppDir a, b;
        for (TempAppDir* dir : {&a, &b}) {
            QVERIFY(dir->installBinary());
            dir->writeFile("Settings.txt", defaultSettings);
        }
        const auto startIn = [](TempAppDir& dir, QProcess& p) {
            p.setProcessEnvironment(environmentIn(dir));
            p.start(dir.binaryPath(), {"-hide"});
            return p.waitForStarted();
        };
        const auto launches = [](const TempAppDir& dir) {
            return dir.readFile("Log.txt").count(" launched.");
        };
        QProcess first, beside, again;
        QVERIFY(startIn(a, first));
        QTRY_VERIFY_WITH_TIMEOUT(a.readFile("Log.txt").contains("Successfully loaded all"), 10000);
        QVERIFY(startIn(b, beside));
        QTRY_VERIFY_WITH_TIMEOUT(b.readFile("Log.txt").contains("Successfully loaded all"), 10000);
        QVERIFY(first.state() == QProcess::Running && beside.state() == QProcess::Running);

        first.kill();  // no exit handler, the socket stays behind
        QVERIFY(first.waitForFinished(10000));
        QVERIFY(startIn(a, again));
        QTRY_COMPARE_WITH_TIMEOUT(launches(a), 2, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(a.readFile("Log.txt").count("Successfully loaded all") == 2, 10000);
        QVERIFY(again.state() == QProcess::Running);
        for (QProcess* p : {&again, &beside}) {
            p->terminate();
            QVERIFY(p->waitForFinished(10000));
            QCOMPARE(p->exitCode(), 0);
        }
        QCOMPARE(launches(b), 1);
    }

    void terminatedProgramRunsItsExitHandlerOnce() {
        TempAppDir dir;
        QVERIFY(dir.installBinary());
        dir.writeFile("Settings.txt", defaultSettings);
        QProcess p;
        p.setProcessEnvironment(environmentIn(dir));
        p.setWorkingDirectory(dir.path());
        p.start(dir.binaryPath(), {"-hide", "-start"});
        QVERIFY(p.waitForStarted());
        // Wait until start-up has read its settings, then end it as a
        // session's logout would.
        QTRY_VERIFY_WITH_TIMEOUT(dir.readFile("Log.txt").contains("Successfully loaded all"),
                                 10000);
        p.terminate();
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        const QString log = normalised(dir.readFile("Log.txt"));
        QVERIFY2(log.endsWith(exitLines), qPrintable(log));
        QCOMPARE(log.count("Application exit called."), 1);
        QVERIFY(log.contains("\n[TS]Start loop called.\n\n"));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
