// Walking the system's active monitors and the display modes of an output,
// as detection and the active-display snapshot need them.
#pragma once

#include <cstring>
#include <vector>

#include "platform/display_system.h"
#include "tree/display_records.h"

// Calls `visit(adapter, monitor)` for every active monitor, adapter by
// adapter in the system's order. On each adapter the monitors are taken from
// index 0 up to the first one that is missing or lacks DISPLAY_DEVICE_ACTIVE;
// monitors after an inactive one are not looked at. The monitor record's
// DeviceName is the adapter's DeviceName (the output's name).
// Every successful call fills the whole record, so the records are not
// cleared between calls. (A template: the watch loop walks this every pass.)
template <typename Visit>
void forEachActiveMonitor(DisplaySystem& system, Visit&& visit) {
    DISPLAY_DEVICEA adapter = emptyDisplayDevice();
    for (DWORD i = 0; system.enumDisplayDevices(nullptr, i, &adapter); ++i) {
        terminateFields(adapter);
        DISPLAY_DEVICEA monitor = emptyDisplayDevice();
        for (DWORD j = 0; system.enumDisplayDevices(adapter.DeviceName, j, &monitor); ++j) {
            if (!(monitor.StateFlags & DISPLAY_DEVICE_ACTIVE))
                break;
            terminateFields(monitor);
            std::memcpy(monitor.DeviceName, adapter.DeviceName, sizeof monitor.DeviceName);
            visit(static_cast<const DISPLAY_DEVICEA&>(adapter),
                  static_cast<const DISPLAY_DEVICEA&>(monitor));
        }
    }
}

// The modes of output `deviceName` from index 0 until the system has no
// more, leaving out every mode below 32 bits per pixel and every mode that
// is the SameMode as the mode accepted just before it (only adjacent repeats
// are removed).
std::vector<DEVMODEA> acceptedModes(DisplaySystem& system, const char* deviceName);
