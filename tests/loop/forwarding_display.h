// A display system that passes every call on to another one (its change
// announcements too) and lets a test act at a chosen call, e.g. request a
// stop while a pass is running.
#pragma once

#include <functional>

#include "platform/display_system.h"

class ForwardingDisplay : public DisplaySystem {
public:
    explicit ForwardingDisplay(DisplaySystem& inner) : inner_(inner) {}

    // Asking for adapter 0: a capture, and so a pass of the loop, begins.
    std::function<void()> onListAdapters;
    std::function<void()> onCreateDC;
    // Device names for which opening a device context fails.
    std::function<bool(const char* deviceName)> failCreateDC;
    std::function<void()> onSetGamma;

    bool enumDisplayDevices(const char* device, DWORD index, DISPLAY_DEVICEA* out) override {
        if (!device && index == 0 && onListAdapters)
            onListAdapters();
        return inner_.enumDisplayDevices(device, index, out);
    }
    bool enumDisplaySettings(const char* name, DWORD mode, DEVMODEA* out) override {
        return inner_.enumDisplaySettings(name, mode, out);
    }
    HDC createDC(const char* name) override {
        if (onCreateDC)
            onCreateDC();
        if (failCreateDC && failCreateDC(name))
            return nullptr;
        return inner_.createDC(name);
    }
    void deleteDC(HDC dc) override { inner_.deleteDC(dc); }
    bool setDeviceGammaRamp(HDC dc, const GammaTable768& table) override {
        if (onSetGamma)
            onSetGamma();
        return inner_.setDeviceGammaRamp(dc, table);
    }
    bool getDeviceGammaRamp(HDC dc, GammaTable768& table) override {
        return inner_.getDeviceGammaRamp(dc, table);
    }
    void getDeviceGammaRamps(std::span<GammaRead> reads) override {
        inner_.getDeviceGammaRamps(reads);
    }
    void publishProfile(const char* name, std::span<const std::uint8_t> profile) override {
        inner_.publishProfile(name, profile);
    }
    void withdrawProfile(const char* name) override { inner_.withdrawProfile(name); }
    std::unique_ptr<ChangeWaiter> watchChanges() override { return inner_.watchChanges(); }

private:
    DisplaySystem& inner_;
};
