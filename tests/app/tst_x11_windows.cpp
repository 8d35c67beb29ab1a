// The windows of the real program on a real X server (Xorg with the dummy
// driver, two monitors), driven with keys typed through the server.
#include <QElapsedTimer>
#include <QTest>

#include "desktop_session.h"
#include "icc_profiles.h"
#include "loopback_http_server.h"
#include "output_description.h"
#include "platform/x11/x11_display_system.h"
#include "ramps/gamma_ramp.h"

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
        const QString reason = DesktopSession::unavailableReason(true);
        if (!reason.isEmpty())
            QSKIP(qPrintable(reason));
    }

    void firstTimeSetup_data() {
        QTest::addColumn<QString>("answer");
        QTest::newRow("OK") << "OK";
        QTest::newRow("Cancel") << "Cancel";
    }
    // First-time setup asks nothing of the network before the user's OK,
    // and the OK (with checking on, as it starts) runs the first check.
    // Cancelled, it leaves the user the main window and saves nothing.
    void firstTimeSetup() {
        QFETCH(QString, answer);
        LoopbackHttpServer updates;
        updates.answer(200, "1.06");
        DesktopSession d;
        QVERIFY2(d.start(), qPrintable(d.errorString()));
        QProcessEnvironment env;
        env.insert("TAVRIN_TEST_UPDATE_URL", updates.url().toString());
        QVERIFY(d.launch({}, env));
        const qulonglong setup = d.waitForWindow("First time setup");
        QVERIFY(setup);
        QVERIFY(!d.waitForWindow("Tavrin v1.05", 300));
        QTest::qWait(500);
        QCOMPARE(updates.requests(), 0);
        // The keyboard starts on "OK"; "Cancel" is next.
        QVERIFY(d.keys(setup, answer == "OK" ? QStringList{"space"} : QStringList{"Tab", "space"}));
        QVERIFY(d.waitForWindow("Tavrin v1.05"));
        if (answer == "OK") {
            QVERIFY(d.dir().readFile("Settings.txt").startsWith("[1.05]\ndefCPAssocMode = 1\n"));
            QVERIFY(d.dir().readFile("Settings.txt").endsWith("runOnStartup = 0"));
            QTRY_COMPARE_WITH_TIMEOUT(updates.requests(), 1, 5000);
            QTRY_VERIFY_WITH_TIMEOUT(d.log().contains("]Update is available.\n"), 5000);
        } else {
            QTRY_VERIFY(!d.waitForWindow("First time setup", 100));
            QVERIFY(d.running());
            QVERIFY(!d.dir().exists("Settings.txt"));
            QTest::qWait(500);
            QCOMPARE(updates.requests(), 0);
        }
        QCOMPARE(d.terminate(), 0);
    }

    void trayIconFollowsItsRules_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("icon");
        QTest::newRow("enabled") << QStringList{} << true << true;
        QTest::newRow("disabled") << QStringList{} << false << false;
        QTest::newRow("disabled, -hide") << QStringList{"-hide"} << false << true;
    }
    void trayIconFollowsItsRules() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, enabled);
        QFETCH(bool, icon);
        DesktopSession d;
        QVERIFY2(d.start(true), qPrintable(d.errorString()));
        QByteArray s = settings;
        if (!enabled)
            s.replace("enableTrayIcon = 1", "enableTrayIcon = 0");
        d.dir().writeFile("Settings.txt", s);
        QVERIFY(d.launch(arguments));
        QTRY_VERIFY(d.log().contains("Successfully loaded all settings."));
        QCOMPARE(!d.trayIcon(icon ? 10000 : 1000).isEmpty(), icon);
        QCOMPARE(d.terminate(), 0);
    }

    void livesInTheTray() {
        DesktopSession d;
        QVERIFY2(d.start(true), qPrintable(d.errorString()));
        d.dir().writeFile("Settings.txt", settings);
        d.dir().writeFile("Tree.txt", "<v1.04>\n<Monitor>\nMONITOR\\Default_Monitor\\DUMMY0\\0000\n"
                                      "DUMMY0\nGeneric Monitor\nDummy adapter\n<global>\nRED\n"
                                      "</Monitor>");
        QVERIFY(d.launch());
        const qulonglong window = d.waitForWindow("Tavrin v1.05");
        QVERIFY(window);
        const QRect icon = d.trayIcon();
        QVERIFY(!icon.isEmpty());

        // Hide, Start, Exit: "Start" starts the loop.
        QVERIFY(d.click(icon.center(), 3));
        QTest::qWait(300);
        d.xdotool({"key", "--delay", "60", "Down", "Down", "Return"});
        QTRY_VERIFY_WITH_TIMEOUT(d.log().contains("]Start loop called.\n\n"), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(d.log().contains("Loading RED tint"), 5000);

        // Closed, the window goes into the tray; the program and its loop go on.
        QVERIFY(d.closeWindow(window));
        QTRY_VERIFY_WITH_TIMEOUT(!d.waitForWindow("Tavrin v1.05", 100), 5000);
        d.server().xrandr({"--output", "DUMMY0", "--gamma", "0.5:0.5:0.5"});
        QTRY_VERIFY_WITH_TIMEOUT(d.log().contains("Setting back RED tint"), 5000);
        QVERIFY(d.running());

        // Show, Stop, Exit: "Exit" ends it through the exit handler.
        QVERIFY(d.click(icon.center(), 3));
        QTest::qWait(300);
        d.xdotool({"key", "--delay", "60", "Down", "Down", "Down", "Return"});
        QCOMPARE(d.waitForExit(), 0);
        QVERIFY(d.log().contains("]Application exit called.\n\nStopping loop...\n\n"));
        QCOMPARE(d.log().count("Application exit called."), 1);
        QVERIFY(d.log().endsWith("Exiting application...\n"));
    }

    // While one Tavrin keeps DUMMY0 on a tint, a second start of the same
    // copy never changes the display: it ends within 2 s, having shown the
    // first one's window (not for "--help"), and writes nothing.
    void secondStartChangesNothing_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("showsWindow");
        QTest::newRow("no arguments") << QStringList{} << true;
        QTest::newRow("--help") << QStringList{"--help"} << false;
        QTest::newRow("-start") << QStringList{"-start"} << true;
        QTest::newRow("-start -hide") << QStringList{"-start", "-hide"} << false;
    }
    void secondStartChangesNothing() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, showsWindow);
        DesktopSession d;
        QVERIFY2(d.start(), qPrintable(d.errorString()));
        d.dir().writeFile("Settings.txt", settings);
        d.dir().writeFile("Tree.txt", "<v1.04>\n<Monitor>\nMONITOR\\Default_Monitor\\DUMMY0\\0000\n"
                                      "DUMMY0\nGeneric Monitor\nDummy adapter\n<global>\nMAGENTA\n"
                                      "</Monitor>");
        FixedRamps ramps;
        buildRamps(ramps);
        GammaTable768 tint;
        rampToTable(ramps.tintRamps[5], tint);
        QVERIFY(d.launch({"-start", "-hide"}));
        QTRY_VERIFY_WITH_TIMEOUT(d.server().crtcGamma("DUMMY0") == tint, 5000);
        QVERIFY(!d.waitForWindow("Tavrin v1.05", 300));
        const QByteArray log = d.dir().readFile("Log.txt");
        const QByteArray tree = d.dir().readFile("Tree.txt");

        QProcess second;
        second.setProcessEnvironment(d.programEnvironment());
        second.setWorkingDirectory(d.dir().path());
        QElapsedTimer took;
        took.start();
        second.start(d.dir().binaryPath(), arguments);
        QVERIFY(second.waitForStarted());
        int samples = 0;
        while (second.state() != QProcess::NotRunning && took.elapsed() < 2000) {
            QVERIFY2(d.server().crtcGamma("DUMMY0") == tint, "the tint left DUMMY0");
            ++samples;
            second.waitForFinished(20);
        }
        QVERIFY2(second.state() == QProcess::NotRunning, "the second start did not end within 2 s");
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(samples > 0);
        QCOMPARE(d.waitForWindow("Tavrin v1.05", showsWindow ? 5000 : 500) != 0, showsWindow);
        for (int i = 0; i < 10; ++i) {
            QVERIFY(d.server().crtcGamma("DUMMY0") == tint);
            QTest::qWait(50);
        }
        QCOMPARE(d.dir().readFile("Log.txt"), log);
        QCOMPARE(d.dir().readFile("Tree.txt"), tree);
        QVERIFY(d.running());
        QCOMPARE(d.terminate(), 0);
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

    // A mode another client added to an output that has its size already
    // is detected under that size's one Resolution, and a profile
    // associated with it from the keyboard is loaded whenever the output
    // shows it: after a switch away and back, and after a restart.
    void addedModeOfAKnownSizeKeepsItsAssociation() {
        DesktopSession d;
        QVERIFY2(d.start(), qPrintable(d.errorString()));
        const QString added = "t_1024x768_66";
        d.server().xrandr({"--newmode", added, "70.64", "1024", "1048", "1184", "1328", "768",
                           "771", "777", "806"});
        QVERIFY(d.server().xrandr({"--addmode", "DUMMY0", added}).ok);
        d.dir().writeFile("Settings.txt", settings);
        const icc::Curves curves = icc::gammaCurves(1.6, 1.8, 2.4);
        const QString profile = d.dir().filePath("added.icc");
        d.dir().writeFile("added.icc", icc::lcmsTableProfile(icc::Version::V2, curves));
        QVERIFY(d.launch({"-start"}));
        const qulonglong window = d.waitForWindow("Tavrin v1.05");
        QVERIFY(window);
        QVERIFY(d.keys(window, {"space"}));
        QTRY_VERIFY_WITH_TIMEOUT(d.dir().readFile("Tree.txt").count("<Monitor>") == 2, 5000);

        // DUMMY0's block: every size once; the rows of 1024x768 and of its
        // 66 Hz mode in the lists.
        const QByteArray tree = d.dir().readFile("Tree.txt");
        QList<QByteArray> sizes;
        QList<QList<QByteArray>> modes;  // bits, flags and frequency lines, per size
        for (const QByteArray& part : tree.left(tree.indexOf("</Monitor>")).split('<')) {
            if (part.startsWith("Resolution>\n")) {
                const QByteArray size = part.mid(12).trimmed();
                QVERIFY2(!sizes.contains(size), size.constData());
                sizes << size;
                modes << QList<QByteArray>();
            } else if (part.startsWith("Mode>\n") && !modes.isEmpty()) {
                modes.last() << part.mid(6).trimmed();
            }
        }
        const int resolutionRow = int(sizes.indexOf("1024 768"));
        QVERIFY(resolutionRow >= 0);
        const int modeRow = int(modes[resolutionRow].indexOf("32\n0\n66"));
        QVERIFY(modeRow >= 0);

        QStringList keys{"Tab", "Tab", "Tab", "Tab", "Tab"};
        for (int i = 0; i < resolutionRow; ++i) keys << "Down";
        keys << "Tab" << "Tab" << "Tab";
        for (int i = 0; i < modeRow; ++i) keys << "Down";
        keys << "Tab" << "space" << "Tab" << "space" << "Tab" << "Tab";
        QVERIFY(d.keys(window, keys));
        QVERIFY(d.type(window, profile));
        QVERIFY(d.keys(window, {"Tab", "Tab", "space"}));
        QTRY_VERIFY_WITH_TIMEOUT(d.dir().readFile("Tree.txt").contains(
                                     "<Mode>\n32\n0\n66\n\"" + profile.toUtf8() + "\"\n"),
                                 5000);

        FixedRamps ramps;
        buildRamps(ramps);
        GammaTable768 linear;
        rampToTable(ramps.linearRamp, linear);
        QVERIFY(d.server().xrandr({"--output", "DUMMY0", "--mode", added}).ok);
        QTRY_VERIFY_WITH_TIMEOUT(d.server().crtcGamma("DUMMY0") == tableOf(curves), 5000);
        QVERIFY(d.server().xrandr({"--output", "DUMMY0", "--mode", "1920x1080"}).ok);
        QTRY_VERIFY_WITH_TIMEOUT(d.server().crtcGamma("DUMMY0") == linear, 5000);
        QVERIFY(d.server().xrandr({"--output", "DUMMY0", "--mode", added}).ok);
        QTRY_VERIFY_WITH_TIMEOUT(d.server().crtcGamma("DUMMY0") == tableOf(curves), 5000);
        QCOMPARE(d.terminate(), 0);
        QVERIFY(d.launch({"-start", "-hide"}));
        QTRY_VERIFY_WITH_TIMEOUT(d.server().crtcGamma("DUMMY0") == tableOf(curves), 5000);
        QCOMPARE(d.terminate(), 0);
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
