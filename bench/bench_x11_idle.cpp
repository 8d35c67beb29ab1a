// The idle cost of the watch loop on a real X server (Xorg with the dummy
// driver, 16 outputs), where nothing changes and the loop only polls:
//
// - systemCallsPerSteadyPass/N: the system calls of one pass without a
//   change (its pause included) with N active outputs, each with a tint on
//   its mode and `lockLoadedProfiles` on, counted by `strace -c -f` over two
//   runs of the loop that differ by a counted number of passes; beside them
//   the X requests of such a pass;
// - cpuBesideDispwin: the CPU time of `tavrin -start -hide` (pollingPeriod
//   1000, two active outputs) per pass, beside ArgyllCMS `dispwin -X` (its
//   daemon loader, which polls every 2 s) per poll, each on a server of its
//   own, over the same minute (TAVRIN_BENCH_SECONDS changes the minute):
//   the whole process, every thread counted, by `perf stat -e task-clock`,
//   with the clock ticks of /proc/PID/stat beside it as a check.
//
// The counted runs are this program itself, started again with
// --passes N --display :D.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <thread>

#include <benchmark/benchmark.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "loop/stop_signal.h"
#include "loop/watch_loop.h"
#include "platform/x11/x11_display_system.h"
#include "idle_program.h"
#include "process_cpu.h"
#include "tests/loop/forwarding_display.h"
#include "tests/loop/loop_state.h"
#include "xorg_server.h"

namespace {

constexpr const char* outputNames[] = {"DUMMY0", "DUMMY1", "DUMMY2"};
// The pause between the counted passes: any length costs one wait.
constexpr int countedPeriod = 10;
constexpr int fewerPasses = 20;
constexpr int morePasses = 220;

// --- the counted run ---------------------------------------------------------

// Runs the loop on `displayName` until `passes` passes have begun after the
// first; prints the X requests the backend sent.
int runCountedPasses(const char* displayName, int passes) {
    auto x11 = X11DisplaySystem::open(displayName);
    if (!x11)
        return 1;
    ForwardingDisplay counted(*x11);
    LoopState s(counted);
    s.settings.pollingPeriod = countedPeriod;
    // Every active output with a tint on its current mode.
    DISPLAY_DEVICEA adapter{};
    for (DWORD i = 0; x11->enumDisplayDevices(nullptr, i, &adapter); ++i) {
        DISPLAY_DEVICEA monitor{};
        DEVMODEA current{};
        if (!x11->enumDisplayDevices(adapter.DeviceName, 0, &monitor) ||
            !(monitor.StateFlags & DISPLAY_DEVICE_ACTIVE) ||
            !x11->enumDisplaySettings(adapter.DeviceName, ENUM_CURRENT_SETTINGS, &current))
            continue;
        s.tree.AppendMonitor(monitor, "Dummy");
        s.tree.AppendResolution(int(current.dmPelsWidth), int(current.dmPelsHeight));
        s.tree.AppendMode(current, "RED");
    }
    StopSignal stop;
    int begun = 0;
    // The pass after the last counted one stops at its first step.
    counted.onListAdapters = [&] {
        if (++begun > passes + 1)
            stop.request();
    };
    WatchLoop loop(s.ctx, stop);
    loop.run();
    std::printf("%lu\n", x11->requestCounts().xRequests);
    return 0;
}

// --- the server ----------------------------------------------------------

XorgServer& server() {
    static XorgServer instance;
    return instance;
}

// The server with the first `outputs` outputs shown side by side.
bool showOutputs(int outputs) {
    static const bool started =
        XorgServer::unavailableReason().isEmpty() && server().start();
    if (!started || !server().resetOutputs("1920x1080"))
        return false;
    for (int i = 1; i < outputs; ++i)
        if (!server().attachMonitor(outputNames[i], "1280x1024", outputNames[i - 1]))
            return false;
    return true;
}

// --- system calls per pass ------------------------------------------------

struct Counted {
    bool ok = false;
    // By system call, and "total".
    std::map<std::string, long> calls;
    unsigned long xRequests = 0;
};

// `strace -c -f` over a counted run of `passes` passes.
Counted traceRun(int passes) {
    Counted counted;
    QTemporaryDir dir;
    const QString summary = dir.filePath("strace.txt");
    const QString self = QString::fromStdString(std::filesystem::read_symlink("/proc/self/exe"));
    QProcess run;
    run.start(QStandardPaths::findExecutable("strace"),
              {"-c", "-f", "-o", summary, self, "--passes", QString::number(passes), "--display",
               server().displayName()});
    if (!run.waitForFinished(120000) || run.exitCode() != 0)
        return counted;
    counted.xRequests = run.readAllStandardOutput().trimmed().toULong();
    QFile file(summary);
    if (!file.open(QIODevice::ReadOnly))
        return counted;
    // "% time  seconds  usecs/call  calls  errors syscall", the errors
    // column left empty where there are none; then a "total" row.
    static const QRegularExpression row(
        "^\\s*[\\d.]+\\s+[\\d.]+\\s+\\d+\\s+(\\d+)\\s+(?:\\d+\\s+)?(\\w+)\\s*$");
    for (const QByteArray& line : file.readAll().split('\n')) {
        const auto match = row.match(QString::fromLatin1(line));
        if (match.hasMatch())
            counted.calls[match.captured(2).toStdString()] = match.captured(1).toLong();
    }
    counted.ok = counted.calls.count("total") > 0;
    return counted;
}

void systemCallsPerSteadyPass(benchmark::State& state) {
    const int outputs = int(state.range(0));
    if (QStandardPaths::findExecutable("strace").isEmpty()) {
        state.SkipWithError("strace is not installed (bash scripts/deps.sh strace)");
        return;
    }
    if (!showOutputs(outputs)) {
        state.SkipWithError("no Xorg with the dummy driver here");
        return;
    }
    for (auto _ : state) {
        const Counted fewer = traceRun(fewerPasses);
        const Counted more = traceRun(morePasses);
        if (!fewer.ok || !more.ok) {
            state.SkipWithError("the counted run failed");
            return;
        }
        const double passes = morePasses - fewerPasses;
        for (const auto& [name, calls] : more.calls) {
            const auto before = fewer.calls.find(name);
            const double perPass =
                double(calls - (before == fewer.calls.end() ? 0 : before->second)) / passes;
            // The calls a pass makes; start-up and the end cancel out.
            if (perPass >= 0.05)
                state.counters[name == "total" ? "syscalls/pass" : name + "/pass"] = perPass;
        }
        state.counters["X_requests/pass"] = double(more.xRequests - fewer.xRequests) / passes;
    }
    state.SetLabel(std::to_string(outputs) + " active output" + (outputs > 1 ? "s" : "") +
                   ", a tint on each, lockLoadedProfiles on");
}

// --- CPU beside dispwin ----------------------------------------------------

// A server of its own with DUMMY0 and DUMMY1 shown.
bool startTwoOutputs(XorgServer& own) {
    return own.start() && own.resetOutputs("1920x1080") &&
           own.attachMonitor("DUMMY1", "1280x1024");
}

void cpuBesideDispwin(benchmark::State& state) {
    const QString dispwin = QStandardPaths::findExecutable("dispwin");
    if (dispwin.isEmpty()) {
        state.SkipWithError("ArgyllCMS dispwin is not installed (argyll)");
        return;
    }
    XorgServer ours;
    XorgServer theirs;
    if (!XorgServer::unavailableReason().isEmpty() || !startTwoOutputs(ours) ||
        !startTwoOutputs(theirs)) {
        state.SkipWithError("no Xorg with the dummy driver here");
        return;
    }
    const int seconds = idleSeconds();
    for (auto _ : state) {
        TempAppDir dir;
        QProcess tavrin;
        const char* why = nullptr;
        if (!startIdleProgram(dir, tavrin, ours, why)) {
            state.SkipWithError(why);
            return;
        }
        QProcess loader;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", theirs.displayName());
        loader.setProcessEnvironment(env);
        loader.start(dispwin, {"-X"});
        if (!loader.waitForStarted()) {
            state.SkipWithError("dispwin did not start");
            return;
        }
        // Past both start-ups: the minute holds only the polling. Each
        // process is counted whole, threads that end meanwhile included:
        // to the nanosecond by perf's task clock, and in clock ticks from
        // /proc as a check.
        std::this_thread::sleep_for(std::chrono::seconds(5));
        TaskClock ourClock, theirClock;
        const double ourTicks = processCpuSeconds(tavrin.processId());
        const double theirTicks = processCpuSeconds(loader.processId());
        if (!ourClock.start(tavrin.processId(), seconds) ||
            !theirClock.start(loader.processId(), seconds)) {
            state.SkipWithError("perf is not installed (bash scripts/deps.sh linux-perf)");
            return;
        }
        const std::optional<double> ourSeconds = ourClock.seconds();
        const std::optional<double> theirSeconds = theirClock.seconds();
        state.counters["tavrin_ticks_ms/min"] =
            (processCpuSeconds(tavrin.processId()) - ourTicks) * 1e3 * 60 / seconds;
        state.counters["dispwin_ticks_ms/min"] =
            (processCpuSeconds(loader.processId()) - theirTicks) * 1e3 * 60 / seconds;
        if (!ourSeconds || !theirSeconds) {
            state.SkipWithError("perf could not count the processes");
            return;
        }
        const double ourCpu = *ourSeconds;
        const double theirCpu = *theirSeconds;
        for (QProcess* p : {&tavrin, &loader}) {
            p->terminate();
            if (!p->waitForFinished(10000)) {
                p->kill();
                p->waitForFinished();
            }
        }
        // One pass a second, one poll every two seconds.
        const double passUs = ourCpu * 1e6 / seconds;
        const double pollUs = theirCpu * 1e6 / (seconds / 2.0);
        state.counters["tavrin_us/pass"] = passUs;
        state.counters["dispwin_us/poll"] = pollUs;
        state.counters["pass/poll"] = passUs / pollUs;
        state.counters["tavrin_ms/min"] = ourCpu * 1e3 * 60 / seconds;
        state.counters["dispwin_ms/min"] = theirCpu * 1e3 * 60 / seconds;
        state.counters["min/min"] = ourCpu / theirCpu;
    }
    state.SetLabel("tavrin -start -hide at pollingPeriod 1000 beside dispwin -X, 2 outputs each");
}

}  // namespace

BENCHMARK(systemCallsPerSteadyPass)->Arg(1)->Arg(2)->Arg(3)->Iterations(1);
BENCHMARK(cpuBesideDispwin)->Iterations(1)->Unit(benchmark::kSecond);

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--passes") == 0 &&
        std::strcmp(argv[3], "--display") == 0)
        return runCountedPasses(argv[4], std::atoi(argv[2]));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
