// The watch loop on a real X server (Xorg with the dummy driver, two active
// outputs): the wall time of one pass without a change with
// `lockLoadedProfiles` on, the X requests such a pass sends, and the CPU
// time the program itself takes over a minute of `tavrin -start -hide` at
// the default polling period (TAVRIN_BENCH_SECONDS changes the minute).
#include <chrono>
#include <cmath>
#include <thread>

#include <benchmark/benchmark.h>

#include <QProcess>
#include <QTemporaryDir>

#include "core/app_settings.h"
#include "core/log.h"
#include "loop/loop_context.h"
#include "loop/stop_signal.h"
#include "loop/watch_loop.h"
#include "platform/x11/x11_display_system.h"
#include "idle_program.h"
#include "process_cpu.h"
#include "tree/active_display.h"
#include "tree/tree.h"
#include "xorg_server.h"

namespace {

XorgServer* server = nullptr;

bool startServer() {
    static XorgServer instance;
    static bool started = XorgServer::unavailableReason().isEmpty() && instance.start() &&
                          instance.resetOutputs("1920x1080") &&
                          instance.attachMonitor("DUMMY1", "1280x1024");
    server = started ? &instance : nullptr;
    return started;
}

GammaRamp gammaCurve(double gamma) {
    GammaRamp r;
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 256; ++i)
            r.channel(c)[i] =
                static_cast<std::uint16_t>(std::lround(65535.0 * std::pow(i / 255.0, gamma)));
    return r;
}

void passWithoutChangeOnX(benchmark::State& state) {
    if (!startServer()) {
        state.SkipWithError("no Xorg with the dummy driver here");
        return;
    }
    auto x11 = X11DisplaySystem::open(server->displayNameBytes().constData());
    QTemporaryDir dir;
    AppSettings settings;
    AppFlags flags;
    Log log;
    log.open(dir.filePath("Log.txt"));
    Tree tree;
    ActiveDisplayList activeDisplays(x11.get());
    FixedRamps ramps;
    buildRamps(ramps);
    LoopScratch scratch;
    ProfileRetry profileRetry;
    LoopContext ctx{log, settings, flags, tree, activeDisplays, ramps, *x11, scratch, profileRetry};

    // Both monitors with a profile on their current mode.
    const GammaRamp curve = gammaCurve(2.2);
    for (const char* output : {"DUMMY0", "DUMMY1"}) {
        DISPLAY_DEVICEA monitor{};
        DEVMODEA current{};
        x11->enumDisplayDevices(output, 0, &monitor);
        x11->enumDisplaySettings(output, ENUM_CURRENT_SETTINGS, &current);
        tree.AppendMonitor(monitor, "Dummy");
        tree.AppendResolution(int(current.dmPelsWidth), int(current.dmPelsHeight));
        tree.AppendMode(current, QStringLiteral("/profiles/display.icc"));
        tree.SetCurrentModeCurve(curve);
    }
    StopSignal stop;
    WatchLoop loop(ctx, stop);
    loop.runPass();
    const auto before = x11->requestCounts();
    for (auto _ : state) loop.runPass();
    const auto after = x11->requestCounts();
    const double passes = double(state.iterations());
    state.counters["X_requests/pass"] = double(after.xRequests - before.xRequests) / passes;
    state.counters["resources/pass"] =
        double(after.screenResources - before.screenResources) / passes;
    state.counters["rereads/pass"] = double(after.snapshotReads - before.snapshotReads) / passes;
    state.SetLabel("2 active outputs, lockLoadedProfiles on");
}

void programOverAMinute(benchmark::State& state) {
    if (!startServer()) {
        state.SkipWithError("no Xorg with the dummy driver here");
        return;
    }
    const int seconds = idleSeconds();
    for (auto _ : state) {
        TempAppDir dir;
        QProcess tavrin;
        const char* why = nullptr;
        if (!startIdleProgram(dir, tavrin, *server, why)) {
            state.SkipWithError(why);
            return;
        }
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        const double cpu = processCpuSeconds(tavrin.processId());
        tavrin.terminate();
        tavrin.waitForFinished(10000);
        state.counters["cpu_seconds"] = cpu;
        state.counters["cpu_percent"] = 100.0 * cpu / seconds;
        state.counters["wall_seconds"] = seconds;
    }
    state.SetLabel("tavrin -start -hide, pollingPeriod 1000");
}

}  // namespace

BENCHMARK(passWithoutChangeOnX)->Unit(benchmark::kMicrosecond);
BENCHMARK(programOverAMinute)->Iterations(1)->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
