// The Windows display records the rest of the program works with, made from
// what RandR reports about an output, its monitor's EDID and its modes.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/win_types.h"

// The timing of one RandR mode, as XRRModeInfo gives it.
struct ModeTiming {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint64_t dotClock = 0;  // Hz
    std::uint32_t hTotal = 0;
    std::uint32_t vTotal = 0;
    bool interlaced = false;
};

// round(dot clock / (htotal x vtotal)) in Hz; 0 for a mode without totals.
DWORD refreshRate(const ModeTiming& timing);

// Bits per pixel as Windows reports them for a screen of `depth`: 32 for
// true colour (depth 24 or 32), the depth itself otherwise.
DWORD bitsPerPelForDepth(int depth);

DEVMODEA modeRecord(std::string_view outputName, const ModeTiming& timing, DWORD bitsPerPel);

// An adapter: DeviceName is the output's name, DeviceString the description
// of the card (the RandR provider) it belongs to.
DISPLAY_DEVICEA adapterRecord(std::string_view outputName, std::string_view description,
                              DWORD stateFlags);

// The monitor on a connected output; `edid` is the output's EDID property
// (empty when it has none). With a valid EDID:
//   DeviceID     "MONITOR\" + manufacturer id and product code ("ABC1234")
//                + "\" + serial + "\0000", where the serial is the text of the
//                serial-number descriptor, else the 32-bit serial number in
//                decimal, else "0";
//   DeviceKey    "EDID\" + the digest of all EDID bytes, so two monitors of
//                one model with different serials (or checksums) differ;
//   DeviceString the monitor name descriptor, else "Generic Monitor".
// Without one: "MONITOR\Default_Monitor\" + output name + "\0000", the output
// name, and "Generic Monitor". StateFlags has DISPLAY_DEVICE_ACTIVE when
// `active` (the output drives a CRTC).
DISPLAY_DEVICEA monitorRecord(std::string_view outputName, std::span<const std::uint8_t> edid,
                              bool active);
