// The program's main job on a real X server: `tavrin -start -hide` on Xorg
// with the dummy driver and two monitors keeps the calibration of each in
// place — the profile's curve on the first, a tint on the second — sets it
// back when another client replaces it, follows a mode switch, and puts the
// linear curve back when it ends.
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

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

// The test's own connection to the server, for properties.
class XDisplay {
public:
    explicit XDisplay(const QByteArray& name) : dpy_(XOpenDisplay(name.constData())) {}
    ~XDisplay() {
        if (dpy_)
            XCloseDisplay(dpy_);
    }
    bool ok() const { return dpy_ != nullptr; }

    RROutput output(const char* name) const {
        XRRScreenResources* res = XRRGetScreenResourcesCurrent(dpy_, DefaultRootWindow(dpy_));
        RROutput found = 0;
        for (int i = 0; res && i < res->noutput; ++i) {
            XRROutputInfo* info = XRRGetOutputInfo(dpy_, res, res->outputs[i]);
            if (info && QByteArray(info->name, info->nameLen) == name)
                found = res->outputs[i];
            XRRFreeOutputInfo(info);
        }
        XRRFreeScreenResources(res);
        return found;
    }
    // Empty when the property is absent or not of `type` and format 8.
    QByteArray outputProperty(const char* output, const char* property) const {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, rest = 0;
        unsigned char* data = nullptr;
        XRRGetOutputProperty(dpy_, this->output(output), XInternAtom(dpy_, property, False), 0,
                             1 << 20, False, False, AnyPropertyType, &type, &format, &count, &rest,
                             &data);
        return taken(type == XA_CARDINAL && format == 8, data, count);
    }
    QByteArray rootProperty(const char* property, const char* typeName = "CARDINAL") const {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, rest = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(dpy_, DefaultRootWindow(dpy_), XInternAtom(dpy_, property, False), 0,
                           1 << 20, False, AnyPropertyType, &type, &format, &count, &rest, &data);
        return taken(type == XInternAtom(dpy_, typeName, False) && format == 8, data, count);
    }
    // The server's Xinerama screens, in order, as xdpyinfo lists them.
    static QStringList xineramaHeads(XorgServer& server) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", server.displayName());
        p.setProcessEnvironment(env);
        p.start("xdpyinfo", {"-ext", "XINERAMA"});
        p.waitForFinished(10000);
        QStringList heads;
        static const QRegularExpression head(QStringLiteral("head #\\d+: (\\d+x\\d+) @ (\\d+),(\\d+)"));
        for (auto it = head.globalMatch(QString::fromLatin1(p.readAllStandardOutput())); it.hasNext();) {
            const auto m = it.next();
            heads << m.captured(1) + "+" + m.captured(2) + "+" + m.captured(3);
        }
        return heads;
    }

private:
    static QByteArray taken(bool wanted, unsigned char* data, unsigned long count) {
        const QByteArray bytes = wanted && data ? QByteArray(reinterpret_cast<const char*>(data),
                                                             qsizetype(count))
                                                : QByteArray();
        if (data)
            XFree(data);
        return bytes;
    }
    Display* dpy_;
};

// A root-window property as `xprop` prints it ("NAME(CARDINAL) = 0, 0, 2,
// ..."), turned back into bytes.
QByteArray xpropBytes(XorgServer& server, const char* property) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", server.displayName());
    p.setProcessEnvironment(env);
    p.start("xprop", {"-root", "-len", "1000000", property});
    p.waitForFinished(10000);
    const QByteArray out = p.readAllStandardOutput();
    QByteArray bytes;
    for (const QByteArray& value : out.mid(out.indexOf('=') + 1).split(','))
        bytes.append(char(value.trimmed().toInt()));
    return bytes;
}

const QByteArray settings =
    "[1.05]\ndefCPAssocMode = 1\nloadLinearCurveByDefault = 1\nloadLinearCurveOnExit = 1\n"
    "lockLoadedProfiles = 1\npollingPeriod = 250\nLUTBitDepth = 0\nenableTrayIcon = 1\n"
    "checkForUpdates = 0\nupdateAvailable = 0\nrunOnStartup = 0";

// Starts the program of `dir` on `server` with "-start -hide", as a login
// would, with no window system of its own (offscreen).
bool startHidden(QProcess& tavrin, const TempAppDir& dir, const XorgServer& server) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", server.displayName());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    tavrin.setProcessEnvironment(env);
    tavrin.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    tavrin.start(dir.binaryPath(), {"-start", "-hide"});
    return tavrin.waitForStarted();
}

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
        QVERIFY(startHidden(tavrin, dir, server));
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

    // The profiles the loop loads reach the colour-managed programs as the
    // X convention has them: on each RandR output and in the root window's
    // _ICC_PROFILE / _ICC_PROFILE_n, in Xinerama order (the primary
    // first). A tint takes back only what the program published, and the
    // exit takes back the rest.
    void profilesArePublishedForColourManagedPrograms() {
        const QString reason = XorgServer::unavailableReason();
        if (!reason.isEmpty())
            QSKIP(qPrintable(reason));
        XorgServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        QVERIFY(server.resetOutputs("1920x1080"));
        QVERIFY(server.attachMonitor("DUMMY1", "1280x1024"));
        QVERIFY(server.attachMonitor("DUMMY2", "1024x768"));
        QVERIFY(server.xrandr({"--output", "DUMMY1", "--primary"}).ok);
        auto x11 = X11DisplaySystem::open(server.displayNameBytes().constData());
        QVERIFY(x11);
        OutputDescription first, second, third;
        QVERIFY(describeOutput(*x11, "DUMMY0", first));
        QVERIFY(describeOutput(*x11, "DUMMY1", second));
        QVERIFY(describeOutput(*x11, "DUMMY2", third));
        x11.reset();

        TempAppDir dir;
        QVERIFY(dir.installBinary());
        const QByteArray profileA =
            icc::lcmsTableProfile(icc::Version::V2, icc::gammaCurves(2.2, 2.0, 1.8), "Display A");
        const QByteArray profileB =
            icc::lcmsTableProfile(icc::Version::V4, icc::gammaCurves(1.6, 1.7, 1.9), "Display B");
        dir.writeFile("a.icc", profileA);
        dir.writeFile("b.icc", profileB);
        QByteArray tree = "<v1.04>\n" + treeMonitorLines(first, "Dummy adapter") +
                          "<Resolution>\n1920 1080\n" +
                          treeModeLines(first.current, dir.filePath("a.icc").toUtf8()) +
                          "</Resolution>\n<Resolution>\n1024 768\n";
        for (const DEVMODEA& m : first.modes)
            if (m.dmPelsWidth == 1024 && m.dmPelsHeight == 768)
                tree += treeModeLines(m, "BLUE");
        tree += "</Resolution>\n</Monitor>\n" + treeMonitorLines(second, "Dummy adapter") +
                "<global>\n" + dir.filePath("b.icc").toUtf8() + "\n</Monitor>\n" +
                treeMonitorLines(third, "Dummy adapter") + "<global>\nRED\n</Monitor>";
        dir.writeFile("Tree.txt", tree);
        dir.writeFile("Settings.txt", settings);

        // Another program's profile on DUMMY2, which gets a tint.
        XDisplay x(server.displayNameBytes());
        QVERIFY(x.ok());
        const QByteArray foreign = "another program's profile";
        QVERIFY(server.setOutputProperty("DUMMY2", "_ICC_PROFILE", foreign, XA_CARDINAL));

        QProcess tavrin;
        QVERIFY(startHidden(tavrin, dir, server));
        FixedRamps ramps;
        buildRamps(ramps);
        QTRY_VERIFY_WITH_TIMEOUT(server.crtcGamma("DUMMY2") == tableOf(ramps.tintRamps[0]), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(x.outputProperty("DUMMY0", "_ICC_PROFILE"), profileA, 5000);
        QCOMPARE(x.outputProperty("DUMMY1", "_ICC_PROFILE"), profileB);
        QCOMPARE(x.outputProperty("DUMMY2", "_ICC_PROFILE"), foreign);
        // DUMMY1 is the primary monitor: Xinerama's first screen.
        QCOMPARE(x.rootProperty("_ICC_PROFILE"), profileB);
        QCOMPARE(x.rootProperty("_ICC_PROFILE_1"), profileA);
        QCOMPARE(x.rootProperty("_ICC_PROFILE_2"), QByteArray());
        QCOMPARE(x.rootProperty("_ICC_PROFILE_IN_X_VERSION", "STRING"), QByteArray("0.4"));
        // The order the atoms follow is the server's Xinerama order.
        const QStringList heads = x.xineramaHeads(server);
        QCOMPARE(heads.size(), 3);
        QVERIFY2(heads[0].startsWith("1280x1024+") && heads[1].startsWith("1920x1080+"),
                 qPrintable(heads.join(' ')));
        // Read as a colour-managed program would, by a reader of its own.
        const QByteArray read = xpropBytes(server, "_ICC_PROFILE_1");
        QCOMPARE(icc::lcmsDescription(read), std::optional<QString>("Display A"));
        QCOMPARE(icc::lcmsDescription(x.rootProperty("_ICC_PROFILE")),
                 std::optional<QString>("Display B"));

        // DUMMY0 switched to a tinted mode: its profile goes, B stays.
        QVERIFY(server.xrandr({"--output", "DUMMY0", "--mode", "1024x768"}).ok);
        QTRY_VERIFY_WITH_TIMEOUT(server.crtcGamma("DUMMY0") == tableOf(ramps.tintRamps[2]), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(x.outputProperty("DUMMY0", "_ICC_PROFILE"), QByteArray(), 5000);
        QCOMPARE(x.rootProperty("_ICC_PROFILE_1"), QByteArray());
        QCOMPARE(x.rootProperty("_ICC_PROFILE"), profileB);

        // Ended, it leaves only what others wrote.
        tavrin.terminate();
        QVERIFY(tavrin.waitForFinished(10000));
        QCOMPARE(x.outputProperty("DUMMY1", "_ICC_PROFILE"), QByteArray());
        QCOMPARE(x.rootProperty("_ICC_PROFILE"), QByteArray());
        QCOMPARE(x.rootProperty("_ICC_PROFILE_IN_X_VERSION", "STRING"), QByteArray());
        QCOMPARE(x.outputProperty("DUMMY2", "_ICC_PROFILE"), foreign);
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
        QVERIFY(startHidden(tavrin, dir, server));
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
