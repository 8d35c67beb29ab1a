#include "tree/display_records.h"

#include <algorithm>
#include <cstring>

namespace {

template <std::size_t N>
bool sameField(const char (&a)[N], const char (&b)[N]) {
    return std::strncmp(a, b, N) == 0;
}

template <std::size_t N>
void copyField(char (&destination)[N], const char (&source)[N]) {
    std::memcpy(destination, source, N);
}

}  // namespace

bool SameMonitor(const DISPLAY_DEVICEA& a, const DISPLAY_DEVICEA& b) {
    return sameField(a.DeviceID, b.DeviceID) && sameField(a.DeviceKey, b.DeviceKey) &&
           sameField(a.DeviceString, b.DeviceString);
}

bool SameMode(const DEVMODEA& a, const DEVMODEA& b) {
    return a.dmBitsPerPel == b.dmBitsPerPel && a.dmPelsWidth == b.dmPelsWidth &&
           a.dmPelsHeight == b.dmPelsHeight && a.dmDisplayFlags == b.dmDisplayFlags &&
           a.dmDisplayFrequency == b.dmDisplayFrequency;
}

void CopyDisplayDevice(DISPLAY_DEVICEA& destination, const DISPLAY_DEVICEA& source) {
    copyField(destination.DeviceID, source.DeviceID);
    copyField(destination.DeviceKey, source.DeviceKey);
    copyField(destination.DeviceName, source.DeviceName);
    copyField(destination.DeviceString, source.DeviceString);
    destination.StateFlags = source.StateFlags;
}

void CopyDisplaySettings(DEVMODEA& destination, const DEVMODEA& source) {
    const DEVMODEA kept = destination;
    destination = source;
    std::memcpy(destination.dmDeviceName, kept.dmDeviceName, sizeof kept.dmDeviceName);
    std::memcpy(destination.dmFormName, kept.dmFormName, sizeof kept.dmFormName);
    destination.dmSize = kept.dmSize;
}

DISPLAY_DEVICEA emptyDisplayDevice() {
    DISPLAY_DEVICEA device{};
    device.cb = sizeof(DISPLAY_DEVICEA);
    return device;
}

DEVMODEA emptyDisplayMode() {
    DEVMODEA mode{};
    mode.dmSize = sizeof(DEVMODEA);
    return mode;
}

bool modeHasSize(const DEVMODEA& mode, int width, int height) {
    return mode.dmPelsWidth == static_cast<DWORD>(width) &&
           mode.dmPelsHeight == static_cast<DWORD>(height);
}

QString fieldText(const char* field, std::size_t size) {
    const std::size_t length = strnlen(field, size);
    return QString::fromLocal8Bit(field, static_cast<qsizetype>(length));
}

void setFieldText(char* field, std::size_t size, const QByteArray& text) {
    if (size == 0)
        return;
    std::memset(field, 0, size);
    const std::size_t n = std::min(size - 1, static_cast<std::size_t>(text.size()));
    std::memcpy(field, text.constData(), n);
}

void terminateFields(DISPLAY_DEVICEA& device) {
    device.DeviceName[sizeof device.DeviceName - 1] = '\0';
    device.DeviceString[sizeof device.DeviceString - 1] = '\0';
    device.DeviceID[sizeof device.DeviceID - 1] = '\0';
    device.DeviceKey[sizeof device.DeviceKey - 1] = '\0';
}
