// The real program as it runs idle on a virtual X server for the CPU
// benchmarks: `tavrin -start -hide` from a temporary application directory,
// with the default polling period of 1000, `lockLoadedProfiles` on and no
// update check.
#pragma once

#include <QProcess>

#include "temp_app_dir.h"
#include "xorg_server.h"

// How long an idle run is watched: TAVRIN_BENCH_SECONDS, a minute by default.
inline int idleSeconds() {
    return qEnvironmentVariableIsSet("TAVRIN_BENCH_SECONDS")
               ? qEnvironmentVariableIntValue("TAVRIN_BENCH_SECONDS")
               : 60;
}

// Installs the binary into `dir` and starts it on `server`; false (with
// `why`) when it cannot.
inline bool startIdleProgram(TempAppDir& dir, QProcess& tavrin, const XorgServer& server,
                             const char*& why) {
    qputenv("TAVRIN_BINARY", TAVRIN_BINARY_PATH);
    if (!dir.installBinary()) {
        why = "the tavrin binary was not found";
        return false;
    }
    dir.writeFile("Settings.txt",
                  "[1.05]\ndefCPAssocMode = 1\nloadLinearCurveByDefault = 1\n"
                  "loadLinearCurveOnExit = 1\nlockLoadedProfiles = 1\npollingPeriod = 1000\n"
                  "LUTBitDepth = 0\nenableTrayIcon = 1\ncheckForUpdates = 0\n"
                  "updateAvailable = 0\nrunOnStartup = 0");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", server.displayName());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    tavrin.setProcessEnvironment(env);
    tavrin.start(dir.binaryPath(), {"-start", "-hide"});
    if (!tavrin.waitForStarted()) {
        why = "the tavrin binary did not start";
        return false;
    }
    return true;
}
