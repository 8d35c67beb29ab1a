// A large display tree for the benchmarks: 16 monitors, each with 40
// resolutions of 8 modes (5,120 modes), every fourth mode associated with
// a tint. As a "Tree.txt" text, or built into a Tree.
#pragma once

#include <QByteArray>

#include "platform/sim/sim_display_system.h"
#include "tree/tree.h"

inline constexpr int bigTreeMonitors = 16;
inline constexpr int bigTreeResolutions = 40;
inline constexpr int bigTreeModes = 8;

inline DISPLAY_DEVICEA bigTreeMonitor(int m) {
    const std::string n = std::to_string(m);
    return SimDisplaySystem::makeMonitor("MONITOR\\BIG" + n + "\\{class}\\000" + n, "key-" + n,
                                         "Monitor " + n);
}

inline void buildBigTree(Tree& tree) {
    for (int m = 0; m < bigTreeMonitors; ++m) {
        tree.AppendMonitor(bigTreeMonitor(m), "Adapter");
        for (int r = 0; r < bigTreeResolutions; ++r) {
            const DWORD w = 640 + 32 * DWORD(r), h = 480 + 18 * DWORD(r);
            tree.AppendResolution(int(w), int(h));
            for (int k = 0; k < bigTreeModes; ++k)
                tree.AppendMode(SimDisplaySystem::makeMode(w, h, 32, 50 + 5 * DWORD(k)),
                                k % 4 == 0 ? QStringLiteral("CYAN") : QString());
        }
    }
}
