// The program's main job on a real X server: `tavrin -start -hide` on Xorg
// with the dummy driver and two monitors keeps the calibration of each in
// place — the profile's curve on the first, a tint on the second — sets it
// back when another client replaces it, follows a mode switch, and puts the
// linear curve back when it ends.
#include <QDir>
#include <QRegularExpression>
#include <QTest>

#include "icc_profiles.h"
#include "output_description.h"
#include "platform/x11/x11_display_system.h"
#include "ramps/gamma_ramp.h"
#include "temp_app_dir.h"
#include "xorg_server.h"

namespace {

GammaTable768 tableOf(const icc::Curves& curves) {
    GammaTable768 t;
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 256; ++i) t[c * 256 + i] = curves[c][i];
    return t;
}

GammaTable768 tableOf(const GammaRamp& ramp) {
    GammaTable768 t;
    rampToTable(ramp, t);
    return t;
}

const QByteArray settings =
    "[1.05]\ndefCPAssocMode = 1\nloadLinearCurveByDefault = 1\nloadLinearCurveOnExit = 1\n"
    "lockLoadedProfiles = 1\npollingPeriod = 250\nLUTBitDepth = 0\nenableTrayIcon = 1\n"
    "checkForUpdates = 0\nupdateAvailable = 0\nrunOnStartup = 0";

}  // namespace

class TestX11EndToEnd : public QObject {
    Q_OBJECT

private slots:
    void keepsTwoMonitorsCalibrated() {
        const QString reason = XorgServer::unavailableReason();
        if (!reason.isEmpty())
            QSKIP(qPrintable(reason));
        XorgServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        QVERIFY(server.resetOutputs("1920x1080"));
        QVERIFY(server.attachMonitor("DUMMY1", "1280x1024"));

        // The identities and modes as the program will see them.
        auto x11 = X11DisplaySystem::open(server.displayNameBytes().constData());
        QVERIFY(x11);
        OutputDescription first, second;
        QVERIFY(describeOutput(*x11, "DUMMY0", first));
        QVERIFY(describeOutput(*x11, "DUMMY1", second));
        x11.reset();
        QCOMPARE(first.current.dmPelsWidth, DWORD(1920));

        TempAppDir dir;
        QVERIFY(dir.installBinary());
        const icc::Curves curves = icc::gammaCurves(2.2, 2.0, 1.8);
        const QString profile = dir.filePath("display profile.icc");
        dir.writeFile("display profile.icc", icc::lcmsTableProfile(icc::Version::V2, curves));

        // DUMMY0: the profile for its current mode, BLUE for every mode of
        // 1024x768; DUMMY1: RED whatever its mode (global).
        QByteArray tree = "<v1.04>\n" + treeMonitorLines(first, "Dummy adapter") + "<Resolution>\n1920 1080\n" +
                          treeModeLines(first.current, profile.toUtf8()) + "</Resolution>\n";
        tree += "<Resolution>\n1024 768\n";
        for (const DEVMODEA& m : first.modes)
            if (m.dmPelsWidth == 1024 && m.dmPelsHeight == 768)
                tree += treeModeLines(m, "BLUE");
        tree += "</Resolution>\n</Monitor>\n" + treeMonitorLines(second, "Dummy adapter") + "<global>\nRED\n</Monitor>";
        dir.writeFile("Tree.txt", tree);
        dir.writeFile("Settings.txt", settings);

        // Start from tables that are neither linear nor the targets.
        GammaTable768 foreign;
        foreign.fill(1000);
        QVERIFY(server.setCrtcGamma("DUMMY0", foreign));
        QVERIFY(server.setCrtcGamma("DUMMY1", foreign));

        QProcess tavrin;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", server.displayName());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        tavrin.setProcessEnvironment(env);
        tavrin.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        tavrin.start(dir.binaryPath(), {"-start", "-hide"});
        QVERIFY(tavrin.waitForStarted());
        auto log = [&] { return QString::fromUtf8(dir.readFile("Log.txt")); };

        FixedRamps ramps;
        buildRamps(ramps);
        QTRY_VERIFY_WITH_TIMEOUT(server.crtcGamma("DUMMY0") == tableOf(curves), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(server.crtcGamma("DUMMY1") == tableOf(ramps.tintRamps[0]), 10000);
        QVERIFY2(log().contains("Successfully parsed color profile: " + profile),
                 qPrintable(log()));
        QVERIFY(
            log().contains("Applying color profile: " + profile + "\n(Loaded gamma ramp - hDC = "));
        QVERIFY(log().contains("Loading RED tint\n(Loaded RED tint - hDC = "));
        // Started with both arguments, the first change is announced.
        QVERIFY(log().contains("]Monitor, resolution, and / or mode change(s) detected.\n\n"));

        // Another client replaces DUMMY0's table; two polling periods later
        // the profile is back.
        QVERIFY(server.xrandr({"--output", "DUMMY0", "--gamma", "0.5:0.5:0.5"}).ok);
        QTRY_VERIFY_WITH_TIMEOUT(
            log().contains("]Preserving - Current monitor:\n" + QString(first.monitor.DeviceID) +
                           "\nSetting back color profile: " + profile +
                           "\n(Set back gamma ramp - hDC = "),
            5000);
        QTRY_VERIFY_WITH_TIMEOUT(server.crtcGamma("DUMMY0") == tableOf(curves), 2000);

        // A mode switch by another client: that mode's association is loaded.
        const int changes = log().count("change(s) detected");
        QVERIFY(server.xrandr({"--output", "DUMMY0", "--mode", "1024x768"}).ok);
        QTRY_VERIFY_WITH_TIMEOUT(log().count("change(s) detected") == changes + 1, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(server.crtcGamma("DUMMY0") == tableOf(ramps.tintRamps[2]), 5000);
        QVERIFY(log().contains("Loading BLUE tint\n(Loaded BLUE tint - hDC = "));
        QVERIFY(server.crtcGamma("DUMMY1") == tableOf(ramps.tintRamps[0]));

        // Ended as a logout would: the exit handler puts the linear curve
        // back into both known monitors.
        tavrin.terminate();
        QVERIFY(tavrin.waitForFinished(10000));
        QCOMPARE(tavrin.exitCode(), 0);
        QVERIFY(log().endsWith("Exiting application...\n"));
        QVERIFY(server.crtcGamma("DUMMY0") == tableOf(ramps.linearRamp));
        QVERIFY(server.crtcGamma("DUMMY1") == tableOf(ramps.linearRamp));
    }

    // The profile's file is not there when the program starts (a drive
    // mounted late): the display gets the linear curve, the association
    // stays in the tree file, and once the file is there the next try (at
    // most 10 s later) loads it.
    void profileThatAppearsLaterIsLoaded() {
        const QString reason = XorgServer::unavailableReason();
        if (!reason.isEmpty())
            QSKIP(qPrintable(reason));
        XorgServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        QVERIFY(server.resetOutputs("1920x1080"));
        auto x11 = X11DisplaySystem::open(server.displayNameBytes().constData());
        QVERIFY(x11);
        OutputDescription first;
        QVERIFY(describeOutput(*x11, "DUMMY0", first));
        x11.reset();

        TempAppDir dir;
        QVERIFY(dir.installBinary());
        const QString profile = dir.filePath("later/display.icc");
        const QByteArray tree = "<v1.04>\n" + treeMonitorLines(first, "Dummy adapter") +
                                "<Resolution>\n1920 1080\n" +
                                treeModeLines(first.current, profile.toUtf8()) +
                                "</Resolution>\n</Monitor>";
        dir.writeFile("Tree.txt", tree);
        dir.writeFile("Settings.txt", settings);

        QProcess tavrin;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", server.displayName());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        tavrin.setProcessEnvironment(env);
        tavrin.start(dir.binaryPath(), {"-start", "-hide"});
        QVERIFY(tavrin.waitForStarted());
        auto log = [&] { return QString::fromUtf8(dir.readFile("Log.txt")); };
        FixedRamps ramps;
        buildRamps(ramps);
        QTRY_VERIFY_WITH_TIMEOUT(log().contains("(Loaded linear gamma ramp"), 10000);
        QVERIFY(log().contains("Failed to parse color profile: " + profile +
                               "\n(the file does not exist)\n"));
        QVERIFY(server.crtcGamma("DUMMY0") == tableOf(ramps.linearRamp));

        QTest::qWait(5000);
        const icc::Curves curves = icc::gammaCurves(2.4, 2.2, 2.0);
        QVERIFY(QDir(dir.path()).mkpath("later"));
        dir.writeFile("later/display.icc", icc::lcmsTableProfile(icc::Version::V2, curves));
        QTRY_VERIFY_WITH_TIMEOUT(server.crtcGamma("DUMMY0") == tableOf(curves), 11000);
        QVERIFY(log().contains("]Successfully parsed color profile: " + profile + "\n\n"));
        tavrin.terminate();
        QVERIFY(tavrin.waitForFinished(10000));
        QCOMPARE(dir.readFile("Tree.txt"), tree);
    }
};

QTEST_GUILESS_MAIN(TestX11EndToEnd)
#include "tst_x11_end_to_end.moc"
