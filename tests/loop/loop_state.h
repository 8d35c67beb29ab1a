// A complete, private application state for the watch loop on a display
// system of the caller's: its own log file in a temporary directory,
// settings, flags, tree, active displays and ramps.
#pragma once

#include <cmath>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "core/app_settings.h"
#include "core/log.h"
#include "loop/loop_context.h"
#include "platform/display_system.h"
#include "ramps/gamma_ramp.h"
#include "tree/active_display.h"
#include "tree/tree.h"

struct LoopState {
    QTemporaryDir dir;
    AppSettings settings;
    AppFlags flags;
    Log log;
    Tree tree;
    ActiveDisplayList activeDisplays;
    FixedRamps ramps;
    LoopScratch scratch;
    ProfileRetry profileRetry;
    LoopContext ctx;

    explicit LoopState(DisplaySystem& display)
        : activeDisplays(&display),
          ctx{log, settings, flags, tree, activeDisplays, ramps, display, scratch, profileRetry} {
        log.open(logPath());
        buildRamps(ramps);
    }

    QString logPath() const { return dir.filePath("Log.txt"); }

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

    // The table of the tint named `name`.
    GammaTable768 tint(const QString& name) const { return table(ramps.tintRamps[ramps.tintIndex(name)]); }

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
