// The main window's operations as a user starts them, on the offscreen
// platform: "Detect" on the monitors of a large tree (detection, merge,
// save, refill of the list), "Associate Profile" for the mode on screen
// while the loop runs (stop, parse, load and read back, save, restart), on
// the simulated display system and on a real X server, and the cost of
// making the other windows.
#include <cmath>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>

#include "big_tree.h"
#include "platform/x11/x11_display_system.h"
#include "ramps/icc_profile.h"
#include "ui/about_window.h"
#include "ui/settings_window.h"
#include "ui/update_dialog.h"
#include "window_fixture.h"
#include "xorg_server.h"

namespace {

void detectMonitorsOnABigTree(benchmark::State& state) {
    Window f;
    buildBigTree(f.state->tree);
    f.open();
    for (auto _ : state) press(f.button("btnDetectMon"));
    state.counters["monitors"] = f.mon()->count();
    state.SetLabel("16 x 40 x 8 modes; 2 displays");
}

// Associates `profiles` in turn with monitor 0's mode on screen, the loop
// running; each press ends with the new ramp read back from the display.
void associateInTurn(benchmark::State& state, Window& f, const QStringList& profiles) {
    f.open();
    f.startLoop();
    f.mon()->setCurrentRow(0);
    f.res()->setCurrentRow(0);
    f.modes()->setCurrentRow(0);
    for (const char* name : {"chkAssociate", "radColorProfile"})
        QTest::mouseClick(f.w->findChild<QAbstractButton*>(name), Qt::LeftButton, {}, QPoint(4, 4));
    auto* path = f.w->findChild<QLineEdit*>("txtColorProfile");
    int i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        path->setText(profiles[i++ % profiles.size()]);
        state.ResumeTiming();
        press(f.button("btnAssociateProfile"));
    }
    GammaRamp last;
    ParseColorProfile(profiles[(i - 1) % profiles.size()], last);
    GammaTable768 held{};
    f.state->activeDisplays.ResetCursor();
    f.state->activeDisplays.NextDisplay();
    f.state->platform.display->getDeviceGammaRamp(f.state->activeDisplays.CurrentDeviceContext(), held);
    state.counters["display_holds_last"] = held == WindowFixture::table(last);
}

void associateOnSim(benchmark::State& state) {
    Window f;
    f.addMonitor(0);
    associateInTurn(state, f, {f.writeProfile("a.icc", 2.2), f.writeProfile("b.icc", 1.8)});
    state.SetLabel("simulated display system");
}

void associateOnX(benchmark::State& state) {
    static XorgServer server;
    static const bool started = XorgServer::unavailableReason().isEmpty() && server.start() &&
                                server.resetOutputs("1920x1080");
    if (!started) {
        state.SkipWithError("no Xorg with the dummy driver here");
        return;
    }
    Window f(X11DisplaySystem::open(server.displayNameBytes().constData()));
    DISPLAY_DEVICEA monitor{};
    DEVMODEA current{};
    f.state->platform.display->enumDisplayDevices("DUMMY0", 0, &monitor);
    f.state->platform.display->enumDisplaySettings("DUMMY0", ENUM_CURRENT_SETTINGS, &current);
    f.state->tree.AppendMonitor(monitor, "Dummy");
    f.state->tree.AppendResolution(int(current.dmPelsWidth), int(current.dmPelsHeight));
    f.state->tree.AppendMode(current);
    associateInTurn(state, f, {f.writeProfile("a.icc", 2.2), f.writeProfile("b.icc", 1.8)});
    state.SetLabel("Xorg, DUMMY0");
}

void makeTheOtherWindows(benchmark::State& state) {
    WindowFixture f;
    for (auto _ : state) {
        settings s(*f.state);
        About about;
        UpdateDialog dialog(f.state->settings, f.state->log, f.state->files.settings);
        benchmark::DoNotOptimize(&s);
    }
    state.SetLabel("settings window, About window, update dialog");
}

}  // namespace

BENCHMARK(detectMonitorsOnABigTree)->Unit(benchmark::kMillisecond);
BENCHMARK(associateOnSim)->Unit(benchmark::kMillisecond);
BENCHMARK(associateOnX)->Unit(benchmark::kMillisecond);
BENCHMARK(makeTheOtherWindows)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
