// The watch loop's application state (loop_state.h) on a simulated display
// system with (by default) three displays, each offering 1920x1080 and
// 1280x720 at 60 Hz, for the loop's tests and benchmarks.
#pragma once

#include "forwarding_display.h"
#include "loop_state.h"
#include "platform/sim/sim_display_system.h"

// The simulated system, made before the state that uses it, and a
// forwarding display in front of it for tests that act at a chosen call.
struct SimulatedDisplays {
    SimDisplaySystem sim;
    ForwardingDisplay forwarding{sim};
};

struct LoopFixture : SimulatedDisplays, LoopState {
    static constexpr int defaultDisplays = 3;
    const int displays;

    // With `throughForwarding`, the loop reaches the system through
    // `forwarding`.
    explicit LoopFixture(int displayCount = defaultDisplays, bool throughForwarding = false)
        : LoopState(throughForwarding ? static_cast<DisplaySystem&>(forwarding) : sim),
          displays(displayCount) {
        for (int i = 0; i < displays; ++i) {
            const int a =
                sim.addAdapter(adapterName(i).toStdString(), "Adapter " + std::to_string(i));
            sim.attachMonitor(a, monitor(i));
            sim.setModes(a, {SimDisplaySystem::makeMode(1920, 1080, 32, 60),
                             SimDisplaySystem::makeMode(1280, 720, 32, 60)});
        }
    }

    static QString adapterName(int i) { return QString("\\\\.\\DISPLAY%1").arg(i + 1); }
    static QString deviceId(int i) { return QString("MONITOR\\SIM%1000\\{class}\\000%1").arg(i); }
    static DISPLAY_DEVICEA monitor(int i) {
        return SimDisplaySystem::makeMonitor(deviceId(i).toStdString(), "key-" + std::to_string(i),
                                             "Sim Monitor " + std::to_string(i));
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
};
