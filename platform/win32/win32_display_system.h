// The Windows backend: the USER32 and GDI32 calls themselves. Changes are
// announced from WM_DISPLAYCHANGE and the monitors' WM_DEVICECHANGE, which
// a hidden window on a thread of its own receives from the first
// watchChanges() on.
#pragma once

#include <memory>
#include <mutex>

#include "platform/change_announcer.h"
#include "platform/display_system.h"

class DisplayChangeWindow;

class Win32DisplaySystem : public DisplaySystem {
public:
    Win32DisplaySystem();
    ~Win32DisplaySystem() override;

    bool enumDisplayDevices(const char* device, DWORD index, DISPLAY_DEVICEA* out) override;
    bool enumDisplaySettings(const char* deviceName, DWORD modeIndex, DEVMODEA* out) override;
    HDC createDC(const char* deviceName) override;
    void deleteDC(HDC dc) override;
    bool setDeviceGammaRamp(HDC dc, const GammaTable768& table) override;
    bool getDeviceGammaRamp(HDC dc, GammaTable768& table) override;
    std::unique_ptr<ChangeWaiter> watchChanges() override;

private:
    ChangeAnnouncer announcer_;
    // Made by the first watchChanges(); closed before the announcer goes.
    std::mutex windowMutex_;
    bool windowTried_ = false;
    std::unique_ptr<DisplayChangeWindow> window_;
};
