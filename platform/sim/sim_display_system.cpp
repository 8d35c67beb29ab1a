#include "platform/sim/sim_display_system.h"

#include <cstring>
#include <algorithm>

namespace {

void copyText(char* dst, std::size_t size, const std::string& src) {
    std::size_t n = std::min(size - 1, src.size());
    std::memcpy(dst, src.data(), n);
    dst[n] = '\0';
}

GammaTable768 linearTable() {
    GammaTable768 t{};
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 256; ++i) t[c * 256 + i] = static_cast<std::uint16_t>(i * 257);
    return t;
}

}  // namespace

DEVMODEA SimDisplaySystem::makeMode(DWORD width, DWORD height, DWORD bitsPerPel, DWORD frequency,
                                    DWORD flags) {
    DEVMODEA m{};
    m.dmSize = sizeof(DEVMODEA);
    m.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFLAGS | DM_DISPLAYFREQUENCY;
    m.dmBitsPerPel = bitsPerPel;
    m.dmPelsWidth = width;
    m.dmPelsHeight = height;
    m.dmDisplayFlags = flags;
    m.dmDisplayFrequency = frequency;
    return m;
}

DISPLAY_DEVICEA SimDisplaySystem::makeMonitor(const std::string& deviceId,
                                              const std::string& deviceKey,
                                              const std::string& deviceString) {
    DISPLAY_DEVICEA d{};
    d.cb = sizeof(DISPLAY_DEVICEA);
    copyText(d.DeviceID, sizeof d.DeviceID, deviceId);
    copyText(d.DeviceKey, sizeof d.DeviceKey, deviceKey);
    copyText(d.DeviceString, sizeof d.DeviceString, deviceString);
    return d;
}

int SimDisplaySystem::addAdapter(const std::string& deviceName, const std::string& deviceString) {
    std::lock_guard lock(mutex_);
    Adapter a;
    a.device = DISPLAY_DEVICEA{};
    a.device.cb = sizeof(DISPLAY_DEVICEA);
    copyText(a.device.DeviceName, sizeof a.device.DeviceName, deviceName);
    copyText(a.device.DeviceString, sizeof a.device.DeviceString, deviceString);
    a.device.StateFlags = DISPLAY_DEVICE_ATTACHED_TO_DESKTOP;
    a.gamma = linearTable();
    adapters_.push_back(a);
    return static_cast<int>(adapters_.size()) - 1;
}

int SimDisplaySystem::attachMonitor(int adapter, const DISPLAY_DEVICEA& monitor, bool active) {
    int index = 0;
    {
        std::lock_guard lock(mutex_);
        Adapter& a = adapters_.at(adapter);
        Monitor m{monitor, active};
        m.device.cb = sizeof(DISPLAY_DEVICEA);
        a.monitors.push_back(m);
        index = static_cast<int>(a.monitors.size()) - 1;
    }
    announcer_.announce();
    return index;
}

void SimDisplaySystem::detachMonitor(int adapter, int monitor) {
    {
        std::lock_guard lock(mutex_);
        auto& list = adapters_.at(adapter).monitors;
        list.erase(list.begin() + monitor);
    }
    announcer_.announce();
}

void SimDisplaySystem::setMonitorActive(int adapter, int monitor, bool active) {
    {
        std::lock_guard lock(mutex_);
        adapters_.at(adapter).monitors.at(monitor).active = active;
    }
    announcer_.announce();
}

void SimDisplaySystem::setModes(int adapter, const std::vector<DEVMODEA>& modes) {
    std::lock_guard lock(mutex_);
    Adapter& a = adapters_.at(adapter);
    a.modes = modes;
    if (!a.hasCurrent && !modes.empty()) {
        a.hasCurrent = true;
        a.current = modes.front();
    }
}

void SimDisplaySystem::switchMode(int adapter, const DEVMODEA& mode) {
    {
        std::lock_guard lock(mutex_);
        Adapter& a = adapters_.at(adapter);
        a.hasCurrent = true;
        a.current = mode;
    }
    announcer_.announce();
}

bool SimDisplaySystem::switchMode(const std::string& deviceName, const DEVMODEA& mode) {
    int index = -1;
    {
        std::lock_guard lock(mutex_);
        if (Adapter* a = findAdapter(deviceName.c_str()))
            index = static_cast<int>(a - adapters_.data());
    }
    if (index < 0)
        return false;
    switchMode(index, mode);
    return true;
}

void SimDisplaySystem::clearCurrentMode(int adapter) {
    {
        std::lock_guard lock(mutex_);
        adapters_.at(adapter).hasCurrent = false;
    }
    announcer_.announce();
}

void SimDisplaySystem::overwriteGamma(int adapter, const GammaTable768& table) {
    std::lock_guard lock(mutex_);
    adapters_.at(adapter).gamma = table;
}

GammaTable768 SimDisplaySystem::gamma(int adapter) const {
    std::lock_guard lock(mutex_);
    return adapters_.at(adapter).gamma;
}

void SimDisplaySystem::setQuantizeBits(int adapter, int bits) {
    std::lock_guard lock(mutex_);
    adapters_.at(adapter).quantizeBits = bits;
}

void SimDisplaySystem::setRefuseRamps(int adapter, bool refuse) {
    std::lock_guard lock(mutex_);
    adapters_.at(adapter).refuseRamps = refuse;
}

void SimDisplaySystem::setFailCreateDC(bool fail) {
    std::lock_guard lock(mutex_);
    failCreateDC_ = fail;
}

SimDisplaySystem::CallCounts SimDisplaySystem::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

void SimDisplaySystem::resetCalls() {
    std::lock_guard lock(mutex_);
    calls_ = CallCounts{};
}

int SimDisplaySystem::openDeviceContexts() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(contexts_.size());
}

int SimDisplaySystem::gammaLoads(int adapter) const {
    std::lock_guard lock(mutex_);
    return adapters_.at(adapter).loads;
}

SimDisplaySystem::Adapter* SimDisplaySystem::findAdapter(const char* deviceName) {
    if (!deviceName) return nullptr;
    for (Adapter& a : adapters_)
        if (std::strncmp(a.device.DeviceName, deviceName, sizeof a.device.DeviceName) == 0) return &a;
    return nullptr;
}

SimDisplaySystem::Adapter* SimDisplaySystem::adapterForDC(HDC dc) {
    auto it = contexts_.find(dc);
    if (it == contexts_.end()) return nullptr;
    return findAdapter(it->second.c_str());
}

bool SimDisplaySystem::enumDisplayDevices(const char* device, DWORD index, DISPLAY_DEVICEA* out) {
    std::lock_guard lock(mutex_);
    ++calls_.enumDisplayDevices;
    if (!out) return false;
    if (!device) {
        if (index >= adapters_.size()) return false;
        *out = adapters_[index].device;
        out->cb = sizeof(DISPLAY_DEVICEA);
        return true;
    }
    Adapter* a = findAdapter(device);
    if (!a || index >= a->monitors.size()) return false;
    const Monitor& m = a->monitors[index];
    *out = m.device;
    out->cb = sizeof(DISPLAY_DEVICEA);
    // As on Windows, a monitor's own device name is the adapter's plus a suffix.
    copyText(out->DeviceName, sizeof out->DeviceName,
             std::string(a->device.DeviceName) + "\\Monitor" + std::to_string(index));
    out->StateFlags = m.active ? (DISPLAY_DEVICE_ACTIVE | DISPLAY_DEVICE_ATTACHED_TO_DESKTOP) : 0;
    return true;
}

bool SimDisplaySystem::enumDisplaySettings(const char* deviceName, DWORD modeIndex, DEVMODEA* out) {
    std::lock_guard lock(mutex_);
    ++calls_.enumDisplaySettings;
    Adapter* a = findAdapter(deviceName);
    if (!a || !out) return false;
    const DEVMODEA* src = nullptr;
    if (modeIndex == ENUM_CURRENT_SETTINGS) {
        if (!a->hasCurrent) return false;
        src = &a->current;
    } else {
        if (modeIndex >= a->modes.size()) return false;
        src = &a->modes[modeIndex];
    }
    *out = *src;
    out->dmSize = sizeof(DEVMODEA);
    return true;
}

HDC SimDisplaySystem::createDC(const char* deviceName) {
    std::lock_guard lock(mutex_);
    ++calls_.createDC;
    if (failCreateDC_ || !findAdapter(deviceName)) return nullptr;
    HDC dc = reinterpret_cast<HDC>(nextContext_);
    nextContext_ += 0x10;
    contexts_[dc] = deviceName;
    return dc;
}

void SimDisplaySystem::deleteDC(HDC dc) {
    std::lock_guard lock(mutex_);
    ++calls_.deleteDC;
    contexts_.erase(dc);
}

bool SimDisplaySystem::setDeviceGammaRamp(HDC dc, const GammaTable768& table) {
    std::lock_guard lock(mutex_);
    ++calls_.setDeviceGammaRamp;
    Adapter* a = adapterForDC(dc);
    if (!a || a->refuseRamps) return false;
    std::uint16_t mask = 0xFFFF;
    if (a->quantizeBits > 0 && a->quantizeBits < 16)
        mask = static_cast<std::uint16_t>(0xFFFF << (16 - a->quantizeBits));
    for (std::size_t i = 0; i < table.size(); ++i)
        a->gamma[i] = static_cast<std::uint16_t>(table[i] & mask);
    ++a->loads;
    return true;
}

std::unique_ptr<ChangeWaiter> SimDisplaySystem::watchChanges() {
    return announcer_.watch();
}

bool SimDisplaySystem::getDeviceGammaRamp(HDC dc, GammaTable768& table) {
    std::lock_guard lock(mutex_);
    ++calls_.getDeviceGammaRamp;
    Adapter* a = adapterForDC(dc);
    if (!a) return false;
    table = a->gamma;
    return true;
}

void SimDisplaySystem::publishProfile(const char* deviceName, std::span<const std::uint8_t> profile) {
    std::lock_guard lock(mutex_);
    ++calls_.publishProfile;
    if (deviceName)
        published_[deviceName].assign(profile.begin(), profile.end());
}

void SimDisplaySystem::withdrawProfile(const char* deviceName) {
    std::lock_guard lock(mutex_);
    ++calls_.withdrawProfile;
    if (deviceName)
        published_.erase(deviceName);
}

std::vector<std::uint8_t> SimDisplaySystem::publishedProfile(const std::string& deviceName) const {
    std::lock_guard lock(mutex_);
    const auto it = published_.find(deviceName);
    return it == published_.end() ? std::vector<std::uint8_t>{} : it->second;
}
