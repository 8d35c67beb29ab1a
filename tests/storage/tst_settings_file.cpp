// The settings file: what the reader accepts and refuses, what it logs and
// stores, the exact bytes the writer produces, and saves that fail.
#include <QDir>
#include <QFile>
#include <QTest>

#include "file_write_failure.h"
#include "storage/settings_file.h"
#include "storage_workspace.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

using Entry = QPair<QByteArray, QByteArray>;
using Entries = QList<Entry>;

// Every key once, each value different from its initial value.
const Entries standardEntries = {
    {"defCPAssocMode", "0"},     {"loadLinearCurveByDefault", "0"}, {"loadLinearCurveOnExit", "0"},
    {"lockLoadedProfiles", "0"}, {"pollingPeriod", "250"},          {"LUTBitDepth", "8"},
    {"enableTrayIcon", "0"},     {"checkForUpdates", "0"},          {"updateAvailable", "1"},
    {"runOnStartup", "3"},
};

const QString initialSnapshot = QStringLiteral("1 1 1 1 1000 0 1 1 0 0");

Entries withValue(const QByteArray& key, const QByteArray& value,
                  Entries entries = standardEntries) {
    for (Entry& e : entries) {
        if (e.first == key)
            e.second = value;
    }
    return entries;
}

Entries without(const QByteArray& key, Entries entries = standardEntries) {
    entries.removeIf([&](const Entry& e) { return e.first == key; });
    return entries;
}

// The file as the writer lays it out: header (when given), then one line
// per entry, no line break after the last.
QByteArray settingsText(const QByteArray& header, const Entries& entries) {
    QByteArrayList lines;
    if (!header.isEmpty())
        lines << header;
    for (const Entry& e : entries) lines << e.first + " = " + e.second;
    return lines.join('\n');
}

// The log lines of the reader for `entries` stored in this order.
QString logLines(const QByteArray& version, const Entries& entries, bool clampUpdate) {
    QString text;
    if (!version.isEmpty())
        text += "version = " + version + "\n";
    for (const Entry& e : entries) {
        if (e.first == "updateAvailable" && clampUpdate) {
            text += "updateAvailable = 0 (clamped)\n";
        } else {
            text += e.first + " = " + QString::number(e.second.toLongLong(nullptr, 0)) + "\n";
        }
    }
    return text;
}

QString snapshot(const AppSettings& s) {
    return QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10")
        .arg(int(s.defCPAssocMode))
        .arg(int(s.loadLinearCurveByDefault.load()))
        .arg(int(s.loadLinearCurveOnExit))
        .arg(int(s.lockLoadedProfiles.load()))
        .arg(s.pollingPeriod.load())
        .arg(s.LUTBitDepth.load())
        .arg(int(s.enableTrayIcon))
        .arg(int(s.checkForUpdates))
        .arg(int(s.updateAvailable))
        .arg(s.runOnStartup);
}

QString settingsPath(const Workspace& w) {
    return w.path("Settings.txt");
}

const QByteArray initialFile =
    "[1.05]\n"
    "defCPAssocMode = 1\n"
    "loadLinearCurveByDefault = 1\n"
    "loadLinearCurveOnExit = 1\n"
    "lockLoadedProfiles = 1\n"
    "pollingPeriod = 1000\n"
    "LUTBitDepth = 0\n"
    "enableTrayIcon = 1\n"
    "checkForUpdates = 1\n"
    "updateAvailable = 0\n"
    "runOnStartup = 0";

}  // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT

private slots:
    void writesInitialValuesExactly() {
        Workspace w;
        AppSettings settings;
        QVERIFY(writeSettings(settingsPath(w), settings));
        QCOMPARE(readAll(settingsPath(w)), initialFile);
    }

    void readsBackWhatItWrote() {
        Workspace w;
        AppSettings written;
        written.pollingPeriod = 12345;
        written.LUTBitDepth = 10;
        written.updateAvailable = true;
        written.runOnStartup = 2;
        written.enableTrayIcon = false;
        QVERIFY(writeSettings(settingsPath(w), written));
        AppSettings read;
        QVERIFY(readSettings(settingsPath(w), read, w.log));
        QCOMPARE(snapshot(read), snapshot(written));
        QCOMPARE(w.logText(), QStringLiteral("version = 1.05\n"
                                             "defCPAssocMode = 1\n"
                                             "loadLinearCurveByDefault = 1\n"
                                             "loadLinearCurveOnExit = 1\n"
                                             "lockLoadedProfiles = 1\n"
                                             "pollingPeriod = 12345\n"
                                             "LUTBitDepth = 10\n"
                                             "enableTrayIcon = 0\n"
                                             "checkForUpdates = 1\n"
                                             "updateAvailable = 1\n"
                                             "runOnStartup = 2\n"));
    }

    void reads_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("logText");

        const QString full = "0 0 0 0 250 8 0 0 1 3";
        const QString fullClamped = "0 0 0 0 250 8 0 0 0 3";
        QTest::newRow("this version") << settingsText("[1.05]", standardEntries) << true << full
                                      << logLines("1.05", standardEntries, false);
        QTest::newRow("text after the closing bracket")
            << settingsText("[1.05]x", standardEntries) << true << full
            << logLines("1.05", standardEntries, false);

        Entries shuffled = standardEntries;
        std::reverse(shuffled.begin(), shuffled.end());
        QByteArray spaced = settingsText("[1.05]", shuffled);
        spaced.replace("\n", "\r\n\r\n\t  ");
        QTest::newRow("other order, blank lines, tabs, CR LF")
            << spaced << true << full << logLines("1.05", shuffled, false);

        QTest::newRow("trailing line break")
            << settingsText("[1.05]", standardEntries) + "\n"
            << false << full << logLines("1.05", standardEntries, false);
        QTest::newRow("trailing blank") << settingsText("[1.05]", standardEntries) + " " << false
                                        << full << logLines("1.05", standardEntries, false);

        QTest::newRow("no header") << settingsText({}, standardEntries) << true << fullClamped
                                   << logLines({}, standardEntries, true);
        const Entries updateOff = withValue("updateAvailable", "0");
        QTest::newRow("no header, update 0 is clamped too")
            << settingsText({}, updateOff) << true << fullClamped << logLines({}, updateOff, true);
        QTest::newRow("header 1.04") << settingsText("[1.04]", standardEntries) << true
                                     << fullClamped << logLines("1.04", standardEntries, true);
        QTest::newRow("header 1.5 equals 1.05 but is another text")
            << settingsText("[1.5]", standardEntries) << true << fullClamped
            << logLines("1.5", standardEntries, true);
        const QByteArray longVersion = "1." + QByteArray(97, '0');  // 99 characters
        QTest::newRow("version of 99 characters")
            << settingsText("[" + longVersion + "]", standardEntries) << true << fullClamped
            << logLines(longVersion, standardEntries, true);

        for (const char* header : {"[1.06]", "[2.0]", "[1.05.1]", "[1.10]", "[1.]", "[.5]",
                                   "[1..5]", "[1]", "[10]", "[1.05", "[]", "[1.0a]"}) {
            QTest::newRow(header) << settingsText(header, standardEntries) << false
                                  << initialSnapshot << QString();
        }
        QTest::newRow("version of 100 characters")
            << settingsText("[" + longVersion + "0]", standardEntries) << false << initialSnapshot
            << QString();

        const Entries beforeBitDepth = standardEntries.mid(0, 5);
        QTest::newRow("LUTBitDepth 16")
            << settingsText("[1.05]", withValue("LUTBitDepth", "16")) << false
            << "0 0 0 0 250 0 1 1 0 0" << logLines("1.05", beforeBitDepth, false);
        const Entries beforePeriod = standardEntries.mid(0, 4);
        QTest::newRow("pollingPeriod -1")
            << settingsText("[1.05]", withValue("pollingPeriod", "-1")) << false
            << "0 0 0 0 1000 0 1 1 0 0" << logLines("1.05", beforePeriod, false);
        const Entries zeroPeriod = withValue("pollingPeriod", "0");
        QTest::newRow("pollingPeriod 0")
            << settingsText("[1.05]", zeroPeriod) << true << "0 0 0 0 0 8 0 0 1 3"
            << logLines("1.05", zeroPeriod, false);
        QTest::newRow("runOnStartup 4")
            << settingsText("[1.05]", withValue("runOnStartup", "4")) << false
            << "0 0 0 0 250 8 0 0 1 0" << logLines("1.05", standardEntries.mid(0, 9), false);
        QTest::newRow("switch 2") << settingsText("[1.05]", withValue("defCPAssocMode", "2"))
                                  << false << initialSnapshot << "version = 1.05\n";

        Entries repeated = standardEntries;
        repeated.insert(1, {"defCPAssocMode", "1"});
        QTest::newRow("repeated key")
            << settingsText("[1.05]", repeated) << false << "0 1 1 1 1000 0 1 1 0 0"
            << logLines("1.05", standardEntries.mid(0, 1), false);

        Entries unknown = standardEntries;
        unknown.insert(3, {"someFutureKey", "7"});
        QTest::newRow("unknown key skipped") << settingsText("[1.05]", unknown) << true << full
                                             << logLines("1.05", standardEntries, false);
        Entries unknownBad = standardEntries;
        unknownBad.insert(0, {"someFutureKey", "seven"});
        QTest::newRow("unknown key with a word for value")
            << settingsText("[1.05]", unknownBad) << false << initialSnapshot << "version = 1.05\n";
        Entries unknownInstead = without("runOnStartup");
        unknownInstead << Entry{"RunOnStartup", "3"};
        QTest::newRow("key in other letter case")
            << settingsText("[1.05]", unknownInstead) << false << "0 0 0 0 250 8 0 0 1 0"
            << logLines("1.05", without("runOnStartup"), false);
        QTest::newRow("missing key")
            << settingsText("[1.05]", without("enableTrayIcon")) << false << "0 0 0 0 250 8 1 0 1 3"
            << logLines("1.05", without("enableTrayIcon"), false);
        QTest::newRow("empty file") << QByteArray() << false << initialSnapshot << QString();
        QTest::newRow("header only")
            << QByteArray("[1.05]") << false << initialSnapshot << "version = 1.05\n";

        QByteArray noEquals = settingsText("[1.05]", standardEntries);
        noEquals.replace("pollingPeriod = 250", "pollingPeriod 250");
        QTest::newRow("no equals sign") << noEquals << false << "0 0 0 0 1000 0 1 1 0 0"
                                        << logLines("1.05", beforePeriod, false);
        QByteArray glued = settingsText("[1.05]", standardEntries);
        glued.replace("pollingPeriod = 250", "pollingPeriod=250");
        QTest::newRow("key, = and value in one word")
            << glued << false << "0 0 0 0 1000 0 1 1 0 0" << logLines("1.05", beforePeriod, false);

        for (const char* bad :
             {"abc", "1.5", "250ms", "0x", "0b", "0b2", "+", "-", "0x-1", "078", "--1", "１２"}) {
            QTest::newRow(qPrintable(QStringLiteral("value %1").arg(QString::fromUtf8(bad))))
                << settingsText("[1.05]", withValue("pollingPeriod", bad)) << false
                << "0 0 0 0 1000 0 1 1 0 0" << logLines("1.05", beforePeriod, false);
        }

        // Integers as QTextStream reads them.
        for (const char* thousand : {"1000", "+1000", "0x3E8", "0X3e8", "0b1111101000",
                                     "0B1111101000", "01750", "00001750"}) {
            const Entries e = withValue("pollingPeriod", thousand);
            QTest::newRow(qPrintable(QStringLiteral("pollingPeriod %1").arg(thousand)))
                << settingsText("[1.05]", e) << true << "0 0 0 0 1000 8 0 0 1 3"
                << logLines("1.05", withValue("pollingPeriod", "1000"), false);
        }
        QTest::newRow("0 then a non-octal digit is decimal")
            << settingsText("[1.05]", withValue("pollingPeriod", "0999")) << true
            << "0 0 0 0 999 8 0 0 1 3"
            << logLines("1.05", withValue("pollingPeriod", "999"), false);
        QTest::newRow("negative zero")
            << settingsText("[1.05]", withValue("LUTBitDepth", "-0")) << true
            << "0 0 0 0 250 0 0 0 1 3" << logLines("1.05", withValue("LUTBitDepth", "0"), false);
        QTest::newRow("octal ten")
            << settingsText("[1.05]", withValue("LUTBitDepth", "012")) << true
            << "0 0 0 0 250 10 0 0 1 3" << logLines("1.05", withValue("LUTBitDepth", "10"), false);

        // Values whose low bits would be accepted must not wrap into range.
        for (const char* huge : {"4294968296", "18446744073709552616", "0x1000003E8",
                                 "99999999999999999999999999999", "2147483648"}) {
            QTest::newRow(qPrintable(QStringLiteral("pollingPeriod %1").arg(huge)))
                << settingsText("[1.05]", withValue("pollingPeriod", huge)) << false
                << "0 0 0 0 1000 0 1 1 0 0" << logLines("1.05", beforePeriod, false);
        }
        QTest::newRow("pollingPeriod 2147483647")
            << settingsText("[1.05]", withValue("pollingPeriod", "2147483647")) << true
            << "0 0 0 0 2147483647 8 0 0 1 3"
            << logLines("1.05", withValue("pollingPeriod", "2147483647"), false);
        QTest::newRow("runOnStartup 2^32 + 1")
            << settingsText("[1.05]", withValue("runOnStartup", "4294967297")) << false
            << "0 0 0 0 250 8 0 0 1 0" << logLines("1.05", standardEntries.mid(0, 9), false);
        QTest::newRow("switch -(2^32 - 1)")
            << settingsText("[1.05]", withValue("defCPAssocMode", "-4294967295")) << false
            << initialSnapshot << "version = 1.05\n";

        // Word length limits.
        Entries longUnknown = standardEntries;
        longUnknown.insert(0, {QByteArray(983, 'k'), "1"});
        QTest::newRow("unknown key of 983 characters")
            << settingsText("[1.05]", longUnknown) << true << full
            << logLines("1.05", standardEntries, false);
        Entries tooLong = standardEntries;
        tooLong.insert(0, {QByteArray(984, 'k'), "1"});
        QTest::newRow("key of 984 characters")
            << settingsText("[1.05]", tooLong) << false << initialSnapshot << "version = 1.05\n";
        QTest::newRow("key of a million characters")
            << QByteArray(1000000, 'k') + " = 1" << false << initialSnapshot << QString();
        QByteArray longEquals = settingsText("[1.05]", standardEntries);
        longEquals.replace("defCPAssocMode = 0", "defCPAssocMode " + QByteArray(2000, '=') + " 0");
        QTest::newRow("long = word")
            << longEquals << false << initialSnapshot << "version = 1.05\n";
        QTest::newRow("header of a million characters")
            << "[1." + QByteArray(1000000, '0') + "]" << false << initialSnapshot << QString();
    }

    void reads() {
        QFETCH(QByteArray, file);
        QFETCH(bool, valid);
        QFETCH(QString, settings);
        QFETCH(QString, logText);
        Workspace w;
        QVERIFY(writeAll(settingsPath(w), file));
        AppSettings read;
        QCOMPARE(readSettings(settingsPath(w), read, w.log), valid);
        QCOMPARE(snapshot(read), settings);
        QCOMPARE(w.logText(), logText);
    }

    // A refused header is reported on the debug channel, not in the log.
    void refusedHeaderSaysReturning() {
        Workspace w;
        QVERIFY(writeAll(settingsPath(w), settingsText("[1.06]", standardEntries)));
        QTest::ignoreMessage(QtDebugMsg, "returning");
        AppSettings read;
        QVERIFY(!readSettings(settingsPath(w), read, w.log));
    }

    // Nothing that is not a regular file is read: a FIFO without a writer
    // would block the open for ever, a device would never end.
    void fileThatIsNotRegularIsRefusedAtOnce_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("FIFO") << "fifo"
                              << "Settings file refused: not a regular file (a FIFO)";
        QTest::newRow("link to /dev/zero")
            << "zero"
            << "Settings file refused: not a regular file (a character device)";
        QTest::newRow("directory") << "directory"
                                   << "Settings file refused: not a regular file (a directory)";
    }

    void fileThatIsNotRegularIsRefusedAtOnce() {
#ifdef Q_OS_UNIX
        QFETCH(QString, kind);
        QFETCH(QString, refusal);
        Workspace w;
        const QByteArray path = QFile::encodeName(settingsPath(w));
        if (kind == "fifo")
            QCOMPARE(::mkfifo(path.constData(), 0600), 0);
        else if (kind == "zero")
            QVERIFY(QFile::link("/dev/zero", settingsPath(w)));
        else
            QVERIFY(QDir().mkdir(settingsPath(w)));
        QTest::ignoreMessage(QtDebugMsg, qPrintable(refusal));
        AppSettings read;
        read.pollingPeriod = 77;
        QVERIFY(!readSettings(settingsPath(w), read, w.log));
        QCOMPARE(read.pollingPeriod.load(), 77);
        QCOMPARE(w.logText(), QString());
#else
        QSKIP("POSIX only");
#endif
    }

    void missingFileIsNotRead() {
        Workspace w;
        AppSettings read;
        read.pollingPeriod = 77;
        QVERIFY(!readSettings(settingsPath(w), read, w.log));
        QCOMPARE(read.pollingPeriod.load(), 77);
        QCOMPARE(w.logText(), QString());
    }

    // What start-up does after a failed read: the logged save rewrites the
    // file from the values now held, here those of a file that was refused
    // only for the line break after its last value.
    void failedReadIsRewrittenWithoutTrailingBreak() {
        Workspace w;
        QVERIFY(writeAll(settingsPath(w), settingsText("[1.05]", standardEntries) + "\n"));
        AppSettings settings;
        QVERIFY(!readSettings(settingsPath(w), settings, w.log));
        QVERIFY(saveSettings(settingsPath(w), settings, w.log));
        QCOMPARE(readAll(settingsPath(w)), settingsText("[1.05]", standardEntries));
        QCOMPARE(w.logText(), logLines("1.05", standardEntries, false) +
                                  "Saving Settings...\nSuccessfully saved Settings.\n\n");
    }

    // A file from a newer version is replaced by the values in force.
    void newerFileIsOverwrittenWithInitialValues() {
        Workspace w;
        QVERIFY(writeAll(settingsPath(w), settingsText("[2.0]", standardEntries)));
        AppSettings settings;
        QVERIFY(!readSettings(settingsPath(w), settings, w.log));
        QVERIFY(saveSettings(settingsPath(w), settings, w.log));
        QCOMPARE(readAll(settingsPath(w)), initialFile);
    }

    void failedSaveKeepsPreviousFile_data() {
        addSaveFailureRows();
    }

    void failedSaveKeepsPreviousFile() {
        QFETCH(QString, how);
        Workspace w;
        const QByteArray previous = "[1.05]\nprevious content";
        // The log stays below the size limit; the new file does not fit.
        SaveFailure failure(how, w.dir, "Settings.txt", previous, 100);
        if (!failure.isPossible())
            QSKIP("this kind of failure cannot be made here");

        AppSettings settings;
        QVERIFY(!saveSettings(failure.target(), settings, w.log));
        failure.release();

        QCOMPARE(w.logText(), QStringLiteral("Saving Settings...\nFailed to save Settings.\n\n"));
        QVERIFY(failure.previousIntact(previous));
        QCOMPARE(failure.leftovers(), QStringList());
    }

    void validVersions_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        for (const char* v : {"1.05", "1.0.3", "0.0", "10.20.30", "1.5"})
            QTest::newRow(v) << QString(v) << true;
        for (const char* v : {"", "1", "10", "1.", ".5", "1..5", "1.a", "a.1", "1,5", " 1.5",
                              "1.5 ", "1.-5", "١.٥"})
            QTest::newRow(qPrintable(QStringLiteral("'%1'").arg(QString::fromUtf8(v))))
                << QString::fromUtf8(v) << false;
    }

    void validVersions() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(isValidVersion(text), valid);
    }

    void newerVersions_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("newer");
        for (const char* v : {"1.10", "1.06", "1.05.1", "2.0", "1.050", "1.6", "1.05.0.1",
                              "1.18446744073709551621", "1.99999999999999999999999"})
            QTest::newRow(v) << QString(v) << true;
        for (const char* v : {"1.05", "1.5", "1.1", "1.04", "0.99", "1.05.0", "01.005", "1"})
            QTest::newRow(v) << QString(v) << false;
    }

    void newerVersions() {
        QFETCH(QString, text);
        QFETCH(bool, newer);
        QCOMPARE(isNewerVersion(text), newer);
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settings_file.moc"
