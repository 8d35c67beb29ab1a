// The display system of a machine where no backend works (no X server, or
// one without RandR 1.2): it has no adapters, so nothing is captured,
// detected or loaded.
#pragma once

#include "platform/display_system.h"

class NullDisplaySystem : public DisplaySystem {
public:
    bool enumDisplayDevices(const char*, DWORD, DISPLAY_DEVICEA*) override { return false; }
    bool enumDisplaySettings(const char*, DWORD, DEVMODEA*) override { return false; }
    HDC createDC(const char*) override { return nullptr; }
    void deleteDC(HDC) override {}
    bool setDeviceGammaRamp(HDC, const GammaTable768&) override { return false; }
    bool getDeviceGammaRamp(HDC, GammaTable768&) override { return false; }
};
