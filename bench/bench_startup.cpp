// The program's start on a real X server (Xorg with the dummy driver): from
// the process start to its main window mapped, with no "Tree.txt" and with
// a tree of 16 monitors x 40 resolutions x 8 modes, and the resident memory
// of the process once the window is shown.
#include <fstream>
#include <string>

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QTemporaryDir>

#include <X11/Xlib.h>

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

void startToMainWindow(benchmark::State& state) {
    XorgServer* server = startServer();
    if (!server) {
        state.SkipWithError("no Xorg with the dummy driver here");
        return;
    }
    TempAppDir dir;
    qputenv("TAVRIN_BINARY", TAVRIN_BINARY_PATH);
    if (!dir.installBinary()) {
        state.SkipWithError("the tavrin binary was not found");
        return;
    }
    dir.writeFile("Settings.txt", settings);
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

}  // namespace

BENCHMARK(startToMainWindow)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
