#include "tree/display_enumeration.h"

#include <cstring>
#include <optional>

#include "tree/display_records.h"

void forEachActiveMonitor(DisplaySystem& system,
                          const std::function<void(const DISPLAY_DEVICEA& adapter,
                                                   const DISPLAY_DEVICEA& monitor)>& visit) {
    DISPLAY_DEVICEA adapter = emptyDisplayDevice();
    for (DWORD i = 0; system.enumDisplayDevices(nullptr, i, &adapter); ++i) {
        terminateFields(adapter);
        DISPLAY_DEVICEA monitor = emptyDisplayDevice();
        for (DWORD j = 0; system.enumDisplayDevices(adapter.DeviceName, j, &monitor); ++j) {
            if (!(monitor.StateFlags & DISPLAY_DEVICE_ACTIVE))
                break;
            terminateFields(monitor);
            std::memcpy(monitor.DeviceName, adapter.DeviceName, sizeof monitor.DeviceName);
            visit(adapter, monitor);
            monitor = emptyDisplayDevice();
        }
        adapter = emptyDisplayDevice();
    }
}

std::vector<DEVMODEA> acceptedModes(DisplaySystem& system, const char* deviceName) {
    std::vector<DEVMODEA> accepted;
    DEVMODEA mode = emptyDisplayMode();
    for (DWORD k = 0; system.enumDisplaySettings(deviceName, k, &mode); ++k) {
        const bool repeat = !accepted.empty() && SameMode(mode, accepted.back());
        if (!repeat && mode.dmBitsPerPel >= 32)
            accepted.push_back(mode);
        mode = emptyDisplayMode();
    }
    return accepted;
}
