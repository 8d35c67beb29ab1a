// One pass of the watch loop at a time, on three simulated displays: what it
// loads after a change, what it sets back, and what it logs.
#include <cmath>

#include <QFile>
#include <QTest>

#include "forwarding_display.h"
#include "icc_profiles.h"
#include "loop/apply_display.h"
#include "loop/my_thread.h"
#include "loop/stop_signal.h"
#include "loop/watch_loop.h"
#include "loop_fixture.h"
#include "tree/association.h"

namespace {

QString header(int i) {
    return "[TS]Current monitor:\n" + LoopFixture::deviceId(i) + "\nCreated hDC: 0xH\n";
}

const QString changeLine = "[TS]Monitor, resolution, and / or mode change(s) detected.\n\n";
const QString linearByDefault =
    "Mon is NULL\nLoading linear display calibration\n(Loaded linear gamma ramp - hDC = 0xH)\n\n";

QString preserving(int i, const QString& action, const QString& result) {
    return "[TS]Preserving - Current monitor:\n" + LoopFixture::deviceId(i) + "\n" + action + "\n" +
           result + "0xH)\n\n";
}

}  // namespace

class TestWatchLoop : public QObject {
    Q_OBJECT

private slots:
    void firstPassAfterUserStartAppliesEveryDisplayQuietly() {
        LoopFixture f;
        f.flags.suppressChangeMsg = true;
        StopSignal stop;
        WatchLoop loop(f.ctx, stop);
        QVERIFY(loop.runPass());
        QCOMPARE(f.logText(), header(0) + linearByDefault + header(1) + linearByDefault +
                                  header(2) + linearByDefault);
        QVERIFY(!f.flags.suppressChangeMsg);
        QCOMPARE(f.activeDisplays.size(), 3);
        for (int i = 0; i < 3; ++i)
            QVERIFY(f.sim.gamma(i) == LoopFixture::table(f.ramps.linearRamp));
    }

    void firstPassAfterStartWithBothArgumentsLogsTheChange() {
        LoopFixture f;
        StopSignal stop;
        WatchLoop loop(f.ctx, stop);
        QVERIFY(loop.runPass());
        QVERIFY(f.logText().startsWith(changeLine + header(0)));
    }

    void unchangedConfigurationLoadsNothing() {
        LoopFixture f;
        StopSignal stop;
        WatchLoop loop(f.ctx, stop);
        loop.runPass();
        const int loads = f.sim.gammaLoads(0);
        f.clearLog();
        f.sim.resetCalls();
        QVERIFY(loop.runPass());
        QCOMPARE(f.logText(), QString());
        QCOMPARE(f.sim.gammaLoads(0), loads);
        // A pass without a change: one capture and one read-back per display.
        QCOMPARE(f.sim.calls().getDeviceGammaRamp, 3);
        QCOMPARE(f.sim.calls().createDC, 0);
    }

    void modeChangeProcessesEveryDisplayWithNewContexts() {
        LoopFixture f;
        StopSignal stop;
        WatchLoop loop(f.ctx, stop);
        loop.runPass();
        f.clearLog();
        f.sim.switchMode(1, SimDisplaySystem::makeMode(1280, 720, 32, 60));
        QVERIFY(loop.runPass());
        QCOMPARE(f.logText(), changeLine + header(0) + linearByDefault + header(1) +
                                  linearByDefault + header(2) + linearByDefault);
        QCOMPARE(f.sim.calls().createDC, 6);
        // The contexts of the replaced configuration were released.
        QCOMPARE(f.sim.openDeviceContexts(), 3);
    }

    void loadTable_data() {
        QTest::addColumn<QString>("association");
        QTest::addColumn<bool>("withCurve");
        QTest::addColumn<bool>("linearByDefault");
        QTest::addColumn<QString>("lines");
        QTest::newRow("profile") << "/p/display.icc" << true << true
                                 << "Applying color profile: /p/display.icc\n"
                                    "(Loaded gamma ramp - hDC = 0xH)\n\n";
        QTest::newRow("LINEAR") << "LINEAR" << false << false
                                << "Loading linear display calibration\n"
                                   "(Loaded linear gamma ramp - hDC = 0xH)\n\n";
        QTest::newRow("NULL") << "NULL" << false << true << "Doing nothing\n";
        QTest::newRow("tint") << "CYAN" << false << true
                              << "Loading CYAN tint\n(Loaded CYAN tint - hDC = 0xH)\n\n";
        QTest::newRow("nothing, linear by default")
            << "" << false << true
            << "Loading linear display calibration\n(Loaded linear gamma ramp - hDC = 0xH)\n\n";
        QTest::newRow("nothing, default off") << "" << false << false << "Doing nothing\n\n";
        QTest::newRow("profile that did not parse")
            << "/p/gone.icc" << false << false << "Doing nothing\n\n";
        QTest::newRow("tint in lower case") << "cyan" << false << true
                                            << "Loading linear display calibration\n"
                                               "(Loaded linear gamma ramp - hDC = 0xH)\n\n";
    }

    void loadTable() {
        QFETCH(QString, association);
        QFETCH(bool, withCurve);
        QFETCH(bool, linearByDefault);
        QFETCH(QString, lines);
        LoopFixture f;
        f.settings.loadLinearCurveByDefault = linearByDefault;
        const GammaRamp curve = LoopFixture::gammaCurve(1.8);
        f.associate(0, association, withCurve ? &curve : nullptr);
        f.flags.suppressChangeMsg = true;
        const GammaTable768 before = LoopFixture::filled(4242);
        f.sim.overwriteGamma(0, before);
        StopSignal stop;
        WatchLoop loop(f.ctx, stop);
        QVERIFY(loop.runPass());
        QVERIFY2(f.logText().startsWith(header(0) + lines + header(1)), qPrintable(f.logText()));
        if (lines.startsWith("Doing nothing"))
            QVERIFY(f.sim.gamma(0) == before);
        else if (withCurve)
            QVERIFY(f.sim.gamma(0) == LoopFixture::table(curve));
        else if (association == "CYAN")
            QVERIFY(f.sim.gamma(0) == LoopFixture::table(f.ramps.tintRamps[4]));
        else
            QVERIFY(f.sim.gamma(0) == LoopFixture::table(f.ramps.linearRamp));
    }

    // A profile the tree names but whose file was missing when the tree was
    // read (a drive mounted late): the display gets what no curve means
    // until the file is there, then its curve, at the next try while the
    // mode is shown or when the mode next comes into use.
    void missingProfileIsTriedAgain_data() {
        QTest::addColumn<bool>("whileShown");
        QTest::newRow("a try while the mode is shown") << true;
        QTest::newRow("the mode comes into use again") << false;
    }
    void missingProfileIsTriedAgain() {
        QFETCH(bool, whileShown);
        LoopFixture f;
        const QString path = f.dir.filePath("late.icc");
        f.associate(0, path);  // no curve: the file is not there yet
        GammaRamp restored;
        f.profileRetry.setFoundHandler([&](const QString& found, const FoundProfile& profile) {
            QCOMPARE(found, path);
            restored = profile.curve;
            f.tree.RestoreProfileCurve(found, profile.curve, profile.bytes);
        });
        f.profileRetry.setInterval(whileShown ? std::chrono::milliseconds(0)
                                              : std::chrono::hours(1));
        f.flags.suppressChangeMsg = true;
        StopSignal stop;
        WatchLoop loop(f.ctx, stop);
        QVERIFY(loop.runPass());
        QVERIFY(f.sim.gamma(0) == LoopFixture::table(f.ramps.linearRamp));
        QVERIFY(loop.runPass());  // still missing: nothing changes
        QVERIFY(f.sim.gamma(0) == LoopFixture::table(f.ramps.linearRamp));

        const icc::Curves curves = icc::gammaCurves(2.2, 1.8, 1.6);
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(icc::lcmsTableProfile(icc::Version::V2, curves));
        }
        GammaRamp curve;
        for (int c = 0; c < 3; ++c) curve.channel(c) = curves[c];
        f.clearLog();
        QVERIFY(loop.runPass());
        const QString applied = header(0) + "Applying color profile: " + path +
                                "\n(Loaded gamma ramp - hDC = 0xH)\n\n";
        if (whileShown) {
            QCOMPARE(f.logText(),
                     "[TS]Successfully parsed color profile: " + path + "\n\n" + applied);
        } else {
            // Not yet due: the display keeps what it had.
            QCOMPARE(f.logText(), QString());
            QVERIFY(f.sim.gamma(0) == LoopFixture::table(f.ramps.linearRamp));
            f.sim.switchMode(0, SimDisplaySystem::makeMode(1280, 720, 32, 60));
            QVERIFY(loop.runPass());
            f.sim.switchMode(0, SimDisplaySystem::makeMode(1920, 1080, 32, 60));
            f.clearLog();
            QVERIFY(loop.runPass());
            QVERIFY2(f.logText().startsWith(changeLine + header(0) +
                                            "Successfully parsed color profile: " + path +
                                            "\nApplying color profile: " + path),
                     qPrintable(f.logText()));
        }
        QVERIFY(f.sim.gamma(0) == LoopFixture::table(curve));
        QVERIFY(rampsEqual(restored, curve));
        QVERIFY(f.tree.lookupAssociation(LoopFixture::monitor(0),
                                         SimDisplaySystem::makeMode(1920, 1080, 32, 60))
                    .hasCurve);
        // From now on the curve is kept in place like any other.
        f.clearLog();
        QVERIFY(loop.runPass());
        QCOMPARE(f.logText(), QString());
    }

    // What the colour-managed programs are told a display shows: the bytes
    // of the profile whose curve it got, nothing for a tint, the linear
    // curve or no association, and (for "NULL") whatever was there. A
    // profile was published for the display before each row.
    void publishedProfileFollowsTheAssociation_data() {
        QTest::addColumn<QString>("association");  // "P1" and "P2": profiles with curves
        QTest::addColumn<bool>("linearByDefault");
        QTest::addColumn<QString>("then");  // "", "switch" to 1280x720 (P2 there), "detach"
        QTest::addColumn<QByteArray>("published");
        QTest::newRow("profile") << "P1" << true << "" << QByteArray("P1 bytes");
        QTest::newRow("tint") << "RED" << true << "" << QByteArray();
        QTest::newRow("LINEAR") << "LINEAR" << true << "" << QByteArray();
        QTest::newRow("NULL") << "NULL" << true << "" << QByteArray("earlier bytes");
        QTest::newRow("nothing, linear by default") << "" << true << "" << QByteArray();
        QTest::newRow("nothing, default off") << "" << false << "" << QByteArray();
        QTest::newRow("profile whose file gave no curve") << "/p/gone.icc" << true << ""
                                                         << QByteArray();
        QTest::newRow("switch to a mode with another profile")
            << "P1" << true << "switch" << QByteArray("P2 bytes");
        QTest::newRow("detached") << "P1" << true << "detach" << QByteArray();
    }
    void publishedProfileFollowsTheAssociation() {
        QFETCH(QString, association);
        QFETCH(bool, linearByDefault);
        QFETCH(QString, then);
        QFETCH(QByteArray, published);
        LoopFixture f;
        f.settings.loadLinearCurveByDefault = linearByDefault;
        const GammaRamp curve = LoopFixture::gammaCurve(1.8);
        const auto profileMode = [&](int width, int height, const QString& name) {
            const QString path = "/p/" + name + ".icc";
            QVERIFY(f.tree.AppendResolution(width, height));
            QVERIFY(f.tree.AppendMode(SimDisplaySystem::makeMode(width, height, 32, 60), path));
            f.tree.RestoreProfileCurve(path, curve, name.toUtf8() + " bytes");
        };
        f.tree.AppendMonitor(LoopFixture::monitor(0), "Adapter");
        if (association.startsWith('P')) {
            profileMode(1920, 1080, association);
            profileMode(1280, 720, "P2");
        } else {
            f.tree.AppendResolution(1920, 1080);
            f.tree.AppendMode(SimDisplaySystem::makeMode(1920, 1080, 32, 60), association);
        }
        const QByteArray earlier = "earlier bytes";
        const std::string output = LoopFixture::adapterName(0).toStdString();
        f.sim.publishProfile(output.c_str(), {reinterpret_cast<const std::uint8_t*>(earlier.data()),
                                              std::size_t(earlier.size())});
        StopSignal stop;
        WatchLoop loop(f.ctx, stop);
        QVERIFY(loop.runPass());
        if (then == "switch")
            f.sim.switchMode(0, SimDisplaySystem::makeMode(1280, 720, 32, 60));
        if (then == "detach")
            f.sim.detachMonitor(0, 0);
        if (!then.isEmpty())
            QVERIFY(loop.runPass());
        const std::vector<std::uint8_t> shown = f.sim.publishedProfile(output);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(shown.data()), qsizetype(shown.size())),
                 published);
        // A pass that changes nothing publishes nothing.
        const int calls = f.sim.calls().publishProfile + f.sim.calls().withdrawProfile;
        QVERIFY(loop.runPass());
        QCOMPARE(f.sim.calls().publishProfile + f.sim.calls().withdrawProfile, calls);
    }

    void globalAssociationAppliesToEveryMode() {
        LoopFixture f;
        f.associateGlobally(0, "RED");
        f.sim.switchMode(0, SimDisplaySystem::makeMode(800, 600, 32, 75));  // never detected
        f.flags.suppressChangeMsg = true;
        StopSignal stop;
        WatchLoop loop(f.ctx, stop);
        QVERIFY(loop.runPass());
        QVERIFY(f.logText().startsWith(header(0) +
                                       "Loading RED tint\n(Loaded RED tint - hDC = 0xH)\n\n"));
    }

    void knownMonitorWithUnknownModeIsTreatedAsUnassociated() {
        LoopFixture f;
        f.associate(0, "BLUE");
        f.sim.switchMode(0, SimDisplaySystem::makeMode(1920, 1080, 32, 50));
        f.flags.suppressChangeMsg = true;
        StopSignal stop;
        WatchLoop loop(f.ctx, stop);
        QVERIFY(loop.runPass());
        QVERIFY(f.logText().startsWith(
            header(0) +
            "Mode is NULL\nLoading linear display calibration\n(Loaded linear gamma ramp - hDC = "
            "0xH)\n\n"));
    }

    void failedLoads_data() {
        QTest::addColumn<QString>("association");
        QTest::addColumn<QString>("lines");
        QTest::newRow("profile") << "/p/display.icc"
                                 << "Applying color profile: /p/display.icc\n"
                                    "Failed to load gamma ramp - hDC = 0xH)\n\n";
        QTest::newRow("linear") << "LINEAR"
                                << "Loading linear display calibration\n"
                                   "(Failed to load linear gamma ramp - hDC = 0xH)\n\n";
        QTest::newRow("tint") << "GREEN"
                              << "Loading GREEN tint\nFailed to load GREEN tint - hDC = 0xH)\n\n";
    }

    void failedLoads() {
        QFETCH(QString, association);
        QFETCH(QString, lines);
        for (bool failContext : {false, true}) {
            LoopFixture f;
            const GammaRamp curve = LoopFixture::gammaCurve(2.2);
            f.associate(0, association, association.startsWith('/') ? &curve : nullptr);
            f.sim.overwriteGamma(0, LoopFixture::filled(1));
            if (failContext)
                f.sim.setFailCreateDC(true);
            else
                f.sim.setRefuseRamps(0, true);
            f.flags.suppressChangeMsg = true;
            StopSignal stop;
            WatchLoop loop(f.ctx, stop);
            QVERIFY(loop.runPass());
            QVERIFY2(f.logText().startsWith(header(0) + lines), qPrintable(f.logText()));
            if (failContext)
                QVERIFY(f.rawLog().contains("Created hDC: 0x0\n"));
        }
    }

    void aDisplayThatCannotBeReadIsNeverJudgedByAnother() {
        // Display 1 gets no device context; the read-back buffer still holds
        // display 0's table, which must not count as display 1's.
        LoopFixture f;
        ForwardingDisplay display(f.sim);
        display.failCreateDC = [](const char* name) {
            return QString(name) == LoopFixture::adapterName(1);
        };
        LoopContext ctx{f.log,   f.settings, f.flags,   f.tree,        f.activeDisplays,
                        f.ramps, display,    f.scratch, f.profileRetry};
        f.flags.suppressChangeMsg = true;
        StopSignal stop;
        WatchLoop loop(ctx, stop);
        QVERIFY(loop.runPass());
        const QString failed =
            "[TS]Current monitor:\n" + LoopFixture::deviceId(1) +
            "\nCreated hDC: 0xH\nMon is NULL\nLoading linear display calibration\n"
            "(Failed to load linear gamma ramp - hDC = 0xH)\n\n";
        QVERIFY2(f.logText().contains(header(0) + linearByDefault + failed),
                 qPrintable(f.logText()));
        // Every later pass asks for a new context; while there is none,
        // nothing more is said (the failure is in the log already) and the
        // other displays are judged by their own read-back alone.
        for (int pass = 0; pass < 2; ++pass) {
            f.clearLog();
            f.sim.resetCalls();
            QVERIFY(loop.runPass());
            QCOMPARE(f.logText(), QString());
            QCOMPARE(f.sim.calls().getDeviceGammaRamp, 2);
        }
        // Once the context can be made, the display gets its ramp.
        display.failCreateDC = nullptr;
        f.clearLog();
        QVERIFY(loop.runPass());
        QCOMPARE(f.logText(), header(1) + linearByDefault);
        QVERIFY(f.sim.gamma(1) == LoopFixture::table(f.ramps.linearRamp));
    }

    void aDisplayWhoseContextFailedIsAppliedAtTheNextPass_data() {
        QTest::addColumn<bool>("lock");
        QTest::newRow("with lockLoadedProfiles") << true;
        QTest::newRow("without lockLoadedProfiles") << false;
    }

    void aDisplayWhoseContextFailedIsAppliedAtTheNextPass() {
        QFETCH(bool, lock);
        LoopFixture f;
        f.settings.lockLoadedProfiles = lock;
        const GammaRamp curve = LoopFixture::gammaCurve(2.2);
        f.associate(0, "/p/display.icc", &curve);
        f.associate(1, "RED");
        f.associate(2, "NULL");
        f.flags.suppressChangeMsg = true;
        for (int i = 0; i < 3; ++i) f.sim.overwriteGamma(i, LoopFixture::filled(7));
        StopSignal stop;
        WatchLoop loop(f.ctx, stop);
        // A driver hiccup: no device context for anyone, once.
        f.sim.setFailCreateDC(true);
        QVERIFY(loop.runPass());
        QVERIFY(f.rawLog().contains("Created hDC: 0x0\n"));
        for (int i = 0; i < 3; ++i) QVERIFY(f.sim.gamma(i) == LoopFixture::filled(7));
        f.sim.setFailCreateDC(false);
        f.clearLog();
        f.sim.resetCalls();
        QVERIFY(loop.runPass());
        // The change procedure for each display that has something to load;
        // "NULL" asks for nothing, so it gets no context.
        QCOMPARE(f.logText(), header(0) +
                                  "Applying color profile: /p/display.icc\n"
                                  "(Loaded gamma ramp - hDC = 0xH)\n\n" +
                                  header(1) +
                                  "Loading RED tint\n(Loaded RED tint - hDC = 0xH)\n\n");
        QCOMPARE(f.sim.calls().createDC, 2);
        QVERIFY(f.sim.gamma(0) == LoopFixture::table(curve));
        QVERIFY(f.sim.gamma(1) == LoopFixture::table(f.ramps.tintRamps[0]));
        QVERIFY(f.sim.gamma(2) == LoopFixture::filled(7));
        QCOMPARE(f.sim.openDeviceContexts(), 2);
        // Applied now: the next pass has nothing to do.
        f.clearLog();
        QVERIFY(loop.runPass());
        QCOMPARE(f.logText(), QString());
    }

    // A record of the active-display list is reused for the next
    // configuration: nothing of the display it held before may remain.
    void aChangeToADisplayTheTreeDoesNotHoldNeverGetsThePreviousCurve_data() {
        QTest::addColumn<bool>("otherMonitor");  // else: a mode the tree does not hold
        QTest::addColumn<bool>("linearByDefault");
        QTest::addColumn<QString>("lines");
        const QString linear =
            "Loading linear display calibration\n(Loaded linear gamma ramp - hDC = 0xH)\n\n";
        QTest::newRow("other monitor, linear by default")
            << true << true << "Mon is NULL\n" + linear;
        QTest::newRow("other monitor, default off")
            << true << false << "Mon is NULL\nDoing nothing\n\n";
        QTest::newRow("unknown mode, linear by default")
            << false << true << "Mode is NULL\n" + linear;
        QTest::newRow("unknown mode, default off")
            << false << false << "Mode is NULL\nDoing nothing\n\n";
    }

    void aChangeToADisplayTheTreeDoesNotHoldNeverGetsThePreviousCurve() {
        QFETCH(bool, otherMonitor);
        QFETCH(bool, linearByDefault);
        QFETCH(QString, lines);
        LoopFixture f(1);
        f.settings.loadLinearCurveByDefault = linearByDefault;
        const GammaRamp curve = LoopFixture::gammaCurve(2.2);
        f.associate(0, "/p/display.icc", &curve);
        f.flags.suppressChangeMsg = true;
        StopSignal stop;
        WatchLoop loop(f.ctx, stop);
        QVERIFY(loop.runPass());
        QVERIFY(f.sim.gamma(0) == LoopFixture::table(curve));
        // Another program puts its own ramp in, then the display changes.
        const GammaTable768 foreign = LoopFixture::filled(123);
        f.sim.overwriteGamma(0, foreign);
        QString device = LoopFixture::deviceId(0);
        if (otherMonitor) {
            f.sim.detachMonitor(0, 0);
            f.sim.attachMonitor(0, LoopFixture::monitor(5));
            device = LoopFixture::deviceId(5);
        } else {
            f.sim.switchMode(0, SimDisplaySystem::makeMode(1280, 720, 32, 60));
        }
        f.clearLog();
        QVERIFY(loop.runPass());
        QCOMPARE(f.logText(),
                 changeLine + "[TS]Current monitor:\n" + device + "\nCreated hDC: 0xH\n" + lines);
        QVERIFY(f.sim.gamma(0) != LoopFixture::table(curve));
        QVERIFY(f.sim.gamma(0) ==
                (linearByDefault ? LoopFixture::table(f.ramps.linearRamp) : foreign));
        f.activeDisplays.ResetCursor();
        QVERIFY(f.activeDisplays.NextDisplay());
        QVERIFY(!f.activeDisplays.CurrentHasCurve());
        // Nor does the drift test bring the curve back.
        f.clearLog();
        QVERIFY(loop.runPass());
        QCOMPARE(f.logText(), QString());
        QVERIFY(f.sim.gamma(0) != LoopFixture::table(curve));
    }

    void aFirstPassWithoutChangeEndsTheSuppression() {
        LoopFixture f;
        StopSignal stop;
        WatchLoop loop(f.ctx, stop);
        loop.runPass();
        // Started again (as after a stop that kept the configuration), the
        // loop finds no change at first; the next real one is announced.
        f.flags.suppressChangeMsg = true;
        MyThread thread(f.ctx);
        f.settings.pollingPeriod = 0;
        const int before = f.sim.calls().getDeviceGammaRamp;
        thread.startLoop();
        QTRY_VERIFY(f.sim.calls().getDeviceGammaRamp > before + 6);
        thread.stopLoop();
        QVERIFY(!f.flags.suppressChangeMsg);
    }

    void driftIsSetBack_data() {
        QTest::addColumn<QString>("association");
        QTest::addColumn<bool>("linearByDefault");
        QTest::addColumn<QString>("expected");  // empty: never touched
        QTest::newRow("profile") << "/p/display.icc" << true
                                 << preserving(0, "Setting back color profile: /p/display.icc",
                                               "(Set back gamma ramp - hDC = ");
        QTest::newRow("LINEAR") << "LINEAR" << false
                                << preserving(0, "Setting back linear display calibration",
                                              "Set back linear gamma ramp - hDC = ");
        QTest::newRow("tint") << "MAGENTA" << true
                              << preserving(0, "Setting back MAGENTA tint",
                                            "(Set back MAGENTA tint - hDC = ");
        QTest::newRow("nothing, linear by default")
            << "" << true
            << preserving(0, "Setting back linear display calibration",
                          "Set back linear gamma ramp - hDC = ");
        QTest::newRow("NULL") << "NULL" << true << "";
        QTest::newRow("nothing, default off") << "" << false << "";
    }

    void driftIsSetBack() {
        QFETCH(QString, association);
        QFETCH(bool, linearByDefault);
        QFETCH(QString, expected);
        LoopFixture f;
        f.settings.loadLinearCurveByDefault = linearByDefault;
        const GammaRamp curve = LoopFixture::gammaCurve(2.4);
        f.associate(0, association, association.startsWith('/') ? &curve : nullptr);
        StopSignal stop;
        WatchLoop loop(f.ctx, stop);
        loop.runPass();
        const GammaTable768 held = f.sim.gamma(0);
        f.clearLog();
        // Another program replaces the ramp of display 0.
        const GammaTable768 foreign = LoopFixture::filled(777);
        f.sim.overwriteGamma(0, foreign);
        QVERIFY(loop.runPass());
        if (expected.isEmpty()) {
            QCOMPARE(f.logText(), QString());
            QVERIFY(f.sim.gamma(0) == foreign);
        } else {
            QCOMPARE(f.logText(), expected);
            QVERIFY(f.sim.gamma(0) == held);
        }
        // Set back once; the next pass finds nothing to do.
        f.clearLog();
        QVERIFY(loop.runPass());
        QCOMPARE(f.logText(), QString());
    }

    void driftTestIsOffWithoutLock() {
        LoopFixture f;
        f.settings.lockLoadedProfiles = false;
        StopSignal stop;
        WatchLoop loop(f.ctx, stop);
        loop.runPass();
        f.clearLog();
        f.sim.overwriteGamma(2, LoopFixture::filled(5));
        QVERIFY(loop.runPass());
        QCOMPARE(f.logText(), QString());
        QVERIFY(f.sim.gamma(2) == LoopFixture::filled(5));
    }

    void quantisingDriverWithAndWithoutClamp_data() {
        QTest::addColumn<int>("depth");
        QTest::addColumn<bool>("stable");
        QTest::newRow("no clamp") << 0 << false;
        QTest::newRow("clamped to 10 bits") << 10 << true;
        QTest::newRow("clamped to 8 bits") << 8 << true;
    }

    void quantisingDriverWithAndWithoutClamp() {
        QFETCH(int, depth);
        QFETCH(bool, stable);
        LoopFixture f;
        f.settings.LUTBitDepth = depth;
        f.sim.setQuantizeBits(0, 10);
        const GammaRamp curve = LoopFixture::gammaCurve(2.2);
        f.associate(0, "/p/display.icc", &curve);
        f.flags.suppressChangeMsg = true;
        StopSignal stop;
        WatchLoop loop(f.ctx, stop);
        loop.runPass();
        QCOMPARE(f.logText().contains("(Loaded gamma ramp - hDC = "), stable);
        for (int pass = 0; pass < 3; ++pass) {
            f.clearLog();
            QVERIFY(loop.runPass());
            if (stable) {
                QCOMPARE(f.logText(), QString());
            } else {
                QCOMPARE(f.logText(), preserving(0, "Setting back color profile: /p/display.icc",
                                                 "(Failed to set back gamma ramp - hDC = "));
            }
        }
        // Every entry of what the display holds is a multiple of 64 with the
        // clamp, and the tree keeps the full-precision curve.
        if (depth) {
            for (std::uint16_t v : f.sim.gamma(0)) QCOMPARE(v % (depth == 10 ? 64 : 256), 0);
            QVERIFY(f.tree
                        .lookupAssociation(LoopFixture::monitor(0),
                                           SimDisplaySystem::makeMode(1920, 1080, 32, 60))
                        .curve.red == curve.red);
        }
    }

    void stopInTheMiddleOfAPassLeavesTheRestAndReappliesLater() {
        LoopFixture f;
        f.associate(0, "RED");
        f.associate(1, "GREEN");
        f.associate(2, "BLUE");
        f.flags.suppressChangeMsg = true;
        StopSignal stop;
        // The stop arrives while display 1's device context is opened.
        ForwardingDisplay display(f.sim);
        int contexts = 0;
        display.onCreateDC = [&] {
            if (++contexts == 2)
                stop.request();
        };
        LoopContext ctx{f.log,   f.settings, f.flags,   f.tree,        f.activeDisplays,
                        f.ramps, display,    f.scratch, f.profileRetry};
        WatchLoop loop(ctx, stop);
        f.sim.overwriteGamma(1, LoopFixture::filled(11));
        f.sim.overwriteGamma(2, LoopFixture::filled(12));
        QVERIFY(!loop.runPass());
        QVERIFY(f.sim.gamma(0) == LoopFixture::table(f.ramps.tintRamps[0]));
        QVERIFY(f.sim.gamma(1) == LoopFixture::filled(11));
        QVERIFY(f.sim.gamma(2) == LoopFixture::filled(12));
        QVERIFY2(f.logText().endsWith(header(1)), qPrintable(f.logText()));
        // The half-applied configuration is not taken for applied: the next
        // run applies every display again.
        QVERIFY(f.activeDisplays.isEmpty());
        QCOMPARE(f.sim.openDeviceContexts(), 0);
        stop.reset();
        QVERIFY(loop.runPass());
        QVERIFY(f.sim.gamma(1) == LoopFixture::table(f.ramps.tintRamps[1]));
        QVERIFY(f.sim.gamma(2) == LoopFixture::table(f.ramps.tintRamps[2]));
    }

    void refusedSetBackAndChange_data() {
        QTest::addColumn<QString>("association");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("setBackFailed");
        QTest::addColumn<QString>("changeFailed");
        QTest::newRow("profile") << "/p/display.icc"
                                 << "color profile: /p/display.icc"
                                 << "(Failed to set back gamma ramp - hDC = "
                                 << "(Failed to change to gamma ramp - hDC = ";
        QTest::newRow("LINEAR") << "LINEAR"
                                << "linear display calibration"
                                << "(Failed to set back linear gamma ramp - hDC = "
                                << "(Failed to change to linear gamma ramp - hDC = ";
        QTest::newRow("tint") << "RED"
                              << "RED tint"
                              << "(Failed to set back RED tint - hDC = "
                              << "(Failed to change to RED tint - hDC = ";
    }

    void refusedSetBackAndChange() {
        QFETCH(QString, association);
        QFETCH(QString, action);
        QFETCH(QString, setBackFailed);
        QFETCH(QString, changeFailed);
        LoopFixture f;
        const GammaRamp curve = LoopFixture::gammaCurve(2.0);
        f.associate(0, association, association.startsWith('/') ? &curve : nullptr);
        StopSignal stop;
        WatchLoop loop(f.ctx, stop);
        QVERIFY(loop.runPass());
        // Another program takes over the display, whose driver then refuses
        // every ramp.
        f.sim.overwriteGamma(0, LoopFixture::filled(99));
        f.sim.setRefuseRamps(0, true);
        f.clearLog();
        QVERIFY(loop.runPass());
        QCOMPARE(f.logText(), preserving(0, "Setting back " + action, setBackFailed));
        f.clearLog();
        f.activeDisplays.ResetCursor();
        f.activeDisplays.NextDisplay();
        applyToActiveDisplay(f.ctx);
        QCOMPARE(f.logText(), "[TS]Changing Profile - Current monitor:\n" +
                                  LoopFixture::deviceId(0) + "\nChanging to " + action + "\n" +
                                  changeFailed + "0xH)\n\n");
        QVERIFY(f.sim.gamma(0) == LoopFixture::filled(99));
    }

    void immediateChange_data() {
        QTest::addColumn<QString>("association");
        QTest::addColumn<bool>("linearByDefault");
        QTest::addColumn<QString>("expected");
        const QString head =
            "[TS]Changing Profile - Current monitor:\n" + LoopFixture::deviceId(0) + "\n";
        QTest::newRow("profile") << "/p/display.icc" << true
                                 << head +
                                        "Changing to color profile: /p/display.icc\n"
                                        "(Changed to gamma ramp - hDC = 0xH)\n\n";
        QTest::newRow("LINEAR") << "LINEAR" << false
                                << head +
                                       "Changing to linear display calibration\n"
                                       "Changed to linear gamma ramp - hDC = 0xH)\n\n";
        QTest::newRow("tint") << "YELLOW" << false
                              << head +
                                     "Changing to YELLOW tint\n(Changed to YELLOW tint - hDC = "
                                     "0xH)\n\n";
        QTest::newRow("empty, linear by default")
            << "" << true
            << head +
                   "Changing to linear display calibration\n"
                   "Changed to linear gamma ramp - hDC = 0xH)\n\n";
        QTest::newRow("empty, default off") << "" << false << "";
        QTest::newRow("NULL") << "NULL" << true << "";
        QTest::newRow("profile without curve") << "/p/gone.icc" << true << "";
    }

    void immediateChange() {
        QFETCH(QString, association);
        QFETCH(bool, linearByDefault);
        QFETCH(QString, expected);
        LoopFixture f;
        f.settings.loadLinearCurveByDefault = linearByDefault;
        StopSignal stop;
        WatchLoop loop(f.ctx, stop);
        loop.runPass();  // the loop made the displays' records and contexts
        f.clearLog();
        const GammaRamp curve = LoopFixture::gammaCurve(1.6);
        f.activeDisplays.ResetCursor();
        f.activeDisplays.NextDisplay();
        handAssociationToDisplay(f.activeDisplays, association,
                                 association.startsWith('/') && association != "/p/gone.icc", curve,
                                 QByteArray(), 0);
        f.sim.overwriteGamma(0, LoopFixture::filled(3));
        applyToActiveDisplay(f.ctx);
        QCOMPARE(f.logText(), expected);
        if (expected.isEmpty())
            QVERIFY(f.sim.gamma(0) == LoopFixture::filled(3));
    }
};

QTEST_GUILESS_MAIN(TestWatchLoop)
#include "tst_watch_loop.moc"
