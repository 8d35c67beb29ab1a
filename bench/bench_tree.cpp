// The display tree on the watch loop's path: one pass's snapshot and
// comparison, and the lookup of a display's association in a large tree.
#include <string>

#include <benchmark/benchmark.h>

#include "platform/sim/sim_display_system.h"
#include "tree/active_display.h"
#include "tree/tree.h"

namespace {

DISPLAY_DEVICEA monitor(int n) {
    const std::string id = "MON" + std::to_string(1000 + n);
    return SimDisplaySystem::makeMonitor("MONITOR\\" + id + "\\{4d36e96e-e325-11ce}\\0001",
                                         "key-" + id, "Monitor " + std::to_string(n));
}

// What every pass of the loop does: Capture into its own list, compare with
// the configuration applied last, empty the list again.
void BM_CaptureAndSameConfiguration(benchmark::State& state) {
    SimDisplaySystem sim;
    for (int i = 0; i < 6; ++i) {
        const int a = sim.addAdapter("\\\\.\\DISPLAY" + std::to_string(i + 1), "Sim Card");
        sim.attachMonitor(a, monitor(i));
        sim.setModes(a, {SimDisplaySystem::makeMode(1920, 1080, 32, 60),
                         SimDisplaySystem::makeMode(1280, 720, 32, 60)});
    }
    ActiveDisplayList applied(&sim);
    applied.Capture(sim);
    ActiveDisplayList snapshot(&sim);
    for (auto _ : state) {
        snapshot.Capture(sim);
        benchmark::DoNotOptimize(applied.SameConfiguration(snapshot));
        snapshot.Clear();
    }
    state.counters["displays"] = 6;
}
BENCHMARK(BM_CaptureAndSameConfiguration);

// The loop's lookup in a tree of 16 monitors x 60 resolutions x 10 modes,
// for a mode near the end of the last monitor.
void BM_LookupAssociation(benchmark::State& state) {
    constexpr int monitors = 16, resolutions = 60, modes = 10;
    Tree tree;
    for (int m = 0; m < monitors; ++m) {
        tree.AppendMonitor(monitor(m), "Sim Card");
        for (int r = 0; r < resolutions; ++r) {
            tree.AppendResolution(640 + 16 * r, 480 + 9 * r);
            for (int f = 0; f < modes; ++f)
                tree.AppendMode(SimDisplaySystem::makeMode(640 + 16 * r, 480 + 9 * r, 32, 50 + f),
                                QStringLiteral("RED"));
        }
    }
    const DISPLAY_DEVICEA wanted = monitor(monitors - 1);
    const DEVMODEA settings = SimDisplaySystem::makeMode(
        640 + 16 * (resolutions - 2), 480 + 9 * (resolutions - 2), 32, 50 + modes - 2);
    for (auto _ : state) {
        AssociationLookup found = tree.lookupAssociation(wanted, settings);
        benchmark::DoNotOptimize(found);
        if (!found.modeFound)
            state.SkipWithError("the mode was not found");
    }
    state.counters["modes"] = monitors * resolutions * modes;
}
BENCHMARK(BM_LookupAssociation);

}  // namespace

BENCHMARK_MAIN();
