// The windows of the real program on a real X server (Xorg with the dummy
// driver, two monitors), driven with keys typed through the server.
#include <QTest>

#include "desktop_session.h"
#include "icc_profiles.h"
#include "output_description.h"
#include "platform/x11/x11_display_system.h"

namespace {

const QByteArray settings =
    "[1.05]\ndefCPAssocMode = 1\nloadLinearCurveByDefault = 1\nloadLinearCurveOnExit = 1\n"
    "lockLoadedProfiles = 1\npollingPeriod = 250\nLUTBitDepth = 0\nenableTrayIcon = 1\n"
    "checkForUpdates = 0\nupdateAvailable = 0\nrunOnStartup = 0";

const QString dummy0 = "DeviceID = MONITOR\\Default_Monitor\\DUMMY0\\0000\n";
const QString dummy1 = "DeviceID = MONITOR\\Default_Monitor\\DUMMY1\\0000\n";

GammaTable768 tableOf(const icc::Curves& curves) {
    GammaTable768 t;
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 256; ++i) t[c * 256 + i] = curves[c][i];
    return t;
}

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

    void profileAssociatedFromTheKeyboardIsLoadedAndKept() {
        DesktopSession d;
        QVERIFY2(d.start(), qPrintable(d.errorString()));
        OutputDescription dummy0;
        {
            auto x11 = X11DisplaySystem::open(d.server().displayNameBytes().constData());
            QVERIFY(x11 && describeOutput(*x11, "DUMMY0", dummy0));
        }
        // DUMMY0 with its current mode, nothing associated yet.
        d.dir().writeFile("Tree.txt", "<v1.04>\n" + treeMonitorLines(dummy0, "Dummy adapter") +
                                          "<Resolution>\n1920 1080\n" +
                                          treeModeLines(dummy0.current, {}) +
                                          "</Resolution>\n</Monitor>");
        d.dir().writeFile("Settings.txt", settings);
        const icc::Curves curves = icc::gammaCurves(2.2, 2.0, 1.8);
        const QString profile = d.dir().filePath("display.icc");
        d.dir().writeFile("display.icc", icc::lcmsTableProfile(icc::Version::V2, curves));

        QVERIFY(d.launch({"-start"}));
        const qulonglong window = d.waitForWindow("Tavrin v1.05");
        QVERIFY(window);
        QTRY_VERIFY_WITH_TIMEOUT(d.log().contains("(Loaded linear gamma ramp"), 5000);
        // Down the tab order to the mode list (each list's first row becomes
        // current), "Associate", "Color profile", then the path field.
        QStringList keys;
        for (int i = 0; i < 9; ++i) keys << "Tab";
        keys << "space"
             << "Tab"
             << "space"
             << "Tab"
             << "Tab";
        QVERIFY(d.keys(window, keys));
        QVERIFY(d.type(window, profile));
        QVERIFY(d.keys(window, {"Tab", "Tab", "space"}));
        QTRY_VERIFY_WITH_TIMEOUT(d.server().crtcGamma("DUMMY0") == tableOf(curves), 2000);
        QVERIFY2(d.log().contains("]Associating profile: \"" + profile + "\" at:\n"),
                 qPrintable(d.log()));
        QVERIFY(d.dir().readFile("Tree.txt").contains("\"" + profile.toUtf8() + "\""));

        // Ended, the display is linear again; started again, the tree file
        // brings the profile back.
        QCOMPARE(d.terminate(), 0);
        QVERIFY(d.server().crtcGamma("DUMMY0") != tableOf(curves));
        QVERIFY(d.launch({"-start", "-hide"}));
        QTRY_VERIFY_WITH_TIMEOUT(d.server().crtcGamma("DUMMY0") == tableOf(curves), 5000);
        QCOMPARE(d.terminate(), 0);
    }
};

QTEST_GUILESS_MAIN(TestX11Windows)
#include "tst_x11_windows.moc"
