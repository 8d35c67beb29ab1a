// Profile association: the classification rule, Associate with its log
// lines, switching a monitor's association mode, and handing an association
// to an active display.
#include <type_traits>

#include <QDir>
#include <QTest>

#include "tree/active_display.h"
#include "tree/association.h"
#include "tree/tree.h"
#include "tree_test_support.h"

namespace {

// The eight reserved words, written out here rather than taken from the
// program, so that a misspelt word in the program is caught.
const QStringList reservedWords = {"LINEAR", "NULL",   "RED",  "GREEN",
                                   "BLUE",   "YELLOW", "CYAN", "MAGENTA"};

// A Tree with one monitor, one Resolution 640x480 and its Modes at 60 and
// 75 Hz; the cursors on the 60 Hz Mode, which is associated with "RED".
void oneMonitor(Tree& tree, Log& log) {
    tree.AppendMonitor(monitorRecord("AAA0001"), "Card");
    tree.AppendResolution(640, 480);
    tree.AppendMode(mode(640, 480, 32, 75));
    tree.AppendMode(mode(640, 480, 32, 60));
    QVERIFY(tree.Associate(QStringLiteral("RED"), log));
}

// A ramp whose entries show the clamp: 65535, 257 and 63 among them.
GammaRamp rampToClamp() {
    GammaRamp ramp = rampOf(icc::gammaCurves(1.0, 2.2, 0.45));
    ramp.red[255] = 65535;
    ramp.green[1] = 257;
    ramp.blue[1] = 63;
    return ramp;
}

}  // namespace

class TestAssociation : public QObject {
    Q_OBJECT

private slots:
    void classification_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("file");
        QTest::newRow("empty") << "" << false;
        for (const QString& word : reservedWords)
            QTest::addRow("%s", qPrintable(word)) << word << false;
        QTest::newRow("lower case") << "linear" << true;
        QTest::newRow("mixed case") << "Magenta" << true;
        QTest::newRow("trailing blank") << "NULL " << true;
        QTest::newRow("a path") << "/usr/share/color/icc/display.icc" << true;
    }
    void classification() {
        QFETCH(QString, text);
        QFETCH(bool, file);
        QCOMPARE(namesProfileFile(text), file);
        // The active display follows the same rule.
        ActiveDisplayList list;
        list.SetCurrentProfile(text);
        QCOMPARE(list.CurrentProfile(), text);
        QCOMPARE(list.CurrentHasCurve(), file);
    }

    void overlongTextIsRefusedAndTheModeKeepsItsAssociation() {
        TestLog log;
        Tree tree;
        oneMonitor(tree, log.log);
        const QString huge = "/" + QString(10 * 1024 * 1024, QChar('z'));
        QVERIFY(!tree.Associate(huge, log.log));
        QCOMPARE(tree.currentMode()->profile, QString("RED"));
        QCOMPARE(log.text(), "Refused color profile path longer than the system allows (" +
                                 QString::number(huge.size()) + " characters): " + huge.left(100) +
                                 "...\n\n");
    }

    // Usable at any time, an exit handler's included: nothing to construct
    // or destroy.
    void reservedWordsAreConstants() {
        static_assert(reservedAssociationWords().size() == 8);
        static_assert(reservedAssociationWords()[5].size() == 6);
        static_assert(std::is_trivially_destructible_v<
                      std::remove_cvref_t<decltype(reservedAssociationWords())>>);
    }

    void theProgramReservesExactlyTheEightWords() {
        QStringList program;
        for (const QStringView word : reservedAssociationWords()) program << word.toString();
        QCOMPARE(program, reservedWords);
    }

    void reservedWordsAreStoredWithoutParsing_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        for (const QString& word : reservedWords) QTest::addRow("%s", qPrintable(word)) << word;
    }
    void reservedWordsAreStoredWithoutParsing() {
        QFETCH(QString, text);
        TestLog log;
        Tree tree;
        oneMonitor(tree, log.log);
        QVERIFY(tree.Associate(text, log.log));
        QCOMPARE(tree.currentMode()->profile, text);
        QVERIFY(!tree.currentMode()->hasCurve);
        QCOMPARE(log.text(), QString());
    }

    void otherLetterCaseNamesAFile_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("linear") << "linear";
        QTest::newRow("Null") << "Null";
        QTest::newRow("red") << "red";
        QTest::newRow("Cyan") << "Cyan";
    }
    void otherLetterCaseNamesAFile() {
        QFETCH(QString, text);
        TestLog log;
        Tree tree;
        oneMonitor(tree, log.log);
        QVERIFY(!tree.Associate(text, log.log));
        QCOMPARE(log.text(),
                 "Failed to parse color profile: " + text + "\n(the file does not exist)\n\n");
        QCOMPARE(tree.currentMode()->profile, QStringLiteral("RED"));
    }

    void profileIsParsedAndKept() {
        TestLog log;
        Tree tree;
        oneMonitor(tree, log.log);
        const icc::Curves curves = icc::gammaCurves(2.2, 1.8, 1.0);
        const QString path = writeProfile(log.dir, QStringLiteral("display é.icc"), curves);
        QVERIFY(!path.isEmpty());
        QVERIFY(tree.Associate(path, log.log));
        QCOMPARE(log.text(), "Successfully parsed color profile: " + path + "\n\n");
        const Mode& m = *tree.currentMode();
        QCOMPARE(m.profile, path);
        QVERIFY(m.hasCurve);
        QVERIFY(rampsEqual(m.curve, rampOf(curves)));

        // A reserved word drops the curve from use but leaves its content.
        QVERIFY(tree.Associate(QStringLiteral("LINEAR"), log.log));
        QVERIFY(!m.hasCurve);
        QCOMPARE(m.profile, QStringLiteral("LINEAR"));
        QVERIFY(rampsEqual(m.curve, rampOf(curves)));
        QVERIFY(tree.Associate(QString(), log.log));
        QVERIFY(m.profile.isEmpty());
    }

    // A file that gives no curve: the log says why; the user's own request
    // leaves the Mode as it was, a tree file's text is kept without a curve.
    void failedParse_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("keepText");
        const QList<std::pair<const char*, const char*>> kinds = {
            {"missing", "the file does not exist"},
            {"directory", "the file cannot be read"},
            {"text", "the file is not an RGB display profile"},
            {"printer", "the file is not an RGB display profile"},
            {"no vcgt", "the profile has no vcgt table to load"},
        };
        for (const auto& [kind, reason] : kinds) {
            QTest::addRow("%s, refused", kind) << kind << reason << false;
            QTest::addRow("%s, text kept", kind) << kind << reason << true;
        }
    }
    void failedParse() {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QFETCH(bool, keepText);
        TestLog log;
        Tree tree;
        oneMonitor(tree, log.log);
        const icc::Curves curves = icc::gammaCurves(1.5, 1.5, 1.5);
        const QString good = writeProfile(log.dir, QStringLiteral("good.icc"), curves);
        QVERIFY(tree.Associate(good, log.log));
        const QString path = log.dir.filePath(kind);
        const auto write = [&](const QByteArray& bytes) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        };
        if (kind == "directory")
            QVERIFY(QDir(log.dir.path()).mkdir(kind));
        else if (kind == "text")
            write("not a profile");
        else if (kind == "printer")
            write(icc::profile({{"vcgt", icc::vcgtTag(icc::tableData(curves))}},
                               icc::header("prtr")));
        else if (kind == "no vcgt")
            write(icc::profile({{"desc", QByteArray(12, '\0')}}));
        const QString before = log.text();

        QVERIFY(!tree.Associate(path, log.log,
                                keepText ? UnreadableProfile::KeepText : UnreadableProfile::Refuse));
        QCOMPARE(log.text().mid(before.size()),
                 "Failed to parse color profile: " + path + "\n(" + reason + ")\n\n");
        const Mode& m = *tree.currentMode();
        QCOMPARE(m.profile, keepText ? path : good);
        QCOMPARE(m.hasCurve, !keepText);
        QVERIFY(rampsEqual(m.curve, rampOf(curves)));
    }

    void pathsTheTreeFileCannotHoldAreRefused_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        const QString quoteOrBreak =
            QStringLiteral("Refused color profile path with a double quote or line break: ");
        QTest::newRow("double quote") << "a\"b.icc" << quoteOrBreak + "a\"b.icc";
        QTest::newRow("line feed") << "a\nb.icc" << quoteOrBreak + "a\\nb.icc";
        QTest::newRow("carriage return") << "a\rb.icc" << quoteOrBreak + "a\\rb.icc";
        QTest::newRow("both") << "a\r\n\"b.icc" << quoteOrBreak + "a\\r\\n\"b.icc";
        // The system would open the profile "a" and the text would be kept.
        QTest::newRow("NUL") << QStringLiteral("a") + QChar(0) + "zzz"
                             << "Refused color profile path with a NUL character: a\\0zzz";
    }
    void pathsTheTreeFileCannotHoldAreRefused() {
        QFETCH(QString, name);
        QFETCH(QString, shown);
        TestLog log;
        Tree tree;
        oneMonitor(tree, log.log);
        // A readable profile under that name (up to a NUL): refused before
        // it is parsed.
        QVERIFY(!writeProfile(log.dir, name.section(QChar(0), 0, 0), icc::linearCurves()).isEmpty());
        const QString path = log.dir.path() + "/" + name;
        QVERIFY(!tree.Associate(path, log.log));
        const QString prefix = shown.left(shown.indexOf(": ") + 2);
        QCOMPARE(log.text(), prefix + log.dir.path() + "/" + shown.mid(prefix.size()) + "\n\n");
        QCOMPARE(tree.currentMode()->profile, QStringLiteral("RED"));
        QVERIFY(!tree.currentMode()->hasCurve);
        // The same goes for a global association.
        QVERIFY(tree.SetAssociationMode(true, log.log, path));
        QVERIFY(tree.currentMode()->profile.isEmpty());
    }

    void switchingToGlobalAndBack() {
        TestLog log;
        Tree tree;
        oneMonitor(tree, log.log);
        const icc::Curves curves = icc::gammaCurves(2.4, 2.2, 2.0);
        const QString path = writeProfile(log.dir, QStringLiteral("global.icc"), curves);
        tree.ResetCursors();
        tree.NextMonitor();
        QVERIFY(tree.SetAssociationMode(true, log.log, path));
        const Monitor& monitor = *tree.currentMonitor();
        QVERIFY(monitor.globalAssociation);
        QVERIFY(tree.MonitorHasNoResolutions());
        QCOMPARE(tree.currentMode(), monitor.globalMode.get());
        QCOMPARE(monitor.globalMode->profile, path);
        QVERIFY(monitor.globalMode->hasCurve);
        QVERIFY(rampsEqual(monitor.globalMode->curve, rampOf(curves)));
        QCOMPARE(log.text(), "Successfully parsed color profile: " + path + "\n\n");

        tree.ResetCursors();
        tree.NextMonitor();
        QVERIFY(tree.SelectGlobalMode());
        QCOMPARE(tree.currentMode(), monitor.globalMode.get());

        QVERIFY(tree.SetAssociationMode(false, log.log));
        QVERIFY(!monitor.globalAssociation);
        QVERIFY(!monitor.globalMode);
        QVERIFY(tree.MonitorHasNoResolutions());
        QCOMPARE(tree.currentResolution(), monitor.resolutionHead.get());
        QCOMPARE(tree.currentMode(), monitor.resolutionHead->modeHead.get());
        QVERIFY(!tree.SelectGlobalMode());

        QVERIFY(tree.SetAssociationMode(true, log.log));
        QVERIFY(monitor.globalMode);
        QVERIFY(monitor.globalMode->profile.isEmpty());

        tree.ResetCursors();
        QVERIFY(!tree.SetAssociationMode(true, log.log));
        QVERIFY(!tree.monitorHead()->globalAssociation);
    }

    void modeSpecificStaysModeSpecific() {
        Log log;
        Tree tree;
        oneMonitor(tree, log);
        QVERIFY(tree.SetAssociationMode(false, log));
        QCOMPARE(describeMonitor(*tree.currentMonitor()),
                 QStringLiteral("640x480: 640x480x32 @ 75Hz, 640x480x32 @ 60Hz [RED]"));
    }

    void handOffClampsOnlyTheDisplaysCopy_data() {
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("red255");
        QTest::addColumn<int>("green1");
        QTest::addColumn<int>("blue1");
        QTest::newRow("Default") << 0 << 65535 << 257 << 63;
        QTest::newRow("10-bit") << 10 << 65472 << 256 << 0;
        QTest::newRow("8-bit") << 8 << 65280 << 256 << 0;
    }
    void handOffClampsOnlyTheDisplaysCopy() {
        QFETCH(int, depth);
        QFETCH(int, red255);
        QFETCH(int, green1);
        QFETCH(int, blue1);
        Mode m(mode(640, 480), QStringLiteral("/profiles/display.icc"));
        m.curve = rampToClamp();
        m.hasCurve = true;
        auto sim = std::make_unique<SimDisplaySystem>();
        sim->attachMonitor(sim->addAdapter("\\\\.\\DISPLAY1", "Card"), monitorRecord("AAA0001"));
        sim->setModes(0, {mode(640, 480)});
        ActiveDisplayList displays;
        displays.Capture(*sim);
        displays.NextDisplay();
        handAssociationToDisplay(displays, m, depth);
        QCOMPARE(displays.CurrentProfile(), m.profile);
        QVERIFY(displays.CurrentHasCurve());
        QCOMPARE(int(displays.CurrentCurve().red[255]), red255);
        QCOMPARE(int(displays.CurrentCurve().green[1]), green1);
        QCOMPARE(int(displays.CurrentCurve().blue[1]), blue1);
        QVERIFY(rampsEqual(m.curve, rampToClamp()));

        // What the loop's lookup copied out is handed over the same way.
        AssociationLookup found;
        found.profile = m.profile;
        found.hasCurve = true;
        found.curve = m.curve;
        ActiveDisplayList again;
        again.Capture(*sim);
        again.NextDisplay();
        handAssociationToDisplay(again, found, depth);
        QVERIFY(rampsEqual(again.CurrentCurve(), displays.CurrentCurve()));
    }

    void handOffWithoutCurve_data() {
        QTest::addColumn<QString>("profile");
        QTest::newRow("a path whose file did not parse") << "/profiles/missing.icc";
        QTest::newRow("a tint") << "CYAN";
        QTest::newRow("nothing") << "";
    }
    void handOffWithoutCurve() {
        QFETCH(QString, profile);
        const Mode m(mode(640, 480), profile);
        ActiveDisplayList displays;
        const GammaRamp before = rampToClamp();
        displays.SetCurrentCurve(before);
        handAssociationToDisplay(displays, m, 8);
        QCOMPARE(displays.CurrentProfile(), profile);
        QVERIFY(!displays.CurrentHasCurve());
        QVERIFY(rampsEqual(displays.CurrentCurve(), before));
    }
};

QTEST_MAIN(TestAssociation)
#include "tst_association.moc"
