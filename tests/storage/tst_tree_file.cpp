// The tree file: the exact bytes written, round trips of every kind of
// association, the older formats, every point where the grammar succeeds or
// fails and the partial tree a failed load leaves, and saves that fail.
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include "file_write_failure.h"
#include "icc_profiles.h"
#include "ramps/icc_profile.h"
#include "storage/tree_file.h"
#include "storage_workspace.h"
#include "tree/association.h"
#include "tree/display_records.h"
#include "tree/tree.h"
#include "tree_description.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

DISPLAY_DEVICEA device(const QByteArray& id, const QByteArray& key, const QByteArray& string) {
    DISPLAY_DEVICEA d = emptyDisplayDevice();
    setFieldText(d.DeviceID, id);
    setFieldText(d.DeviceKey, key);
    setFieldText(d.DeviceString, string);
    return d;
}

DEVMODEA displayMode(DWORD width, DWORD height, DWORD bits, DWORD flags, DWORD frequency) {
    DEVMODEA m = emptyDisplayMode();
    m.dmPelsWidth = width;
    m.dmPelsHeight = height;
    m.dmBitsPerPel = bits;
    m.dmDisplayFlags = flags;
    m.dmDisplayFrequency = frequency;
    return m;
}

// Monitor "A": DeviceID "ID-A", DeviceKey "key-A", DeviceString "Monitor
// A", OutputDevice "Adapter A"; the same scheme for other letters.
void appendMonitor(Tree& tree, const QByteArray& name) {
    tree.AppendMonitor(device("ID-" + name, "key-" + name, "Monitor " + name), "Adapter " + name);
}

QByteArray monitorHeader(const QByteArray& name) {
    return "<Monitor>\nID-" + name + "\nkey-" + name + "\nMonitor " + name + "\nAdapter " + name +
           "\n";
}

QString monitorLine(const QString& name, const QString& rest = {}) {
    return QStringLiteral("Monitor 'ID-%1' 'key-%1' 'Monitor %1' 'Adapter %1'").arg(name) + rest +
           "\n";
}

// A mode block; `association` is the whole line after the frequency, and
// `extra` (when given) the older formats' line before it.
QByteArray modeBlock(const QByteArray& numbers, const QByteArray& association,
                     const QByteArray& extra = {}) {
    QByteArray block = "<Mode>\n" + numbers + "\n";
    if (!extra.isNull())
        block += extra + "\n";
    return block + association + "\n</Mode>\n";
}

// A file of each format holding one mode-specific monitor A with two
// resolutions and a global monitor B; `described` is what it loads as.
QByteArray sampleFile(const QByteArray& tag, bool olderLines, bool withGlobal) {
    const QByteArray extra = olderLines ? QByteArray("-") : QByteArray();
    const QByteArray frequencyLine = olderLines ? QByteArray("85") : QByteArray();
    QByteArray file = tag + "\n" + monitorHeader("A");
    if (olderLines)
        file.insert(file.size(), "unused line\n");
    file += "<Resolution>\n640 480\n" + modeBlock("32\n0\n60", "", extra) +
            modeBlock("32\n2\n75", "\"NULL\"", frequencyLine) + "</Resolution>\n" +
            "<Resolution>\n800 600\n" + modeBlock("16\n0\n60", "\"RED\"", extra) +
            "</Resolution>\n</Monitor>";
    if (withGlobal) {
        file += "\n" + monitorHeader("B");
        if (olderLines)
            file += "unused line\n";
        file += "<global>\nLINEAR\n</Monitor>";
    }
    return file;
}

const QString sampleMonitorA = monitorLine("A") +
                               "  640x480\n"
                               "    32 0 60 ''\n"
                               "    32 2 75 'NULL'\n"
                               "  800x600\n"
                               "    16 0 60 'RED'\n";
const QString sampleMonitorB = monitorLine("B", " global 'LINEAR'");

// A display profile written by LittleCMS; empty when it cannot be written.
QString writeProfile(const Workspace& w, const QString& name) {
    const QString path = w.path(name);
    const QByteArray bytes =
        icc::lcmsTableProfile(icc::Version::V2, icc::gammaCurves(1.8, 2.2, 2.4));
    return writeAll(path, bytes) ? path : QString();
}

// Every kind of association on mode-specific and global monitors.
void buildFullTree(Tree& tree, Log& log, const QString& profile, const QString& otherProfile) {
    appendMonitor(tree, "A");
    tree.AppendResolution(1920, 1080);
    const QStringList texts = {"",     "LINEAR", "NULL",    "RED",   "GREEN",
                               "BLUE", "YELLOW", "MAGENTA", profile, otherProfile};
    DWORD frequency = 50;
    for (const QString& text : texts) {
        tree.AppendMode(displayMode(1920, 1080, 32, 0, frequency++));
        tree.Associate(text, log);
    }
    tree.AppendResolution(1280, 720);
    tree.AppendMode(displayMode(1280, 720, 32, DM_INTERLACED, 60), "CYAN");
    tree.AppendResolution(640, 480);  // no modes

    const QStringList globals = {"", "NULL", "MAGENTA", profile};
    for (qsizetype i = 0; i < globals.size(); ++i) {
        appendMonitor(tree, "G" + QByteArray::number(i));
        tree.SetAssociationMode(true, log, globals[i]);
    }
    appendMonitor(tree, "E");  // mode-specific without resolutions
}

}  // namespace

class TestTreeFile : public QObject {
    Q_OBJECT

private slots:
    void emptyTreeIsSevenBytes() {
        Workspace w;
        Tree tree;
        QVERIFY(writeTree(w.path("Tree.txt"), tree));
        QCOMPARE(readAll(w.path("Tree.txt")), QByteArray("<v1.04>"));
        Tree loaded;
        QVERIFY(loadTree(w.path("Tree.txt"), loaded, w.log));
        QVERIFY(loaded.IsEmpty());
    }

    void writesExactBytes() {
        Workspace w;
        Tree tree;
        appendMonitor(tree, "A");
        tree.AppendResolution(640, 480);
        tree.AppendMode(displayMode(640, 480, 32, 0, 60));
        tree.AppendMode(displayMode(640, 480, 32, 2, 75), "NULL");
        tree.AppendResolution(800, 600);
        tree.AppendMode(displayMode(800, 600, 16, 0, 60), "RED");
        appendMonitor(tree, "B");
        tree.SetAssociationMode(true, w.log, QString("LINEAR"));
        appendMonitor(tree, "C");
        tree.SetAssociationMode(true, w.log, QString());

        QVERIFY(writeTree(w.path("Tree.txt"), tree));
        QCOMPARE(readAll(w.path("Tree.txt")), sampleFile("<v1.04>", false, true) + "\n" +
                                                  monitorHeader("C") + "<global>\n\n</Monitor>");
    }

    void roundTripKeepsEverything() {
        Workspace w;
        const QString profile = writeProfile(w, "Profile.icc");
        const QString otherProfile = writeProfile(w, "Profil ü é 色 (2).icc");
        QVERIFY(!profile.isEmpty() && !otherProfile.isEmpty());
        GammaRamp parsed;
        if (!ParseColorProfile(profile, parsed))
            QSKIP("the profile reader does not parse yet");

        Tree tree;
        buildFullTree(tree, w.log, profile, otherProfile);
        QVERIFY(writeTree(w.path("Tree.txt"), tree));
        const QString before = describeTree(tree);
        QVERIFY(before.contains("'" + otherProfile + "' +curve"));

        Tree loaded;
        QVERIFY(loadTree(w.path("Tree.txt"), loaded, w.log));
        QCOMPARE(describeTree(loaded), before);

        // Every profile was parsed again, curve included.
        const Mode* mode = loaded.monitorHead()->nextNode->resolutionHead->nextNode->modeHead.get();
        while (mode && mode->profile != profile) mode = mode->nextNode.get();
        QVERIFY(mode);
        QVERIFY(rampsEqual(mode->curve, parsed));
        QVERIFY(
            w.logText().contains("Successfully parsed color profile: " + otherProfile + "\n\n"));

        // Written again, the file is the same byte for byte.
        QVERIFY(writeTree(w.path("Again.txt"), loaded));
        QCOMPARE(readAll(w.path("Again.txt")), readAll(w.path("Tree.txt")));
    }

    // Profile paths longer than a tree file line of 999 bytes are written
    // and read back whole.
    void longProfilePathRoundTrips() {
        Workspace w;
        QString folder = w.dir.path();
        for (int i = 0; i < 5; ++i) {
            folder += "/" + QString(230, QChar('a' + i));
            QVERIFY(QDir().mkpath(folder));
        }
        const QString profile = folder + "/Long.icc";
        QVERIFY(profile.size() > 1100);
        QVERIFY(writeAll(profile, icc::lcmsTableProfile(icc::Version::V2, icc::linearCurves())));
        GammaRamp parsed;
        if (!ParseColorProfile(profile, parsed)) QSKIP("the profile reader does not parse yet");

        Tree tree;
        appendMonitor(tree, "A");
        tree.AppendResolution(640, 480);
        tree.AppendMode(displayMode(640, 480, 32, 0, 60));
        QVERIFY(tree.Associate(profile, w.log));
        appendMonitor(tree, "B");
        tree.SetAssociationMode(true, w.log, profile);
        appendMonitor(tree, "C");
        QVERIFY(writeTree(w.path("Tree.txt"), tree));

        Tree loaded;
        QVERIFY(loadTree(w.path("Tree.txt"), loaded, w.log));
        QCOMPARE(describeTree(loaded), describeTree(tree));
        QVERIFY(describeTree(loaded).contains(profile + "' +curve"));
    }

    void saveLeavesCursorsAlone() {
        Workspace w;
        Tree tree;
        buildFullTree(tree, w.log, {}, {});
        tree.seekSelection(0, 0, 3);
        const Monitor* monitor = tree.currentMonitor();
        const Resolution* resolution = tree.currentResolution();
        const Mode* mode = tree.currentMode();
        QCOMPARE(mode->profile, QString("RED"));
        QVERIFY(writeTree(w.path("Tree.txt"), tree));
        QCOMPARE(tree.currentMonitor(), monitor);
        QCOMPARE(tree.currentResolution(), resolution);
        QCOMPARE(tree.currentMode(), mode);
    }

    void loads_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("loaded");
        QTest::addColumn<QString>("tree");

        const QString sample = sampleMonitorA + sampleMonitorB;
        QTest::newRow("current format") << sampleFile("<v1.04>", false, true) << true << sample;
        QTest::newRow("v1.03") << sampleFile("<v1.03>", true, true) << true << sample;
        QTest::newRow("v1.03.1") << sampleFile("<v1.03.1>", true, true) << true << sample;
        QTest::newRow("header") << sampleFile("<header>", false, false) << true << sampleMonitorA;
        QTest::newRow("header with a global block")
            << sampleFile("<header>", false, true) << false << sampleMonitorA + monitorLine("B");
        QByteArray crlf = sampleFile("<v1.04>", false, true);
        crlf.replace("\n", "\r\n");
        QTest::newRow("CR LF line ends") << crlf << true << sample;
        QTest::newRow("stray CRs, as a text-mode read drops them")
            << QByteArray("<v1.04>\r") << true << QString();
        QByteArray strayCr = sampleFile("<v1.04>", false, true);
        strayCr.replace("</Monitor>", "</Monitor>\r");
        QTest::newRow("CR after a monitor") << strayCr << true << sample;

        QByteArray ignored = sampleFile("<v1.04>", false, true);
        ignored.replace("<v1.04>\n", "<v1.04>\nwritten by hand\n\n");
        ignored.replace("</Monitor>\n<Monitor>",
                        "</Monitor>\n\n# a comment\n<Monitor> \n<Monitor>");
        QTest::newRow("lines outside monitors are ignored") << ignored << true << sample;
        QByteArray twice = sampleFile("<v1.04>", false, false);
        twice += "\n" + twice.mid(8);
        QTest::newRow("duplicates are kept") << twice << true << sampleMonitorA + sampleMonitorA;

        QTest::newRow("tag followed by a blank")
            << sampleFile("<v1.04> ", false, true) << false << QString();
        QTest::newRow("tag in other case")
            << sampleFile("<V1.04>", false, true) << false << QString();
        QTest::newRow("unknown tag") << sampleFile("<v1.05>", false, true) << false << QString();
        QTest::newRow("empty file") << QByteArray() << false << QString();
        QTest::newRow("tag only") << QByteArray("<v1.04>") << true << QString();
        QTest::newRow("tag and a line break") << QByteArray("<v1.04>\n") << true << QString();

        // The end of the data where the grammar expects a tag line.
        const QByteArray a = "<v1.04>\n" + monitorHeader("A");
        QTest::newRow("ends after the monitor's lines") << a << true << monitorLine("A");
        QTest::newRow("ends after </Monitor> and a line break") << a + "</Monitor>\n"
                                                                << true << monitorLine("A");
        QTest::newRow("ends at <Monitor>")
            << QByteArray("<v1.04>\n<Monitor>") << true << "Monitor '' '' '' ''\n";
        QTest::newRow("ends after the size line") << a + "<Resolution>\n640 480\n"
                                                  << true << monitorLine("A") + "  640x480\n";
        QTest::newRow("ends after a mode")
            << a + "<Resolution>\n640 480\n" + modeBlock("32\n0\n60", "\"BLUE\"") << true
            << monitorLine("A") + "  640x480\n    32 0 60 'BLUE'\n";
        QTest::newRow("ends after </Resolution>") << a + "<Resolution>\n640 480\n</Resolution>\n"
                                                  << true << monitorLine("A") + "  640x480\n";
        QTest::newRow("ends after the global block") << a + "<global>\nGREEN\n"
                                                     << true << monitorLine("A", " global 'GREEN'");

        // Where the grammar fails; what was built before stays.
        const QByteArray res = a + "<Resolution>\n640 480\n" + modeBlock("32\n0\n60", "");
        const QString resTree = monitorLine("A") + "  640x480\n    32 0 60 ''\n";
        QTest::newRow("cut off in a mode block") << res + "<Mode>\n32\n0\n" << false << resTree;
        QTest::newRow("cut off before the association") << res + "<Mode>\n32\n0\n60\n"
                                                        << false << resTree;
        QTest::newRow("unclosed quote") << res + "<Mode>\n32\n0\n60\n\"RED" << false << resTree;
        QTest::newRow("unquoted association") << res + "<Mode>\n32\n0\n60\nRED\n</Mode>\n"
                                              << false << resTree;
        QTest::newRow("blank after the closing quote")
            << res + "<Mode>\n32\n0\n60\n\"RED\" \n</Mode>\n"
            << false << resTree;
        QTest::newRow("no </Mode>") << res + "<Mode>\n32\n0\n75\n\"RED\"\n</Resolution>\n"
                                    << false << resTree + "    32 0 75 'RED'\n";
        QTest::newRow("cut off before </Mode>") << res + "<Mode>\n32\n0\n75\n\n"
                                                << false << resTree + "    32 0 75 ''\n";
        QTest::newRow("unknown line in a resolution") << res + "<Mode> \n" << false << resTree;
        QTest::newRow("unknown line in a monitor") << a + "<Resolutions>\n"
                                                   << false << monitorLine("A");
        QTest::newRow("stray </Mode> in a monitor")
            << res + "</Resolution>\n</Mode>\n</Monitor>" << false << resTree;
        // A global monitor keeps no resolutions; the block is passed over
        // and the rest of the file loads.
        QTest::newRow("resolution after the global block")
            << a + "<global>\nRED\n<Resolution>\n640 480\n<Mode>\n32\n0\n60\n\"BLUE\"\n</Mode>\n"
                   "</Resolution>\n</Monitor>\n" + monitorHeader("B") + "</Monitor>"
            << true << monitorLine("A", " global 'RED'") + monitorLine("B");
        QTest::newRow("broken resolution after the global block")
            << a + "<global>\nRED\n<Resolution>\n640 480\n<Mode>\n32\n" << false
            << monitorLine("A", " global 'RED'");
        QTest::newRow("global block after resolutions")
            << res + "</Resolution>\n<global>\nBLUE\n</Monitor>" << true
            << monitorLine("A", " global 'BLUE'");
        QTest::newRow("second monitor fails, first stays")
            << sampleFile("<v1.04>", false, false) + "\n" + monitorHeader("B") + "<Mode>\n"
            << false << sampleMonitorA + monitorLine("B");

        // Over-long monitor lines are cut to the field and read whole.
        const QByteArray longId(300, 'i');
        const QByteArray longKey(2500, 'k');
        QTest::newRow("over-long DeviceID and DeviceKey")
            << "<v1.04>\n<Monitor>\n" + longId + "\n" + longKey + "\nMonitor A\nAdapter A\n" +
                   "<global>\nRED\n</Monitor>"
            << true
            << QStringLiteral("Monitor '%1' '%2' 'Monitor A' 'Adapter A' global 'RED'\n")
                   .arg(QString(127, 'i'), QString(127, 'k'));
        QTest::newRow("over-long DeviceString and OutputDevice")
            << "<v1.04>\n<Monitor>\nID-A\nkey-A\n" + QByteArray(200, 's') + "\n" +
                   QByteArray(1200, 'o') + "\n</Monitor>"
            << true
            << QStringLiteral("Monitor 'ID-A' 'key-A' '%1' '%2'\n")
                   .arg(QString(127, 's'), QString(127, 'o'));
    }

    void loads() {
        QFETCH(QByteArray, file);
        QFETCH(bool, loaded);
        QFETCH(QString, tree);
        Workspace w;
        QVERIFY(writeAll(w.path("Tree.txt"), file));
        Tree t;
        QCOMPARE(loadTree(w.path("Tree.txt"), t, w.log), loaded);
        QCOMPARE(describeTree(t), tree);
    }

    void missingFileDoesNotLoad() {
        Workspace w;
        Tree tree;
        QVERIFY(!loadTree(w.path("Tree.txt"), tree, w.log));
        QVERIFY(tree.IsEmpty());
    }

    // The eight reserved words, written out here (a misspelt word in the
    // program would make that mode a profile path that fails to parse and
    // loses its association at the load), each kept across a save and a
    // load without a profile being looked for.
    void reservedWordsAreKeptAcrossASaveAndALoad() {
        Workspace w;
        const QStringList words = {"LINEAR", "NULL",   "RED",  "GREEN",
                                   "BLUE",   "YELLOW", "CYAN", "MAGENTA"};
        Tree tree;
        appendMonitor(tree, "A");
        tree.AppendResolution(1920, 1080);
        DWORD frequency = 50;
        for (const QString& word : words) {
            tree.AppendMode(displayMode(1920, 1080, 32, 0, frequency++));
            QVERIFY(tree.Associate(word, w.log));
        }
        appendMonitor(tree, "G");
        tree.SetAssociationMode(true, w.log, QString("YELLOW"));
        QVERIFY(writeTree(w.path("Tree.txt"), tree));
        QVERIFY(readAll(w.path("Tree.txt")).contains("\"YELLOW\"\n</Mode>"));

        Tree loaded;
        QVERIFY(loadTree(w.path("Tree.txt"), loaded, w.log));
        QString expected = monitorLine("A") + "  1920x1080\n";
        frequency = 50;
        for (const QString& word : words)
            expected += QStringLiteral("    32 0 %1 '%2'\n").arg(frequency++).arg(word);
        expected += monitorLine("G", " global 'YELLOW'");
        QCOMPARE(describeTree(loaded), expected);
        // No word was taken for a profile path.
        QCOMPARE(w.logText(), QString());
    }

    // Nothing that is not a regular file is read: a FIFO without a writer
    // would block the open for ever, /dev/zero would never end.
    void fileThatIsNotRegularIsRefusedAtOnce_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("FIFO") << "fifo"
                              << "Tree file refused: not a regular file (a FIFO)";
        QTest::newRow("link to /dev/zero")
            << "zero"
            << "Tree file refused: not a regular file (a character device)";
    }

    void fileThatIsNotRegularIsRefusedAtOnce() {
#ifdef Q_OS_UNIX
        QFETCH(QString, kind);
        QFETCH(QString, refusal);
        Workspace w;
        const QString path = w.path("Tree.txt");
        if (kind == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else
            QVERIFY(QFile::link("/dev/zero", path));
        QTest::ignoreMessage(QtDebugMsg, qPrintable(refusal));
        Tree tree;
        QVERIFY(!loadTree(path, tree, w.log));
        QVERIFY(tree.IsEmpty());
#else
        QSKIP("POSIX only");
#endif
    }

    // No file path is longer than the system allows: a longer association
    // text is refused like a path that does not parse (the mode keeps
    // nothing), and the log shows only its beginning.
    void associationLongerThanAnyPathIsRefused() {
        Workspace w;
        const QByteArray huge = "/" + QByteArray(10 * 1024 * 1024, 'p');
        const QByteArray file = "<v1.04>\n" + monitorHeader("A") + "<Resolution>\n640 480\n" +
                                modeBlock("32\n0\n60", "\"" + huge + "\"") +
                                modeBlock("32\n0\n75", "\"RED\"") + "</Resolution>\n</Monitor>\n" +
                                monitorHeader("B") + "<global>\n" + huge + "\n</Monitor>";
        QVERIFY(writeAll(w.path("Tree.txt"), file));
        Tree tree;
        QVERIFY(loadTree(w.path("Tree.txt"), tree, w.log));
        QCOMPARE(describeTree(tree), monitorLine("A") +
                                         "  640x480\n    32 0 60 ''\n    32 0 75 'RED'\n" +
                                         monitorLine("B", " global ''"));
        const QString refused = "Refused color profile path longer than the system allows (" +
                                QString::number(huge.size()) +
                                " characters): " + QString::fromLatin1(huge.left(100)) + "...\n\n";
        QCOMPARE(w.logText(), refused + refused);
        QVERIFY(readAll(w.path("Log.txt")).size() < 1024);
    }

    void associationAsLongAsThePathLimitIsStillLookedFor() {
#ifdef Q_OS_UNIX
        Workspace w;
        const QString longest = "/" + QString(maxProfilePathLength() - 1, 'q');
        QVERIFY(fitsSystemPathLimit(longest));
        QVERIFY(!fitsSystemPathLimit(longest + "q"));
        // Counted in bytes of the 8-bit encoding: two bytes for an "é".
        QVERIFY(!fitsSystemPathLimit(longest.left(longest.size() - 1) + QChar(0xE9)));
        Tree tree;
        appendMonitor(tree, "A");
        tree.AppendResolution(640, 480);
        tree.AppendMode(displayMode(640, 480, 32, 0, 60));
        QVERIFY(!tree.Associate(longest, w.log));
        QCOMPARE(w.logText(),
                 "Failed to parse color profile: " + longest + "\n(the file does not exist)\n\n");
#else
        QSKIP("POSIX only");
#endif
    }

    // Fields filled to their last byte are written and read back whole.
    void fullFieldsRoundTrip() {
        Workspace w;
        Tree tree;
        tree.AppendMonitor(device(QByteArray(127, 'i'), QByteArray(127, 'k'), QByteArray(127, 's')),
                           QByteArray(127, 'o'));
        tree.AppendResolution(1024, 768);
        tree.AppendMode(displayMode(1024, 768, 32, 0, 60), "RED");
        QVERIFY(writeTree(w.path("Tree.txt"), tree));
        Tree loaded;
        QVERIFY(loadTree(w.path("Tree.txt"), loaded, w.log));
        QCOMPARE(describeTree(loaded), describeTree(tree));
    }

    // Load, save, load, save: the same bytes from the first save on, and,
    // for a file the program could have written, the bytes it was read
    // from. A size beyond a signed number and bytes that are no UTF-8 are
    // kept as they were read.
    void savesAreByteStable_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("asRead");  // the first save gives the file back
        const QByteArray tail = "</Resolution>\n</Monitor>";
        const auto withResolution = [&](const QByteArray& size) {
            return "<v1.04>\n" + monitorHeader("A") + "<Resolution>\n" + size + "\n" +
                   modeBlock("32\n0\n60", "\"RED\"") + tail;
        };
        QTest::newRow("width of 2^32 - 1") << withResolution("4294967295 480") << true;
        QTest::newRow("height past a signed number") << withResolution("640 3000000000") << true;
        QTest::newRow("width beyond 32 bits") << withResolution("4294967296 480") << false;
        QTest::newRow("width typed with a sign") << withResolution("-1 480") << false;
        const QByteArray notUtf8(127, '\xff');
        QTest::newRow("monitor lines that are no UTF-8")
            << "<v1.04>\n<Monitor>\n" + notUtf8 + "\nkey-\xe9\n" + notUtf8 + "\nAdapter \xc3\n"
                   "<global>\nRED\n</Monitor>"
            << true;
        QTest::newRow("association that is no UTF-8")
            << withResolution("640 480").replace("\"RED\"", "\"/p/\xff\xfe.icc\"") << false;
    }
    void savesAreByteStable() {
        QFETCH(QByteArray, file);
        QFETCH(bool, asRead);
        Workspace w;
        QVERIFY(writeAll(w.path("Tree.txt"), file));
        QByteArray saved[2];
        for (QByteArray& bytes : saved) {
            Tree tree;
            QVERIFY(loadTree(w.path("Tree.txt"), tree, w.log));
            QVERIFY(writeTree(w.path("Tree.txt"), tree));
            bytes = readAll(w.path("Tree.txt"));
        }
        QCOMPARE(saved[1], saved[0]);
        if (asRead)
            QCOMPARE(saved[0], file);
    }

    void largeNumbersRoundTrip() {
        Workspace w;
        Tree tree;
        appendMonitor(tree, "A");
        tree.AppendResolution(7680, 4320);
        tree.AppendMode(displayMode(7680, 4320, 4294967295u, 4294967294u, 4000000000u));
        QVERIFY(writeTree(w.path("Tree.txt"), tree));
        Tree loaded;
        QVERIFY(loadTree(w.path("Tree.txt"), loaded, w.log));
        QCOMPARE(describeTree(loaded), describeTree(tree));
    }

    // A profile missing at start-up (a drive not mounted yet) keeps its
    // association text without a curve, and every save writes it back.
    void missingProfileKeepsItsAssociation() {
        Workspace w;
        const QString profile = w.path("Gone ü.icc");
        const QByteArray file = "<v1.04>\n" + monitorHeader("A") + "<Resolution>\n640 480\n" +
                                modeBlock("32\n0\n60", "\"" + profile.toUtf8() + "\"") +
                                "</Resolution>\n</Monitor>\n" + monitorHeader("B") + "<global>\n" +
                                profile.toUtf8() + "\n</Monitor>";
        QVERIFY(writeAll(w.path("Tree.txt"), file));

        Tree tree;
        QVERIFY(loadTree(w.path("Tree.txt"), tree, w.log));
        const QString kept = "'" + profile + "'";
        QCOMPARE(describeTree(tree), monitorLine("A") + "  640x480\n    32 0 60 " + kept + "\n" +
                                         monitorLine("B", " global " + kept));
        QVERIFY(!tree.monitorHead()->nextNode->resolutionHead->nextNode->modeHead->nextNode->hasCurve);
        const QString failed =
            "Failed to parse color profile: " + profile + "\n(the file does not exist)\n\n";
        QCOMPARE(w.logText(), failed + failed);

        QVERIFY(writeTree(w.path("Tree.txt"), tree));
        QCOMPARE(readAll(w.path("Tree.txt")), file);
    }

    void saveTreeLogsAroundTheWrite() {
        Workspace w;
        Tree tree;
        appendMonitor(tree, "A");
        QVERIFY(saveTree(w.path("Tree.txt"), tree, w.log));
        const QRegularExpression expected(
            QRegularExpression::anchoredPattern("\\[\\d{4}-\\d\\d-\\d\\d\\.\\d\\d:\\d\\d:\\d\\d\\]"
                                                "Saving Tree...\nSuccessfully saved Tree.\n\n"));
        QVERIFY2(expected.match(w.logText()).hasMatch(), qPrintable(w.logText()));
        QCOMPARE(readAll(w.path("Tree.txt")), "<v1.04>\n" + monitorHeader("A") + "</Monitor>");
    }

    void failedSaveKeepsPreviousFile_data() { addSaveFailureRows(); }

    void failedSaveKeepsPreviousFile() {
        QFETCH(QString, how);
        Workspace w;
        Tree tree;
        for (int i = 0; i < 40; ++i) {
            appendMonitor(tree, QByteArray::number(i));
            tree.AppendResolution(1920, 1080);
            tree.AppendMode(displayMode(1920, 1080, 32, 0, 60), "RED");
        }
        const QByteArray previous =
            "<v1.04>\n" + monitorHeader("Old") + "<global>\nRED\n</Monitor>";
        // The log stays below the limit; the new file (about 4 KB) does not.
        SaveFailure failure(how, w.dir, "Tree.txt", previous, 2048);
        if (!failure.isPossible())
            QSKIP("this kind of failure cannot be made here");

        QVERIFY(!saveTree(failure.target(), tree, w.log));
        failure.release();

        QVERIFY2(w.logText().endsWith("]Saving Tree...\nFailed to save Tree.\n\n"),
                 qPrintable(w.logText()));
        QVERIFY(failure.previousIntact(previous));
        QCOMPARE(failure.leftovers(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestTreeFile)
#include "tst_tree_file.moc"
