// The windows of the real program on a real X server (Xorg with the dummy
// driver, two monitors), driven with keys typed through the server.
#include <QTest>

#include "desktop_session.h"

namespace {

const QByteArray settings =
    "[1.05]\ndefCPAssocMode = 1\nloadLinearCurveByDefault = 1\nloadLinearCurveOnExit = 1\n"
    "lockLoadedProfiles = 1\npollingPeriod = 250\nLUTBitDepth = 0\nenableTrayIcon = 1\n"
    "checkForUpdates = 0\nupdateAvailable = 0\nrunOnStartup = 0";

const QString dummy0 = "DeviceID = MONITOR\\Default_Monitor\\DUMMY0\\0000\n";
const QString dummy1 = "DeviceID = MONITOR\\Default_Monitor\\DUMMY1\\0000\n";

}  // namespace

class TestX11Windows : public QObject {
    Q_OBJECT

private slots:
    void init() {
        const QString reason = DesktopSession::unavailableReason();
        if (!reason.isEmpty())
            QSKIP(qPrintable(reason));
    }

    void mainWindowDetectsMonitorsFromTheKeyboard() {
        DesktopSession d;
        QVERIFY2(d.start(), qPrintable(d.errorString()));
        d.dir().writeFile("Settings.txt", settings);
        QVERIFY(d.launch());
        const qulonglong window = d.waitForWindow("Tavrin v1.05");
        QVERIFY(window);
        QCOMPARE(d.geometry(window).size(), QSize(1156, 646));

        // The keyboard starts on the monitors' "Detect".
        QVERIFY(d.keys(window, {"space"}));
        QTRY_VERIFY_WITH_TIMEOUT(d.dir().readFile("Tree.txt").count("<Monitor>") == 2, 5000);
        const QByteArray tree = d.dir().readFile("Tree.txt");
        QVERIFY(tree.contains("DUMMY0") && tree.contains("DUMMY1"));
        QVERIFY(d.log().contains("]Detect Monitors button pressed.\n"));

        // The list holds both, in the tree's order: into the list (its first
        // row becomes current), to the resolutions' "Detect", and again with
        // the second row.
        QVERIFY(d.keys(window, {"Tab", "Tab", "Tab", "space"}));
        QTRY_VERIFY_WITH_TIMEOUT(d.log().contains("Detecting all resolutions at:\nMonitor:\n" + dummy0),
                                 5000);
        QVERIFY(d.keys(window, {"shift+Tab", "Down", "Tab", "space"}));
        QTRY_VERIFY_WITH_TIMEOUT(d.log().contains("Detecting all resolutions at:\nMonitor:\n" + dummy1),
                                 5000);
        QCOMPARE(d.terminate(), 0);
        QVERIFY(d.log().endsWith("Exiting application...\n"));
    }
};

QTEST_GUILESS_MAIN(TestX11Windows)
#include "tst_x11_windows.moc"
