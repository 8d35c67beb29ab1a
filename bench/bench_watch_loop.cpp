// The watch loop's cost: one pass without a change (the drift test with
// `lockLoadedProfiles`) on four simulated displays, against the platform
// calls such a pass has to make, measured alone; and how long a stop takes
// while the loop sleeps through a one-minute pause.
#include <chrono>
#include <thread>

#include <benchmark/benchmark.h>

#include "loop/my_thread.h"
#include "loop/stop_signal.h"
#include "loop/watch_loop.h"
#include "tests/loop/loop_fixture.h"

namespace {

constexpr int displayCount = 4;

// Four displays, each with a profile associated with its current mode.
struct Bench : LoopFixture {
    Bench() : LoopFixture(displayCount) {
        const GammaRamp curve = gammaCurve(2.2);
        for (int i = 0; i < displayCount; ++i)
            associate(i, QStringLiteral("/profiles/display.icc"), &curve);
    }
};

void passWithoutChange(benchmark::State& state) {
    Bench b;
    StopSignal stop;
    WatchLoop loop(b.ctx, stop);
    loop.runPass();  // applies the configuration once
    for (auto _ : state) loop.runPass();
    state.SetLabel("4 displays, lockLoadedProfiles on, nothing to set back");
}

void platformCallsAlone(benchmark::State& state) {
    Bench b;
    StopSignal stop;
    WatchLoop loop(b.ctx, stop);
    loop.runPass();
    HDC contexts[displayCount];
    for (int i = 0; i < displayCount; ++i)
        contexts[i] = b.sim.createDC(LoopFixture::adapterName(i).toLatin1().constData());
    GammaTable768 table;
    for (auto _ : state) {
        // The enumeration a capture makes, then one read-back per display.
        DISPLAY_DEVICEA adapter{};
        for (DWORD i = 0; b.sim.enumDisplayDevices(nullptr, i, &adapter); ++i) {
            DISPLAY_DEVICEA monitor{};
            for (DWORD j = 0; b.sim.enumDisplayDevices(adapter.DeviceName, j, &monitor); ++j) {
                if (!(monitor.StateFlags & DISPLAY_DEVICE_ACTIVE))
                    break;
                DEVMODEA mode{};
                b.sim.enumDisplaySettings(adapter.DeviceName, ENUM_CURRENT_SETTINGS, &mode);
                benchmark::DoNotOptimize(mode);
            }
        }
        for (HDC dc : contexts) b.sim.getDeviceGammaRamp(dc, table);
        benchmark::DoNotOptimize(table);
    }
    for (HDC dc : contexts) b.sim.deleteDC(dc);
    state.SetLabel("one capture's enumeration and 4 read-backs");
}

void stopDuringMinutePause(benchmark::State& state) {
    Bench b;
    b.settings.pollingPeriod = 60000;
    MyThread thread(b.ctx);
    for (auto _ : state) {
        const int before = b.sim.calls().enumDisplayDevices;
        thread.startLoop();
        // Wait for the pass to end, then a little more: the loop sleeps now.
        while (b.sim.calls().enumDisplayDevices == before) std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const auto begin = std::chrono::steady_clock::now();
        thread.stopLoop();
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
    }
    state.SetLabel("pollingPeriod 60000");
}

}  // namespace

BENCHMARK(passWithoutChange)->Unit(benchmark::kMicrosecond);
BENCHMARK(platformCallsAlone)->Unit(benchmark::kMicrosecond);
BENCHMARK(stopDuringMinutePause)
    ->UseManualTime()
    ->Iterations(50)
    ->Repetitions(5)
    ->ComputeStatistics("median",
                        [](const std::vector<double>& v) {
                            std::vector<double> s = v;
                            std::sort(s.begin(), s.end());
                            return s[s.size() / 2];
                        })
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
