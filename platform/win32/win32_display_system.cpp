#include "platform/win32/win32_display_system.h"

#include <cstring>
#include <system_error>

#include "platform/win32/display_change_window.h"

Win32DisplaySystem::Win32DisplaySystem() = default;

Win32DisplaySystem::~Win32DisplaySystem() = default;

bool Win32DisplaySystem::enumDisplayDevices(const char* device, DWORD index,
                                            DISPLAY_DEVICEA* out) {
    if (!out) return false;
    std::memset(out, 0, sizeof *out);
    out->cb = sizeof *out;
    return EnumDisplayDevicesA(device, index, out, 0) != FALSE;
}

bool Win32DisplaySystem::enumDisplaySettings(const char* deviceName, DWORD modeIndex,
                                             DEVMODEA* out) {
    if (!out) return false;
    std::memset(out, 0, sizeof *out);
    out->dmSize = sizeof *out;
    if (EnumDisplaySettingsA(deviceName, modeIndex, out) == FALSE) return false;
    // The call may shorten dmSize to the fields it filled (Wine leaves 124,
    // the record without its ICM and panning fields, which stay zero); the
    // program's records always carry the whole record's size.
    out->dmSize = sizeof *out;
    return true;
}

HDC Win32DisplaySystem::createDC(const char* deviceName) {
    return CreateDCA(nullptr, deviceName, nullptr, nullptr);
}

void Win32DisplaySystem::deleteDC(HDC dc) {
    if (dc) DeleteDC(dc);
}

bool Win32DisplaySystem::setDeviceGammaRamp(HDC dc, const GammaTable768& table) {
    if (!dc) return false;
    // The call takes a non-const pointer but does not write through it.
    return SetDeviceGammaRamp(dc, const_cast<std::uint16_t*>(table.data())) != FALSE;
}

bool Win32DisplaySystem::getDeviceGammaRamp(HDC dc, GammaTable768& table) {
    if (!dc) return false;
    GammaTable768 read;
    if (GetDeviceGammaRamp(dc, read.data()) == FALSE) return false;
    table = read;
    return true;
}

std::unique_ptr<ChangeWaiter> Win32DisplaySystem::watchChanges() {
    {
        std::lock_guard lock(windowMutex_);
        if (!windowTried_) {
            windowTried_ = true;
            // Without a thread for the window nothing is announced, and
            // the waiters only wait out their time.
            try {
                window_ = std::make_unique<DisplayChangeWindow>([this] { announcer_.announce(); });
            } catch (const std::system_error&) {
            }
        }
    }
    return announcer_.watch();
}
