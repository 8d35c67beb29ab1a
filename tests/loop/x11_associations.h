// Tree entries for the monitors of a virtual X server, made from the
// records the X11 backend reports, for the loop's tests and benchmarks on
// Xorg.
#pragma once

#include <initializer_list>
#include <optional>

#include <QString>

#include "platform/display_system.h"
#include "tree/tree.h"

// The monitor record on `output`; nothing when no monitor is connected.
inline std::optional<DISPLAY_DEVICEA> monitorOn(DisplaySystem& display, const char* output) {
    DISPLAY_DEVICEA monitor{};
    if (!display.enumDisplayDevices(output, 0, &monitor))
        return std::nullopt;
    return monitor;
}

// The first mode `output` lists with that size at 60 Hz (the modes the
// tests add are 60 Hz modes; the dummy driver lists others of the same size).
inline std::optional<DEVMODEA> listedMode(DisplaySystem& display, const char* output, DWORD width,
                                          DWORD height) {
    DEVMODEA mode{};
    for (DWORD k = 0; display.enumDisplaySettings(output, k, &mode); ++k)
        if (mode.dmPelsWidth == width && mode.dmPelsHeight == height &&
            mode.dmDisplayFrequency == 60)
            return mode;
    return std::nullopt;
}

struct ModeAssociation {
    DWORD width;
    DWORD height;
    QString association;
};

// Puts the monitor on `output` into `tree`, mode-specific, with each size's
// association. False when the output has no monitor or lists no such mode.
inline bool associateModes(DisplaySystem& display, Tree& tree, const char* output,
                           std::initializer_list<ModeAssociation> modes) {
    const std::optional<DISPLAY_DEVICEA> monitor = monitorOn(display, output);
    if (!monitor)
        return false;
    tree.AppendMonitor(*monitor, "Dummy");
    for (const ModeAssociation& m : modes) {
        const std::optional<DEVMODEA> mode = listedMode(display, output, m.width, m.height);
        if (!mode)
            return false;
        tree.AppendResolution(int(m.width), int(m.height));
        tree.AppendMode(*mode, m.association);
    }
    return true;
}
