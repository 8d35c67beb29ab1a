// The one interface through which the program reaches the system's displays.
// It is shaped after the Windows calls the program was designed around
// (EnumDisplayDevicesA, EnumDisplaySettingsA, CreateDCA/DeleteDC,
// SetDeviceGammaRamp/GetDeviceGammaRamp) and knows nothing of Qt.
//
// Every backend is safe to call from the main thread and the watch-loop
// thread at the same time.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "platform/change_waiter.h"
#include "platform/win_types.h"

// 768 entries: 256 red, then 256 green, then 256 blue.
using GammaTable768 = std::array<std::uint16_t, 768>;

// One read of getDeviceGammaRamps: the device context, where its table
// goes, and whether it was read (a table not read keeps what it held).
struct GammaRead {
    HDC dc = nullptr;
    GammaTable768* table = nullptr;
    bool ok = false;
};

class DisplaySystem {
public:
    virtual ~DisplaySystem() = default;

    // With device == nullptr: adapter (output) number `index`. Otherwise:
    // monitor number `index` on the adapter whose DeviceName is `device`.
    // Fills `out` (its cb is set by the callee) and returns false past the end.
    virtual bool enumDisplayDevices(const char* device, DWORD index, DISPLAY_DEVICEA* out) = 0;

    // Mode number `modeIndex` of the adapter `deviceName`, or its current
    // mode for ENUM_CURRENT_SETTINGS. Returns false past the end, for an
    // unknown device, or when the device has no current mode.
    virtual bool enumDisplaySettings(const char* deviceName, DWORD modeIndex, DEVMODEA* out) = 0;

    // A device context for the adapter `deviceName`; null on failure.
    virtual HDC createDC(const char* deviceName) = 0;
    // Releases a device context; null and unknown handles are ignored.
    virtual void deleteDC(HDC dc) = 0;

    virtual bool setDeviceGammaRamp(HDC dc, const GammaTable768& table) = 0;
    // On failure `table` keeps what it held.
    virtual bool getDeviceGammaRamp(HDC dc, GammaTable768& table) = 0;
    // Several reads at once, as the watch loop's drift test makes them: a
    // system that can sends every request before it waits for the first
    // answer. This default reads one after the other.
    virtual void getDeviceGammaRamps(std::span<GammaRead> reads);

    // The profile a display shows, for the colour-managed programs of the
    // system. publishProfile: the output `deviceName` was given the curves
    // of the ICC profile whose file's bytes are `profile`. withdrawProfile:
    // it shows no profile (a tint, the linear curve, nothing associated, or
    // it was detached): what this system published for it is taken back,
    // and only that. A system whose own colour management hands the
    // associated profile to programs does nothing (this default).
    virtual void publishProfile(const char* deviceName, std::span<const std::uint8_t> profile);
    virtual void withdrawProfile(const char* deviceName);

    // A waiter on the system's own announcements that the display
    // configuration may have changed (change_waiter.h). A system that makes
    // none (this default) gives one that only waits out its time or a wake.
    virtual std::unique_ptr<ChangeWaiter> watchChanges();
};
