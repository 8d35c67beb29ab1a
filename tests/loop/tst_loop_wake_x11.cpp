// The watch loop on a real X server (Xorg with the dummy driver) with a
// minute's polling period: a mode switch made with xrandr, or a monitor
// attached with it, has its calibration on the CRTC long before the period
// could have brought a pass, because the server's RandR events wake the
// loop.
#include <memory>

#include <QTest>

#include "loop/loop_control.h"
#include "loop/my_thread.h"
#include "loop_state.h"
#include "platform/x11/x11_display_system.h"
#include "x11_associations.h"
#include "xorg_test_case.h"

namespace {

const QStringList modelines = {
    QStringLiteral("\"tavrin_1024x768\" 63.50 1024 1072 1176 1328 768 771 775 798 -hsync +vsync"),
    QStringLiteral("\"tavrin_800x600\" 38.25 800 832 912 1024 600 603 607 624 -hsync +vsync"),
};
const QString largeMode = QStringLiteral("tavrin_1024x768");
const QString smallMode = QStringLiteral("tavrin_800x600");
// Longer than any case runs; "at once" is asserted well within it.
constexpr int minute = 60000;
constexpr int soon = 2000;
// What a case's monitors show before its loop runs: neither a tint nor the
// linear ramp.
const GammaTable768 startTable = LoopState::filled(0x3000);

// The loop on its thread on the X11 backend of the test's server.
struct LoopOnX {
    explicit LoopOnX(std::unique_ptr<X11DisplaySystem> backend)
        : x11(std::move(backend)), state(*x11) {
        state.settings.pollingPeriod = minute;
    }
    ~LoopOnX() { thread.stopLoop(); }

    void start() {
        state.flags.suppressChangeMsg = true;
        control.toggleLoop();
    }

    std::unique_ptr<X11DisplaySystem> x11;
    LoopState state;
    MyThread thread{state.ctx};
    LoopControl control{state.ctx, thread};
};

}  // namespace

class TestLoopWakeX11 : public XorgTestCase {
    Q_OBJECT

public:
    TestLoopWakeX11() : XorgTestCase(modelines) {}

private slots:
    // Each case starts from a table of its own. A tint that the case before
    // left on the CRTC would satisfy a wait for it before this case's loop
    // has loaded anything; the wait would then read the CRTC again in the
    // middle of the loop's load (the linear ramp goes in first) and report
    // its timeout as too short.
    void init() {
        QVERIFY(server_.resetOutputs(largeMode));
        QVERIFY(server_.setCrtcGamma("DUMMY0", startTable));
    }

    void modeSwitchLoadsTheOtherModesCalibrationAtOnce() {
        LoopOnX loop(X11DisplaySystem::open(server_.displayNameBytes()));
        QVERIFY(loop.x11);
        LoopState& s = loop.state;
        QVERIFY(associateModes(*loop.x11, s.tree, "DUMMY0",
                               {{1024, 768, "RED"}, {800, 600, "BLUE"}}));
        loop.start();
        QTRY_COMPARE_WITH_TIMEOUT(server_.crtcGamma("DUMMY0"), std::optional(s.tint("RED")), soon);

        QVERIFY(server_.xrandr({"--output", "DUMMY0", "--mode", smallMode}).ok);
        QTRY_COMPARE_WITH_TIMEOUT(server_.crtcGamma("DUMMY0"), std::optional(s.tint("BLUE")), soon);
        QVERIFY(server_.xrandr({"--output", "DUMMY0", "--mode", largeMode}).ok);
        QTRY_COMPARE_WITH_TIMEOUT(server_.crtcGamma("DUMMY0"), std::optional(s.tint("RED")), soon);
        QCOMPARE(s.logText().count("[TS]Monitor, resolution, and / or mode change(s) detected."),
                 2);
    }

    void attachedMonitorGetsItsCalibrationAtOnce() {
        // DUMMY1's monitor as the backend knows it, then off again (its
        // output stays connected, as an unplugged-then-plugged monitor's).
        QVERIFY(server_.attachMonitor("DUMMY1", smallMode));
        QVERIFY(server_.setCrtcGamma("DUMMY1", startTable));
        LoopOnX loop(X11DisplaySystem::open(server_.displayNameBytes()));
        QVERIFY(loop.x11);
        LoopState& s = loop.state;
        QVERIFY(associateModes(*loop.x11, s.tree, "DUMMY0", {{1024, 768, "RED"}}));
        const std::optional<DISPLAY_DEVICEA> second = monitorOn(*loop.x11, "DUMMY1");
        QVERIFY(second);
        s.tree.AppendMonitor(*second, "Dummy");
        QVERIFY(s.tree.SetAssociationMode(true, s.log, "GREEN"));
        QVERIFY(server_.xrandr({"--output", "DUMMY1", "--off"}).ok);
        loop.start();
        QTRY_COMPARE_WITH_TIMEOUT(server_.crtcGamma("DUMMY0"), std::optional(s.tint("RED")), soon);

        QVERIFY(server_.attachMonitor("DUMMY1", smallMode));
        QTRY_COMPARE_WITH_TIMEOUT(server_.crtcGamma("DUMMY1"), std::optional(s.tint("GREEN")),
                                  soon);
        QCOMPARE(server_.crtcGamma("DUMMY0"), std::optional(s.tint("RED")));
    }
};

QTEST_GUILESS_MAIN(TestLoopWakeX11)
#include "tst_loop_wake_x11.moc"
