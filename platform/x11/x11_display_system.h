// The X11 RandR backend. Adapter i is the i-th output of the screen in the
// server's order; its monitor 0 exists while the output is connected and is
// active while the output drives a CRTC; modes are the output's RandR modes;
// a device context is the CRTC that drives the output when it is opened;
// gamma tables are that CRTC's, resampled when it does not have 256 entries.
//
// Cost of a pass of the watch loop: asking for adapter 0 begins an
// enumeration and costs one XRRGetScreenResourcesCurrent round trip. Its
// reply, the screen's configuration timestamps and the RandR change events
// (taken from what came in with the replies: the round trip guarantees
// every event of an earlier change has arrived) tell whether the
// configuration changed. Only then are the outputs, CRTCs and EDIDs read
// again, once per output and CRTC. Every other call of that enumeration
// (the later adapter indices, and the monitor, current-mode and mode
// queries made between them) answers from the snapshot it began with, even
// when the configuration changes meanwhile, so one enumeration never skips
// or repeats an output; a listing of one output's modes, begun at mode 0
// outside such an enumeration, likewise sees one snapshot. Each thread's
// enumeration is its own. A gamma read or write is one round trip. The
// screen-resources check and the gamma read, the requests of a pass without
// a change, go through XCB: each costs a write, a wait and a read, and no
// call reads the socket just to look for events. XRRGetScreenResources
// (which makes the server probe the hardware) is never used.
//
// watchChanges() waits on the connection itself: a mode switch, a CRTC or
// output change, the screen's or an output's EDID changing is announced as
// soon as the server sends its event.
#pragma once

#include <memory>

#include "platform/display_system.h"

class X11DisplaySystem : public DisplaySystem {
public:
    // Connects to `displayName` (null: $DISPLAY). Null when there is no X
    // server or it offers no RandR 1.2 or later.
    static std::unique_ptr<X11DisplaySystem> open(const char* displayName = nullptr);
    ~X11DisplaySystem() override;

    bool enumDisplayDevices(const char* device, DWORD index, DISPLAY_DEVICEA* out) override;
    bool enumDisplaySettings(const char* deviceName, DWORD modeIndex, DEVMODEA* out) override;
    HDC createDC(const char* deviceName) override;
    void deleteDC(HDC dc) override;
    bool setDeviceGammaRamp(HDC dc, const GammaTable768& table) override;
    bool getDeviceGammaRamp(HDC dc, GammaTable768& table) override;
    // Every request goes out before the first reply is awaited: one round
    // trip for all the CRTCs.
    void getDeviceGammaRamps(std::span<GammaRead> reads) override;
    // The convention "ICC Profiles in X" (icc_publication.h).
    void publishProfile(const char* deviceName, std::span<const std::uint8_t> profile) override;
    void withdrawProfile(const char* deviceName) override;
    std::unique_ptr<ChangeWaiter> watchChanges() override;

    // What the backend has asked of the server so far, for tests and benchmarks.
    struct RequestCounts {
        int screenResources = 0;  // XRRGetScreenResourcesCurrent
        int snapshotReads = 0;    // full reads of outputs, CRTCs and EDIDs
        // Every X request sent on the backend's connection since it opened.
        unsigned long xRequests = 0;
    };
    RequestCounts requestCounts() const;

private:
    struct State;
    explicit X11DisplaySystem(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};
