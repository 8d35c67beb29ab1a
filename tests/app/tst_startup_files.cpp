// Start-up with the program's files: the settings file read (or refused and
// rewritten) and the tree file loaded, through the real binary in a
// temporary directory, read back through "Log.txt" and the files on disk.
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include "log_text.h"
#include "temp_app_dir.h"

namespace {

const QStringList keys = {"defCPAssocMode",        "loadLinearCurveByDefault",
                          "loadLinearCurveOnExit", "lockLoadedProfiles",
                          "pollingPeriod",         "LUTBitDepth",
                          "enableTrayIcon",        "checkForUpdates",
                          "updateAvailable",       "runOnStartup"};
const QStringList defaults = {"1", "1", "1", "1", "1000", "0", "1", "1", "0", "0"};

// A settings file as the program writes it, with some values replaced.
QByteArray settingsFile(const QMap<QString, QString>& values = {},
                        const QString& header = "[1.05]") {
    QStringList lines;
    if (!header.isEmpty())
        lines << header;
    for (int i = 0; i < keys.size(); ++i)
        lines << keys[i] + " = " + values.value(keys[i], defaults[i]);
    return lines.join('\n').toUtf8();
}

QString normalised(const QByteArray& log) {
    return normalisedLogText(log);
}

// What start-up logged about the settings: from its "Found existing
// Settings file." line to the exit handler's first line.
QString settingsPart(const QString& log) {
    const int from = log.indexOf("[TS]Found existing Settings file.\n");
    const int to = log.indexOf("\n[TS]Application exit called.");
    if (from < 0 || to < 0)
        return "no settings part in:\n" + log;
    return log.mid(from, to - from);
}

QProcessEnvironment environmentIn(const TempAppDir& dir) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    env.insert("HOME", dir.path());
    return env;
}

// Runs the binary with an argument that ends it right after start-up.
QString runOnce(TempAppDir& dir) {
    TempAppDir::Run run = dir.run({"-end-after-start-up"}, 20000, environmentIn(dir));
    if (!run.finished || run.exitCode != 0)
        return "the program did not end normally";
    return normalised(dir.readFile("Log.txt"));
}

QString keyLines(const QStringList& values, const QString& updateSuffix = {}) {
    QString text;
    for (int i = 0; i < keys.size(); ++i)
        text +=
            keys[i] + " = " + values[i] + (keys[i] == "updateAvailable" ? updateSuffix : "") + "\n";
    return text;
}

const QString loaded = "Successfully loaded all settings.\n\n";
const QString failed =
    "Failed to load all settings. Using default settings for those that failed to load.\n\n"
    "Saving Settings...\nSuccessfully saved Settings.\n\n";

}  // namespace

class TestStartupFiles : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        TempAppDir probe;
        if (!probe.installBinary())
            QFAIL("the tavrin binary was not found (TAVRIN_BINARY)");
    }

    void settings_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<QByteArray>("afterwards");

        const QByteArray written = settingsFile();
        const QString found = "[TS]Found existing Settings file.\n";
        QTest::newRow("as written")
            << written << found + "version = 1.05\n" + keyLines(defaults) + loaded << written;

        QByteArray shuffled = "[1.05]\n\n\trunOnStartup = 2\n   pollingPeriod = 250\n\n";
        for (int i = 0; i < keys.size(); ++i)
            if (keys[i] != "runOnStartup" && keys[i] != "pollingPeriod")
                shuffled += (keys[i] + " = " + defaults[i] + "\n\n").toUtf8();
        shuffled.chop(2);
        QString shuffledLines = "version = 1.05\nrunOnStartup = 2\npollingPeriod = 250\n";
        for (int i = 0; i < keys.size(); ++i)
            if (keys[i] != "runOnStartup" && keys[i] != "pollingPeriod")
                shuffledLines += keys[i] + " = " + defaults[i] + "\n";
        QTest::newRow("another order, blank lines")
            << shuffled << found + shuffledLines + loaded << shuffled;

        QTest::newRow("line break after the last value")
            << written + "\n"
            << found + "version = 1.05\n" + keyLines(defaults) + failed << written;

        const QByteArray headless = settingsFile({{"updateAvailable", "1"}}, "");
        QTest::newRow("no header, update clamped")
            << headless << found + keyLines(defaults, " (clamped)") + loaded << headless;

        const QByteArray older = settingsFile({{"updateAvailable", "1"}}, "[1.04]");
        QTest::newRow("header 1.04")
            << older << found + "version = 1.04\n" + keyLines(defaults, " (clamped)") + loaded
            << older;

        QTest::newRow("header 1.06 is refused whole")
            << settingsFile({{"pollingPeriod", "5"}}, "[1.06]") << found + failed << written;

        QTest::newRow("bit depth 16")
            << settingsFile({{"defCPAssocMode", "0"},
                             {"pollingPeriod", "77"},
                             {"LUTBitDepth", "16"},
                             {"enableTrayIcon", "0"}})
            << found +
                   "version = 1.05\ndefCPAssocMode = 0\nloadLinearCurveByDefault = 1\n"
                   "loadLinearCurveOnExit = 1\nlockLoadedProfiles = 1\npollingPeriod = 77\n" +
                   failed
            << settingsFile({{"defCPAssocMode", "0"}, {"pollingPeriod", "77"}});

        QTest::newRow("polling period -1")
            << settingsFile({{"pollingPeriod", "-1"}})
            << found +
                   "version = 1.05\ndefCPAssocMode = 1\nloadLinearCurveByDefault = 1\n"
                   "loadLinearCurveOnExit = 1\nlockLoadedProfiles = 1\n" +
                   failed
            << written;
    }

    void settings() {
        QFETCH(QByteArray, file);
        QFETCH(QString, logged);
        QFETCH(QByteArray, afterwards);
        TempAppDir dir;
        QVERIFY(dir.installBinary());
        dir.writeFile("Settings.txt", file);
        const QString log = runOnce(dir);
        QCOMPARE(settingsPart(log), logged);
        QCOMPARE(dir.readFile("Settings.txt"), afterwards);
    }

    void twoStartsGiveBackTheSameTreeAndSettings() {
        TempAppDir dir;
        QVERIFY(dir.installBinary());
        const QByteArray tree =
            "<v1.04>\n<Monitor>\nMONITOR\\ABC1234\\{class}\\0001\nkey-1\nMonitor One\nAdapter One\n"
            "<global>\nRED\n</Monitor>\n<Monitor>\nMONITOR\\DEF5678\\{class}\\0002\nkey-2\n"
            "Monitor Two\nAdapter Two\n<Resolution>\n1920 1080\n<Mode>\n32\n0\n60\n\"LINEAR\"\n"
            "</Mode>\n<Mode>\n32\n0\n50\n\n</Mode>\n</Resolution>\n</Monitor>";
        const QByteArray settings =
            settingsFile({{"pollingPeriod", "1500"}, {"LUTBitDepth", "10"}});
        dir.writeFile("Tree.txt", tree);
        dir.writeFile("Settings.txt", settings);
        for (int run = 0; run < 2; ++run) {
            const QString log = runOnce(dir);
            QCOMPARE(log.count("[TS]Found existing Tree.\nSuccessfully loaded Tree.\n\n"), run + 1);
            QCOMPARE(log.count(loaded), run + 1);
            QCOMPARE(dir.readFile("Tree.txt"), tree);
            QCOMPARE(dir.readFile("Settings.txt"), settings);
        }
    }

    void profileGoneBeforeStartUpKeepsItsAssociation() {
        TempAppDir dir;
        QVERIFY(dir.installBinary());
        const QString gone = dir.filePath("profiles/gone.icc");
        dir.writeFile("Tree.txt",
                      "<v1.04>\n<Monitor>\nMONITOR\\ABC1234\\{class}\\0001\nkey-1\nMonitor One\n"
                      "Adapter One\n<Resolution>\n800 600\n<Mode>\n32\n0\n60\n\"" +
                          gone.toUtf8() + "\"\n</Mode>\n</Resolution>\n</Monitor>");
        dir.writeFile("Settings.txt", settingsFile());
        const QString log = runOnce(dir);
        QVERIFY2(log.contains("[TS]Found existing Tree.\nFailed to parse color profile: " + gone +
                              "\n(the file does not exist)\n\nSuccessfully loaded Tree.\n\n"),
                 qPrintable(log));
    }

    // Neither the executable's directory nor the user's data directory can
    // be written: start-up says so on standard error (and in a message box)
    // and runs on. As root, whom no permission stops, it runs as nobody.
    void unwritableDataDirectoryIsReported() {
        TempAppDir dir;
        QVERIFY(dir.installBinary());
        QVERIFY(QDir(dir.path()).mkpath("home"));
        for (const QString& d : {dir.path(), dir.filePath("home")})
            QVERIFY(QFile::setPermissions(d, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                                 QFile::ExeGroup | QFile::ReadOther |
                                                 QFile::ExeOther));
        QProcessEnvironment env = environmentIn(dir);
        env.insert("HOME", dir.filePath("home"));
        env.insert("XDG_RUNTIME_DIR", dir.filePath("home"));
        QStringList command{dir.binaryPath()};
        if (geteuid() == 0)
            command = QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"} +
                      command;
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(command.takeFirst(), command);
        QVERIFY(p.waitForStarted());
        const QString expected = "Tavrin cannot write its files in " +
                                 dir.filePath("home/.local/share/Tavrin") +
                                 ": the folder cannot be created.\n";
        QByteArray errors;
        QTRY_VERIFY_WITH_TIMEOUT((errors += p.readAllStandardError()).contains(expected.toUtf8()) ||
                                     p.state() != QProcess::Running,
                                 10000);
        QVERIFY2(p.state() == QProcess::Running, "the program ended");
        p.terminate();
        QVERIFY(p.waitForFinished(10000));
        QVERIFY(!dir.exists("Log.txt"));
        for (const QString& d : {dir.path(), dir.filePath("home")})
            QVERIFY(QFile::setPermissions(d, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    // The developers' diagnostics (how a profile was read) are silent
    // unless QT_LOGGING_RULES asks for them.
    void debugOutputIsSilentByDefault_data() {
        QTest::addColumn<QString>("rules");
        QTest::addColumn<bool>("diagnostics");
        QTest::newRow("no rules") << QString() << false;
        QTest::newRow("tavrin.debug=true") << "tavrin.debug=true" << true;
    }
    void debugOutputIsSilentByDefault() {
        QFETCH(QString, rules);
        QFETCH(bool, diagnostics);
        TempAppDir dir;
        QVERIFY(dir.installBinary());
        dir.writeFile("profile.icc", "not a profile at all");
        dir.writeFile("Tree.txt", "<v1.04>\n<Monitor>\nID\nkey\nMonitor\nAdapter\n<global>\n" +
                                      QFile::encodeName(dir.filePath("profile.icc")) +
                                      "\n</Monitor>");
        dir.writeFile("Settings.txt", settingsFile());
        QProcessEnvironment env = environmentIn(dir);
        env.remove("QT_LOGGING_RULES");
        if (!rules.isEmpty())
            env.insert("QT_LOGGING_RULES", rules);
        const TempAppDir::Run run = dir.run({"-end-after-start-up"}, 20000, env);
        QVERIFY(run.finished);
        QCOMPARE(run.output.contains("File opened successfully"), diagnostics);
        QVERIFY(dir.readFile("Log.txt").contains("(the file is not an RGB display profile)"));
    }

    void unreadableTreeFailsAndStartUpGoesOn() {
        TempAppDir dir;
        QVERIFY(dir.installBinary());
        dir.writeFile("Tree.txt", "<v1.04> \n<Monitor>\n");
        dir.writeFile("Settings.txt", settingsFile());
        const QString log = runOnce(dir);
        QVERIFY2(log.contains("[TS]Found existing Tree.\nFailed to load Tree.\n\n"),
                 qPrintable(log));
        QVERIFY(log.contains(loaded));
        // Nothing is saved at start-up: the file stays for the user to see.
        QCOMPARE(dir.readFile("Tree.txt"), QByteArray("<v1.04> \n<Monitor>\n"));
    }
};

QTEST_GUILESS_MAIN(TestStartupFiles)
#include "tst_startup_files.moc"
