// The program's start on a real X server (Xorg with the dummy driver):
//
// - startToMainWindow: from the process start to its main window mapped,
//   with no "Tree.txt" and with a tree of 16 monitors x 40 resolutions x 8
//   modes, and the resident memory of the process once the window is shown;
// - startToCalibration: from the process start of `tavrin -start -hide` to
//   its profile's curve on DUMMY0's CRTC, beside ArgyllCMS `dispwin -d 1`
//   loading the same profile, on the same server, turn about (medians);
// - memoryWhenHidden: the resident memory of `tavrin -start -hide` once it
//   has settled, beside a minimal Qt Widgets program started the same way.
#include <fstream>
#include <string>

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QTemporaryDir>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <vector>

#include <QStandardPaths>

#include "icc_profiles.h"

#include "big_tree.h"
#include "storage/tree_file.h"
#include "temp_app_dir.h"
#include "xorg_server.h"

namespace {

const QByteArray settings =
    "[1.05]\ndefCPAssocMode = 1\nloadLinearCurveByDefault = 1\nloadLinearCurveOnExit = 1\n"
    "lockLoadedProfiles = 1\npollingPeriod = 1000\nLUTBitDepth = 0\nenableTrayIcon = 1\n"
    "checkForUpdates = 0\nupdateAvailable = 0\nrunOnStartup = 0";

XorgServer* startServer() {
    static XorgServer server;
    static const bool started = XorgServer::unavailableReason().isEmpty() && server.start() &&
                                server.resetOutputs("1920x1080") &&
                                server.attachMonitor("DUMMY1", "1280x1024");
    return started ? &server : nullptr;
}

long residentKiB(qint64 pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

// Waits for a top-level window titled "Tavrin v1.05" to be mapped.
bool waitForMainWindow(Display* display, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        while (XPending(display)) {
            XEvent e;
            XNextEvent(display, &e);
            if (e.type != MapNotify)
                continue;
            char* name = nullptr;
            const bool ours = XFetchName(display, e.xmap.window, &name) && name &&
                              std::string(name) == "Tavrin v1.05";
            if (name)
                XFree(name);
            if (ours)
                return true;
        }
        QThread::usleep(200);
    }
    return false;
}

// A copy of the program in `dir` with the benchmarks' settings; false (the
// benchmark skipped) when the binary is not there.
bool installProgram(benchmark::State& state, TempAppDir& dir) {
    qputenv("TAVRIN_BINARY", TAVRIN_BINARY_PATH);
    if (!dir.installBinary()) {
        state.SkipWithError("the tavrin binary was not found");
        return false;
    }
    dir.writeFile("Settings.txt", settings);
    return true;
}

void startToMainWindow(benchmark::State& state) {
    XorgServer* server = startServer();
    if (!server) {
        state.SkipWithError("no Xorg with the dummy driver here");
        return;
    }
    TempAppDir dir;
    if (!installProgram(state, dir))
        return;
    const bool bigTree = state.range(0) != 0;
    if (bigTree) {
        Tree tree;
        buildBigTree(tree);
        writeTree(dir.filePath("Tree.txt"), tree);
    }
    Display* display = XOpenDisplay(server->displayNameBytes().constData());
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, True);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", server->displayName());
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    long rss = 0;
    for (auto _ : state) {
        QProcess tavrin;
        tavrin.setProcessEnvironment(env);
        tavrin.setWorkingDirectory(dir.path());
        QElapsedTimer clock;
        clock.start();
        tavrin.start(dir.binaryPath(), {});
        const bool mapped = tavrin.waitForStarted() && waitForMainWindow(display, 20000);
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        if (!mapped) {
            state.SkipWithError("the main window was not mapped");
            break;
        }
        QThread::msleep(300);  // shown and settled
        rss = residentKiB(tavrin.processId());
        tavrin.terminate();
        tavrin.waitForFinished(10000);
    }
    XCloseDisplay(display);
    state.counters["RSS_MiB"] = double(rss) / 1024.0;
    state.SetLabel(bigTree ? "Tree.txt of 16 x 40 x 8 modes" : "no Tree.txt");
}

// DUMMY0's CRTC gamma, read by a connection of the benchmark's own.
class CrtcWatch {
public:
    explicit CrtcWatch(const XorgServer& server)
        : dpy_(XOpenDisplay(server.displayNameBytes().constData())) {
        XRRScreenResources* res = XRRGetScreenResourcesCurrent(dpy_, DefaultRootWindow(dpy_));
        for (int i = 0; res && i < res->noutput && !crtc_; ++i) {
            XRROutputInfo* info = XRRGetOutputInfo(dpy_, res, res->outputs[i]);
            if (info && std::string(info->name, info->nameLen) == "DUMMY0")
                crtc_ = info->crtc;
            XRRFreeOutputInfo(info);
        }
        XRRFreeScreenResources(res);
    }
    ~CrtcWatch() { XCloseDisplay(dpy_); }
    bool holds(const std::vector<unsigned short>& table) const {
        XRRCrtcGamma* g = XRRGetCrtcGamma(dpy_, crtc_);
        bool same = g && g->size == 256;
        for (int i = 0; same && i < 256; ++i)
            same = g->red[i] == table[i] && g->green[i] == table[256 + i] &&
                   g->blue[i] == table[512 + i];
        if (g)
            XRRFreeGamma(g);
        return same;
    }
    void set(unsigned short value) const {
        XRRCrtcGamma* g = XRRAllocGamma(256);
        for (int i = 0; i < 256; ++i) g->red[i] = g->green[i] = g->blue[i] = value;
        XRRSetCrtcGamma(dpy_, crtc_, g);
        XRRFreeGamma(g);
        XSync(dpy_, False);
    }

private:
    Display* dpy_;
    RRCrtc crtc_ = 0;
};

// Milliseconds from the start of `program arguments` to `table` on the
// CRTC; -1 when it does not come within ten seconds.
double msToTable(const CrtcWatch& crtc, const std::vector<unsigned short>& table,
                 const QString& program, const QStringList& arguments,
                 const QProcessEnvironment& env, const QString& workingDir) {
    crtc.set(1000);
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(workingDir);
    QElapsedTimer clock;
    clock.start();
    p.start(program, arguments);
    double ms = -1;
    while (clock.elapsed() < 10000) {
        if (crtc.holds(table)) {
            ms = double(clock.nsecsElapsed()) / 1e6;
            break;
        }
        QThread::usleep(100);
    }
    p.terminate();
    if (!p.waitForFinished(10000))
        p.kill();
    p.waitForFinished();
    return ms;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void startToCalibration(benchmark::State& state) {
    XorgServer* server = startServer();
    const QString dispwin = QStandardPaths::findExecutable("dispwin");
    if (!server || dispwin.isEmpty()) {
        state.SkipWithError(server ? "ArgyllCMS dispwin is not installed (argyll)"
                                   : "no Xorg with the dummy driver here");
        return;
    }
    TempAppDir dir;
    if (!installProgram(state, dir))
        return;
    const icc::Curves curves = icc::gammaCurves(2.2, 2.0, 1.8);
    dir.writeFile("display.icc", icc::lcmsTableProfile(icc::Version::V2, curves));
    dir.writeFile("Tree.txt", "<v1.04>\n<Monitor>\nMONITOR\\Default_Monitor\\DUMMY0\\0000\n"
                              "DUMMY0\nGeneric Monitor\nDummy adapter\n<global>\n" +
                                  dir.filePath("display.icc").toUtf8() + "\n</Monitor>");
    std::vector<unsigned short> table;
    for (const auto& channel : curves) table.insert(table.end(), channel.begin(), channel.end());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", server->displayName());
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    const CrtcWatch crtc(*server);
    std::vector<double> ours, theirs;
    for (auto _ : state) {
        ours.push_back(msToTable(crtc, table, dir.binaryPath(), {"-start", "-hide"}, env,
                                 dir.path()));
        theirs.push_back(msToTable(crtc, table, dispwin, {"-d", "1", dir.filePath("display.icc")},
                                   env, dir.path()));
        if (ours.back() < 0 || theirs.back() < 0) {
            state.SkipWithError("a calibration did not reach the CRTC");
            return;
        }
        state.SetIterationTime(ours.back() / 1e3);
    }
    state.counters["tavrin_ms"] = median(ours);
    state.counters["dispwin_ms"] = median(theirs);
    state.counters["tavrin/dispwin"] = median(ours) / median(theirs);
    state.SetLabel("tavrin -start -hide beside dispwin -d 1, the same profile, medians");
}

// Resident memory of a process once it has settled.
long settledResidentKiB(const QString& program, const QStringList& arguments,
                        const QProcessEnvironment& env, const QString& workingDir) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(workingDir);
    p.start(program, arguments);
    if (!p.waitForStarted())
        return -1;
    QThread::msleep(3000);
    const long kib = residentKiB(p.processId());
    p.terminate();
    if (!p.waitForFinished(10000))
        p.kill();
    p.waitForFinished();
    return kib;
}

void memoryWhenHidden(benchmark::State& state) {
    XorgServer* server = startServer();
    if (!server) {
        state.SkipWithError("no Xorg with the dummy driver here");
        return;
    }
    TempAppDir dir;
    if (!installProgram(state, dir))
        return;
    dir.writeFile("Tree.txt", "<v1.04>\n<Monitor>\nMONITOR\\Default_Monitor\\DUMMY0\\0000\n"
                              "DUMMY0\nGeneric Monitor\nDummy adapter\n<global>\nRED\n</Monitor>");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", server->displayName());
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    long ours = 0, minimal = 0;
    for (auto _ : state) {
        ours = settledResidentKiB(dir.binaryPath(), {"-start", "-hide"}, env, dir.path());
        minimal = settledResidentKiB(MINIMAL_WIDGETS_PATH, {}, env, dir.path());
    }
    state.counters["tavrin_MiB"] = double(ours) / 1024.0;
    state.counters["minimal_MiB"] = double(minimal) / 1024.0;
    state.counters["tavrin/minimal"] = double(ours) / double(minimal);
    state.SetLabel("tavrin -start -hide beside a minimal Qt Widgets program with a tray icon");
}

}  // namespace

BENCHMARK(startToCalibration)->Iterations(15)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(memoryWhenHidden)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(startToMainWindow)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
