// The Windows program as a Windows user meets it, under Wine: the folder
// with tavrin.exe, its DLLs and plugins, on Xorg with the dummy driver (two
// monitors) and a system tray (trayer), driven with keys typed and clicks
// made through the X server. Wine's USER32 and GDI32 turn the program's
// display calls into RandR and XF86VidMode requests, its registry is the
// prefix's, its tray icons are docked into trayer.
//
// Run by scripts/check-windows.sh, which builds the program and the prefix
// (TAVRIN_WINDOWS_PROGRAM, WINEPREFIX); without them every case skips.
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include "desktop_session.h"
#include "ramps/gamma_ramp.h"
#include "wine_program.h"

namespace {

using Program = DesktopSession::Program;

// Wine's first start of a session brings up its server and its desktop
// process: slower than a native start.
constexpr int startMs = 60000;

// Wine keeps one gamma table for the whole X screen: a monitor without an
// association gets nothing loaded, so that the two monitors do not take
// turns in it. The X server keeps that table's entries at 8 bits, so a tint
// reads back otherwise than it was set: no drift test either.
const QByteArray settings =
    "[1.05]\r\ndefCPAssocMode = 1\r\nloadLinearCurveByDefault = 0\r\nloadLinearCurveOnExit = 1\r\n"
    "lockLoadedProfiles = 0\r\npollingPeriod = 250\r\nLUTBitDepth = 0\r\nenableTrayIcon = 1\r\n"
    "checkForUpdates = 0\r\nupdateAvailable = 0\r\nrunOnStartup = 0";

// A text file as Windows writes it: every line break CR LF.
bool hasWindowsLineEnds(const QByteArray& text) {
    return text.contains("\r\n") && text.count('\n') == text.count("\r\n");
}

QString textOf(const QByteArray& windowsText) {
    return QString::fromLocal8Bit(windowsText).replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

QString logOf(DesktopSession& d) {
    return textOf(d.dir().readFile(QStringLiteral("Log.txt")));
}

QString treeOf(DesktopSession& d) {
    return textOf(d.dir().readFile(QStringLiteral("Tree.txt")));
}

GammaTable768 tableOf(const GammaRamp& ramp) {
    GammaTable768 t;
    rampToTable(ramp, t);
    return t;
}

// Wine loads gamma through XF86VidMode, into one table for the whole X
// screen (on this server apart from the CRTCs' own), which keeps 8 bits per
// entry: the tables are compared in their high bytes.
bool sameIn8Bits(const std::optional<GammaTable768>& loaded, const GammaTable768& expected) {
    if (!loaded)
        return false;
    for (size_t i = 0; i < expected.size(); ++i)
        if ((*loaded)[i] >> 8 != expected[i] >> 8)
            return false;
    return true;
}

// A few entries of each channel of the X screen's gamma table, for failure
// messages.
QByteArray gammaText(DesktopSession& d) {
    const std::optional<GammaTable768> t = d.server().vidModeGamma();
    if (!t)
        return "no gamma table";
    QByteArray text = "gamma table";
    for (int c = 0; c < 3; ++c) {
        text += c == 0 ? ": " : " | ";
        for (int i : {1, 128, 255}) text += QByteArray::number((*t)[c * 256 + i]) + " ";
    }
    return text;
}

// The first monitor's block of a tree file: from "<Monitor>" to "</Monitor>".
QString firstMonitor(const QString& tree) {
    const qsizetype begin = tree.indexOf(QLatin1String("<Monitor>\n"));
    const qsizetype end = tree.indexOf(QLatin1String("</Monitor>"), begin);
    return begin < 0 || end < 0 ? QString() : tree.mid(begin, end - begin);
}

// The rows of the first monitor's resolution list, "W H" in the tree's order.
QStringList resolutionRows(const QString& tree) {
    QStringList rows;
    static const QRegularExpression resolution("<Resolution>\n(\\d+ \\d+)\n");
    for (const auto& m : resolution.globalMatch(firstMonitor(tree))) rows << m.captured(1);
    return rows;
}

// The rows of the mode list of resolution "W H": "bits flags frequency".
QStringList modeRows(const QString& tree, const QString& size) {
    const QString monitor = firstMonitor(tree);
    const qsizetype begin = monitor.indexOf("<Resolution>\n" + size + "\n");
    const qsizetype end = monitor.indexOf(QLatin1String("</Resolution>"), begin);
    QStringList rows;
    if (begin < 0 || end < 0)
        return rows;
    static const QRegularExpression mode("<Mode>\n(\\d+)\n(\\d+)\n(\\d+)\n");
    for (const auto& m : mode.globalMatch(monitor.mid(begin, end - begin)))
        rows << m.captured(1) + " " + m.captured(2) + " " + m.captured(3);
    return rows;
}

// "Down" typed `n` times.
QStringList down(qsizetype n) {
    QStringList keys;
    for (qsizetype i = 0; i < n; ++i) keys << QStringLiteral("Down");
    return keys;
}

// The Windows form of a path, as Wine gives it to the program.
QString windowsPath(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("winepath"), {QStringLiteral("-w"), path});
    if (!p.waitForFinished(30000))
        return {};
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

// Opens "Settings" under "Tools": the menu bar's first menu with the mouse,
// a step right to "Tools" and its one entry.
qulonglong openSettings(DesktopSession& d, qulonglong window) {
    const QRect r = d.geometry(window);
    if (!d.click(r.topLeft() + QPoint(12, 10)))
        return 0;
    QTest::qWait(300);
    d.xdotool({"key", "--delay", "100", "Right", "Return"});
    return d.waitForWindow("Settings");
}

// Chooses "Exit" in the tray icon's menu: the last entry, whatever comes
// before it. The menu is a window titled "Tavrin". A click on an icon that
// was docked a moment ago can go unanswered under Wine: it is clicked again.
bool exitThroughTheTray(DesktopSession& d) {
    const QRect icon = d.trayIcon(startMs);
    if (icon.isEmpty())
        return false;
    qulonglong menu = 0;
    for (int attempt = 0; attempt < 3 && !menu; ++attempt) {
        if (!d.click(icon.center(), 3))
            return false;
        menu = d.waitForWindow("Tavrin", 3000);
    }
    if (!menu)
        return false;
    bool ok = false;
    d.xdotool({"key", "--delay", "100", "Up", "Return"}, &ok);
    return ok;
}

}  // namespace

class TestWineEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void init() {
        const QString reason = DesktopSession::unavailableReason(true, Program::WindowsUnderWine);
        if (!reason.isEmpty())
            QSKIP(qPrintable(reason));
    }

    // The first start: setup, its settings file beside the executable, and
    // the monitors Wine reports detected into the tree file.
    void firstStartSetsUpAndDetects() {
        DesktopSession d(Program::WindowsUnderWine);
        QVERIFY2(d.start(true), qPrintable(d.errorString()));
        QVERIFY(d.launch());
        const qulonglong setup = d.waitForWindow("First time setup", startMs);
        QVERIFY2(setup, qPrintable(logOf(d)));
        QVERIFY(d.keys(setup, {"space"}));
        const qulonglong window = d.waitForWindow("Tavrin v1.05");
        QVERIFY(window);
        const QByteArray saved = d.dir().readFile("Settings.txt");
        QVERIFY(saved.startsWith("[1.05]\r\ndefCPAssocMode = 1\r\n"));
        QVERIFY(saved.endsWith("runOnStartup = 0"));
        QVERIFY(hasWindowsLineEnds(saved));
        QVERIFY(hasWindowsLineEnds(d.dir().readFile("Log.txt")));

        // The keyboard starts on the monitors' "Detect".
        QVERIFY(d.keys(window, {"space"}));
        QTRY_VERIFY_WITH_TIMEOUT(treeOf(d).count("<Monitor>") == 2, 10000);
        QVERIFY(hasWindowsLineEnds(d.dir().readFile("Tree.txt")));
        QVERIFY(logOf(d).contains("]Detect Monitors button pressed.\n"));
        QVERIFY(exitThroughTheTray(d));
        QCOMPARE(d.waitForExit(startMs), 0);
        static const QRegularExpression launched(
            "^\\[\\d{4}-\\d{2}-\\d{2}\\.\\d{2}:\\d{2}:\\d{2}\\]Tavrin v1\\.05 launched\\.\n");
        QVERIFY2(launched.match(logOf(d)).hasMatch(), qPrintable(logOf(d)));
        QVERIFY(logOf(d).endsWith("Exiting application...\n"));
    }

    // The user's way to a tint: the first monitor's current resolution and
    // mode chosen with the keyboard, "Pre-defined", "RED", "Associate
    // Profile". Wine loads it through its own gamma path into the X server;
    // the tray's "Exit" puts the linear curve back.
    void tintOfTheCurrentModeReachesTheServer() {
        DesktopSession d(Program::WindowsUnderWine);
        QVERIFY2(d.start(true), qPrintable(d.errorString()));
        d.dir().writeFile("Settings.txt", settings);
        FixedRamps ramps;
        buildRamps(ramps);
        QVERIFY(d.launch({"-start"}));
        const qulonglong window = d.waitForWindow("Tavrin v1.05", startMs);
        QVERIFY2(window, qPrintable(logOf(d)));

        // "Detect" brings the monitors with their resolutions and modes.
        QVERIFY(d.keys(window, {"space"}));
        QTRY_VERIFY_WITH_TIMEOUT(treeOf(d).count("<Monitor>") == 2, 10000);
        // DUMMY0 runs 1920x1080 at 60 Hz in 32-bit colour.
        const QString tree = treeOf(d);
        const qsizetype resolution = resolutionRows(tree).indexOf("1920 1080");
        QVERIFY2(resolution >= 0, qPrintable(tree));
        const qsizetype mode = modeRows(tree, "1920 1080").indexOf("32 0 60");
        QVERIFY2(mode >= 0, qPrintable(tree));

        // Into the monitor list (its first row becomes current), on to the
        // resolution list and down to the row, on to the mode list and
        // down to the row; then "Associate", "Pre-defined", the tint list's
        // third entry (after "LINEAR" and "NULL"), "Associate Profile".
        QVERIFY(d.keys(window, QStringList{"Tab", "Tab", "Tab", "Tab", "Tab"} + down(resolution) +
                                   QStringList{"Tab", "Tab", "Tab"} + down(mode) +
                                   QStringList{"Tab", "space", "Tab", "Tab", "space", "Tab",
                                               "Down", "Down", "Tab", "space"}));
        QTRY_VERIFY_WITH_TIMEOUT(logOf(d).contains("]Associating profile: \"RED\" at:\n"), 5000);
        QVERIFY2(logOf(d).contains("Resolution: 1920x1080\n\nMode:\nBits Per Pixel: 32\n"),
                 qPrintable(logOf(d)));
        QTRY_VERIFY2_WITH_TIMEOUT(
            sameIn8Bits(d.server().vidModeGamma(), tableOf(ramps.tintRamps[0])), gammaText(d),
            5000);
        QVERIFY(logOf(d).contains("Changing to RED tint\n"));
        QVERIFY(treeOf(d).contains("\"RED\"\n</Mode>"));

        QVERIFY(exitThroughTheTray(d));
        QCOMPARE(d.waitForExit(startMs), 0);
        QVERIFY(logOf(d).endsWith("Exiting application...\n"));
        QVERIFY(sameIn8Bits(d.server().vidModeGamma(), tableOf(ramps.linearRamp)));
    }

    // Started at login as the Run value starts it, from a tree that holds a
    // tint for the first monitor: the tint is loaded, no window is shown,
    // the program sits in the tray.
    void startsHiddenFromATree() {
        DesktopSession d(Program::WindowsUnderWine);
        QVERIFY2(d.start(true), qPrintable(d.errorString()));
        d.dir().writeFile("Settings.txt", settings);
        FixedRamps ramps;
        buildRamps(ramps);

        // The monitors as Wine reports them, detected by the program itself.
        QVERIFY(d.launch());
        const qulonglong window = d.waitForWindow("Tavrin v1.05", startMs);
        QVERIFY2(window, qPrintable(logOf(d)));
        QVERIFY(d.keys(window, {"space"}));
        QTRY_VERIFY_WITH_TIMEOUT(treeOf(d).count("<Monitor>") == 2, 10000);
        QVERIFY(exitThroughTheTray(d));
        QCOMPARE(d.waitForExit(startMs), 0);

        // GREEN for the first monitor, "NULL" (left alone) for the second,
        // whatever their modes.
        QString tree = "<v1.04>";
        static const QRegularExpression monitor("<Monitor>\n(?:.*\n){4}");
        for (const auto& m : monitor.globalMatch(treeOf(d)))
            tree += "\n" + m.captured(0) + (tree.contains("GREEN") ? "<global>\nNULL\n" : "<global>\nGREEN\n") +
                    "</Monitor>";
        QCOMPARE(tree.count("<global>"), 2);
        d.dir().writeFile("Tree.txt", QString(tree).replace("\n", "\r\n").toLocal8Bit());
        QVERIFY(d.launch({"-start", "-hide"}));
        QTRY_VERIFY_WITH_TIMEOUT(
            sameIn8Bits(d.server().vidModeGamma(), tableOf(ramps.tintRamps[1])), startMs);
        QVERIFY(logOf(d).contains("Loading GREEN tint\n"));
        QVERIFY(!d.waitForWindow("Tavrin v1.05", 1000));
        QVERIFY(exitThroughTheTray(d));
        QCOMPARE(d.waitForExit(startMs), 0);
        QVERIFY(sameIn8Bits(d.server().vidModeGamma(), tableOf(ramps.linearRamp)));
    }

    // "Start automatically" writes the Run value with the command line that
    // starts this executable with "-start"; unticking it removes the value.
    void startAutomaticallyWritesTheRunValue() {
        DesktopSession d(Program::WindowsUnderWine);
        QVERIFY2(d.start(true), qPrintable(d.errorString()));
        const QString display = d.server().displayName();
        wine::removeRunValue(display);
        d.dir().writeFile("Settings.txt", settings);
        QVERIFY(d.launch());
        const qulonglong window = d.waitForWindow("Tavrin v1.05", startMs);
        QVERIFY2(window, qPrintable(logOf(d)));
        const QString expected = "\"" + windowsPath(d.programFile()) + "\" -start";
        QVERIFY(expected.startsWith("\"Z:\\"));

        // From "OK", back to "Start automatically", tick it, "OK".
        const QStringList toggle{"shift+Tab", "shift+Tab", "space", "Tab", "Tab", "space"};
        qulonglong settingsWindow = openSettings(d, window);
        QVERIFY(settingsWindow);
        QVERIFY(d.keys(settingsWindow, toggle));
        // The start-up log lists the settings as read: the change has a
        // block of its own.
        QTRY_VERIFY_WITH_TIMEOUT(logOf(d).contains("Settings changed:\nrunOnStartup = 1\n"), 5000);
        // Without a window manager Wine waits up to 2 s for a hidden window
        // to be withdrawn: the next "Settings" is a new one.
        QTRY_VERIFY_WITH_TIMEOUT(!d.waitForWindow("Settings", 0), 10000);
        // The value follows the log line.
        QTRY_COMPARE_WITH_TIMEOUT(wine::runValue(display), std::optional<QString>(expected), 10000);
        QVERIFY(d.dir().readFile("Settings.txt").endsWith("runOnStartup = 1"));

        settingsWindow = openSettings(d, window);
        QVERIFY(settingsWindow);
        QVERIFY(d.keys(settingsWindow, toggle));
        QTRY_VERIFY_WITH_TIMEOUT(logOf(d).contains("Settings changed:\nrunOnStartup = 0\n"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(wine::runValue(display), std::nullopt, 10000);

        QVERIFY(exitThroughTheTray(d));
        QCOMPARE(d.waitForExit(startMs), 0);
    }
};

QTEST_GUILESS_MAIN(TestWineEndToEnd)
#include "tst_wine_end_to_end.moc"
