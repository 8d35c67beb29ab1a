// The Windows backend: the USER32 and GDI32 calls themselves.
#pragma once

#include "platform/display_system.h"

class Win32DisplaySystem : public DisplaySystem {
public:
    bool enumDisplayDevices(const char* device, DWORD index, DISPLAY_DEVICEA* out) override;
    bool enumDisplaySettings(const char* deviceName, DWORD modeIndex, DEVMODEA* out) override;
    HDC createDC(const char* deviceName) override;
    void deleteDC(HDC dc) override;
    bool setDeviceGammaRamp(HDC dc, const GammaTable768& table) override;
    bool getDeviceGammaRamp(HDC dc, GammaTable768& table) override;
};
