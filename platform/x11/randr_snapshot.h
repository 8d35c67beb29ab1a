// What the X server's RandR state means in the program's terms, read in one
// go: every output of the screen as an adapter record with its monitor
// record, its modes and its current mode, and the CRTCs they drive.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <cstdint>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include "platform/win_types.h"

class X11Connection;

// What a screen-resources reply says of the configuration it describes.
struct ResourceStamp {
    Time timestamp = 0;
    Time configTimestamp = 0;
    std::span<const std::uint32_t> outputs;
    std::span<const std::uint32_t> crtcs;
};

struct OutputState {
    RROutput id = 0;
    // The CRTC the output drives with a mode; 0 when it drives none.
    RRCrtc crtc = 0;
    // A monitor is attached: RandR says connected, or the output drives a
    // CRTC (its connection state may be from before the last change).
    bool connected = false;
    DISPLAY_DEVICEA adapter{};
    DISPLAY_DEVICEA monitor{};
    // Each display mode once, the modes of one size together (mode_order.h).
    std::vector<DEVMODEA> modes;
    // The mode of `crtc`, with the CRTC's position.
    std::optional<DEVMODEA> current;

    bool active() const { return crtc != 0; }
};

struct CrtcState {
    RRCrtc id = 0;
    RRMode mode = 0;
    int x = 0;
    int y = 0;
    std::vector<RROutput> outputs;
};

struct RandrSnapshot {
    // The screen resources the snapshot was read from, to tell whether a
    // later reply describes the same configuration.
    Time timestamp = 0;
    Time configTimestamp = 0;
    std::vector<RROutput> outputIds;
    std::vector<RRCrtc> crtcIds;

    // In the server's order; an output that vanished while it was read is left out.
    std::vector<OutputState> outputs;
    std::vector<CrtcState> crtcs;

    // By adapter DeviceName.
    const OutputState* output(std::string_view deviceName) const;
    const OutputState* outputWithId(RROutput id) const;
    // True while `crtc` shows a mode on `output`.
    bool drives(RRCrtc crtc, RROutput output) const;
    bool sameResources(const ResourceStamp& stamp) const;
};

// Reads the outputs and CRTCs of `resources` (from XRRGetScreenResourcesCurrent):
// one request per output and per CRTC, the EDID of every connected output,
// the primary output and the providers' names.
RandrSnapshot readSnapshot(X11Connection& connection, const XRRScreenResources& resources);
