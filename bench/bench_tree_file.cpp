// Saving and loading the tree file: 16 monitors x 40 resolutions with 8, 32
// and 128 modes each (no profiles), to show that both grow linearly with the
// number of modes.
#include <memory>

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "core/log.h"
#include "storage/tree_file.h"
#include "tree/display_records.h"
#include "tree/tree.h"

namespace {

constexpr int monitorCount = 16;
constexpr int resolutionCount = 40;

void buildTree(Tree& tree, int modesPerResolution) {
    static const char* const tints[] = {"", "RED", "LINEAR", "NULL"};
    for (int m = 0; m < monitorCount; ++m) {
        DISPLAY_DEVICEA device = emptyDisplayDevice();
        setFieldText(device.DeviceID, "MONITOR\\BNC" + QByteArray::number(1000 + m) +
                                          "\\{4d36e96e-e325-11ce-bfc1-08002be10318}\\0001");
        setFieldText(device.DeviceKey, "key-" + QByteArray::number(m));
        setFieldText(device.DeviceString, "Benchmark Monitor");
        tree.AppendMonitor(device, "Benchmark Adapter");
        for (int r = 0; r < resolutionCount; ++r) {
            const DWORD width = 640 + 32 * r;
            const DWORD height = 480 + 18 * r;
            tree.AppendResolution(static_cast<int>(width), static_cast<int>(height));
            for (int i = 0; i < modesPerResolution; ++i) {
                DEVMODEA mode = emptyDisplayMode();
                mode.dmPelsWidth = width;
                mode.dmPelsHeight = height;
                mode.dmBitsPerPel = 32;
                mode.dmDisplayFrequency = 24 + i;
                tree.AppendMode(mode, tints[i % 4]);
            }
        }
    }
}

struct Fixture {
    QTemporaryDir dir;
    Log log;
    QString path;
    int modes = 0;

    explicit Fixture(int modesPerResolution)
        : path(dir.filePath("Tree.txt")),
          modes(monitorCount * resolutionCount * modesPerResolution) {
        log.open(dir.filePath("Log.txt"));
    }
};

void setCounters(benchmark::State& state, const Fixture& f) {
    state.SetComplexityN(f.modes);
    state.SetItemsProcessed(state.iterations() * f.modes);
    state.counters["modes"] = f.modes;
}

void BM_SaveTree(benchmark::State& state) {
    Fixture f(static_cast<int>(state.range(0)));
    Tree tree;
    buildTree(tree, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const bool ok = writeTree(f.path, tree);
        benchmark::DoNotOptimize(ok);
    }
    setCounters(state, f);
}

void BM_LoadTree(benchmark::State& state) {
    Fixture f(static_cast<int>(state.range(0)));
    {
        Tree tree;
        buildTree(tree, static_cast<int>(state.range(0)));
        if (!writeTree(f.path, tree))
            state.SkipWithError("cannot write the tree file");
    }
    for (auto _ : state) {
        state.PauseTiming();
        auto tree = std::make_unique<Tree>();
        state.ResumeTiming();
        const bool ok = loadTree(f.path, *tree, f.log);
        benchmark::DoNotOptimize(ok);
        state.PauseTiming();
        tree.reset();
        state.ResumeTiming();
    }
    setCounters(state, f);
}

}  // namespace

BENCHMARK(BM_SaveTree)->Arg(8)->Arg(32)->Arg(128)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(BM_LoadTree)->Arg(8)->Arg(32)->Arg(128)->Unit(benchmark::kMillisecond)->Complexity();

BENCHMARK_MAIN();
