// Start-up through the real binary: a copy of `tavrin` in a temporary
// directory, run there as a user would, read back through "Log.txt".
#include <QRegularExpression>
#include <QTest>

#include "core/build_config.h"
#include "log_text.h"
#include "loopback_http_server.h"
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

// The loop thread's own "Looping..." line lands wherever the thread gets to
// write it; take it out (it must be there exactly `count` times).
QString withoutLoopLines(QString text, int count) {
    for (int n = 0; n < count; ++n) {
        int at = -1;
        for (int from = 0; (at = text.indexOf("Looping...\n\n", from)) >= 0; from = at + 1)
            if (at < 4 || text.mid(at - 4, 4) != "[TS]")
                break;
        if (at < 0)
            return "missing loop line in:\n" + text;
        text.remove(at, 12);
    }
    return text;
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

    void invalidArgumentEndsAfterExitLinesOnFirstAndSecondRun() {
        TempAppDir dir;
        QVERIFY(dir.installBinary());
        dir.writeFile("Settings.txt", defaultSettings);
        const QString oneRun = launch + "[TS]Looping...\n\n" +
                               "[TS]Found existing Settings file.\n" + settingsLines +
                               "Successfully loaded all settings.\n\n" + exitLines;

        TempAppDir::Run first = dir.run({"-x"}, 20000, environmentIn(dir));
        QVERIFY(first.finished);
        QCOMPARE(first.exitCode, 0);
        QCOMPARE(withoutLoopLines(normalised(dir.readFile("Log.txt")), 1), oneRun);

        TempAppDir::Run second = dir.run({"-x"}, 20000, environmentIn(dir));
        QVERIFY(second.finished);
        QCOMPARE(second.exitCode, 0);
        QCOMPARE(withoutLoopLines(normalised(dir.readFile("Log.txt")), 2),
                 oneRun + separator + oneRun);
        // The settings file was read, not rewritten.
        QCOMPARE(dir.readFile("Settings.txt"), defaultSettings);
    }

    void invalidPairEndsAfterStartingTheLoop_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("-start -start") << QStringList{"-start", "-start"};
        QTest::newRow("-hide -hide") << QStringList{"-hide", "-hide"};
    }

    void invalidPairEndsAfterStartingTheLoop() {
        QFETCH(QStringList, arguments);
        TempAppDir dir;
        QVERIFY(dir.installBinary());
        dir.writeFile("Settings.txt", defaultSettings);
        TempAppDir::Run run = dir.run(arguments, 20000, environmentIn(dir));
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
        // Two arguments start the loop through the toggle before the
        // command line is judged; the exit handler stops it again.
        QCOMPARE(withoutLoopLines(normalised(dir.readFile("Log.txt")), 1),
                 launch + "\n[TS]Start loop called.\n\n[TS]Found existing Settings file.\n" +
                     settingsLines + "Successfully loaded all settings.\n\n" + exitLines);
    }

    void threeArgumentsEndWithoutStartingTheLoop() {
        TempAppDir dir;
        QVERIFY(dir.installBinary());
        dir.writeFile("Settings.txt", defaultSettings);
        TempAppDir::Run run = dir.run({"-start", "-hide", "-x"}, 20000, environmentIn(dir));
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(normalised(dir.readFile("Log.txt")),
                 launch + "[TS]Found existing Settings file.\n" + settingsLines +
                     "Successfully loaded all settings.\n\n" +
                     "\n[TS]Application exit called.\n\nExiting application...\n");
    }

    void withoutSettingsTheCommandLineIsNotJudged() {
        TempAppDir dir;
        QVERIFY(dir.installBinary());
        // Runs until it is told to end; SIGTERM ends the event loop and the
        // exit handler still runs.
        QProcess p;
        p.setProcessEnvironment(environmentIn(dir));
        p.start(dir.binaryPath(), {"-x"});
        QVERIFY(p.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(dir.readFile("Log.txt").contains("No existing Settings file"),
                                 10000);
        QVERIFY(p.state() == QProcess::Running);
        p.terminate();
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 0);
        const QString log = normalised(dir.readFile("Log.txt"));
        QVERIFY2(log.startsWith(launch + "[TS]Looping...\n\n"), qPrintable(log));
        QVERIFY2(log.contains("[TS]No existing Settings file found. Showing first-time settings "
                              "widget.\n"),
                 qPrintable(log));
        QVERIFY(log.endsWith(exitLines));
        QVERIFY(!dir.exists("Settings.txt"));
    }

    void optionsOfTheToolkitAreArgumentsLikeAnyOther() {
        TempAppDir dir;
        QVERIFY(dir.installBinary());
        dir.writeFile("Settings.txt", defaultSettings);
        TempAppDir::Run run = dir.run({"-style", "fusion"}, 20000, environmentIn(dir));
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
        QVERIFY(normalised(dir.readFile("Log.txt")).endsWith(exitLines));
    }

    void firstUpdateCheck_data() {
        QTest::addColumn<bool>("checking");
        QTest::newRow("checking on") << true;
        QTest::newRow("checking off") << false;
    }
    void firstUpdateCheck() {
        QFETCH(bool, checking);
        if (!TAVRIN_UPDATE_CHECK)
            QSKIP("built without the update check");
        TempAppDir dir;
        QVERIFY(dir.installBinary());
        QByteArray settings = defaultSettings;
        if (checking)
            settings.replace("checkForUpdates = 0", "checkForUpdates = 1");
        dir.writeFile("Settings.txt", settings);
        LoopbackHttpServer server;
        server.answer(200, "1.06");
        QProcessEnvironment env = environmentIn(dir);
        env.insert("TAVRIN_TEST_UPDATE_URL", server.url().toString());
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(dir.binaryPath(), QStringList());
        QVERIFY(p.waitForStarted());
        if (checking) {
            QTRY_VERIFY_WITH_TIMEOUT(dir.readFile("Log.txt").contains("Update is available."),
                                     10000);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(dir.readFile("Log.txt").contains("Successfully loaded all"),
                                     10000);
            // Time for a request that must not come.
            QTest::qWait(1000);
        }
        p.terminate();
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(server.requests(), checking ? 1 : 0);
        const QString log = normalised(dir.readFile("Log.txt"));
        QCOMPARE(log.count("[TS]Update is available.\n\n"), checking ? 1 : 0);
        QVERIFY(dir.readFile("Settings.txt").contains(checking ? "updateAvailable = 1"
                                                               : "updateAvailable = 0"));
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
