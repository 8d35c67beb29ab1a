// A complete, private application state for the watch loop's tests and
// benchmarks: its own log file in a temporary directory, settings, flags,
// tree, active displays, ramps and a simulated display system with (by
// default) three displays, each offering 1920x1080 and 1280x720 at 60 Hz.
#pragma once

#include <cmath>

#include <QRegularExpression>
#include <QTemporaryDir>

#include "core/app_settings.h"
#include "core/log.h"
#include "loop/loop_context.h"
#include "platform/sim/sim_display_system.h"
#include "ramps/gamma_ramp.h"
#include "tree/active_display.h"
#include "tree/tree.h"

struct LoopFixture {
    static constexpr int defaultDisplays = 3;
    const int displays;

    QTemporaryDir dir;
    SimDisplaySystem sim;
    AppSettings settings;
    AppFlags flags;
    Log log;
    Tree tree;
    ActiveDisplayList activeDisplays{&sim};
    FixedRamps ramps;
    LoopScratch scratch;
    LoopContext ctx{log, settings, flags, tree, activeDisplays, ramps, sim, scratch};

    explicit LoopFixture(int displayCount = defaultDisplays) : displays(displayCount) {
        log.open(logPath());
        buildRamps(ramps);
        for (int i = 0; i < displays; ++i) {
            const int a =
                sim.addAdapter(adapterName(i).toStdString(), "Adapter " + std::to_string(i));
            sim.attachMonitor(a, monitor(i));
            sim.setModes(a, {SimDisplaySystem::makeMode(1920, 1080, 32, 60),
                             SimDisplaySystem::makeMode(1280, 720, 32, 60)});
        }
    }

    QString logPath() const { return dir.filePath("Log.txt"); }
    static QString adapterName(int i) { return QString("\\\\.\\DISPLAY%1").arg(i + 1); }
    static QString deviceId(int i) { return QString("MONITOR\\SIM%1000\\{class}\\000%1").arg(i); }
    static DISPLAY_DEVICEA monitor(int i) {
        return SimDisplaySystem::makeMonitor(deviceId(i).toStdString(), "key-" + std::to_string(i),
                                             "Sim Monitor " + std::to_string(i));
    }

    QByteArray rawLog() const {
        QFile f(logPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // The log so far, every timestamp as "[TS]" and every handle as "0xH".
    QString logText() const {
        QFile f(logPath());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QString text = QString::fromUtf8(f.readAll());
        static const QRegularExpression stamp("\\[\\d{4}-\\d{2}-\\d{2}\\.\\d{2}:\\d{2}:\\d{2}\\]");
        static const QRegularExpression handle("0x[0-9a-f]+");
        text.replace(stamp, "[TS]");
        text.replace(handle, "0xH");
        return text;
    }
    // Empties the log file, so that a case reads only what follows.
    void clearLog() {
        QFile f(logPath());
        f.resize(0);
    }

    // Puts monitor i into the tree, mode-specific, with the 1920x1080 mode
    // associated with `association`; a profile path gets `curve` as its
    // parsed curve.
    void associate(int i, const QString& association, const GammaRamp* curve = nullptr) {
        tree.AppendMonitor(monitor(i), "Adapter");
        tree.AppendResolution(1920, 1080);
        tree.AppendMode(SimDisplaySystem::makeMode(1920, 1080, 32, 60), association);
        if (curve)
            tree.SetCurrentModeCurve(*curve);
    }
    // Monitor i in global association with `association`.
    void associateGlobally(int i, const QString& association) {
        tree.AppendMonitor(monitor(i), "Adapter");
        tree.SetAssociationMode(true, log, association);
    }

    static GammaTable768 table(const GammaRamp& r) {
        GammaTable768 t;
        rampToTable(r, t);
        return t;
    }
    static GammaRamp gammaCurve(double gamma) {
        GammaRamp r;
        for (int c = 0; c < 3; ++c)
            for (int i = 0; i < 256; ++i)
                r.channel(c)[i] = static_cast<std::uint16_t>(
                    std::lround(65535.0 * std::pow(i / 255.0, gamma * (1.0 + 0.05 * c))));
        return r;
    }
    static GammaTable768 filled(std::uint16_t v) {
        GammaTable768 t;
        t.fill(v);
        return t;
    }
};
