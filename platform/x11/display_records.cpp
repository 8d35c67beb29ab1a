#include "platform/x11/display_records.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/x11/edid.h"

namespace {

// Windows flags this backend sets besides the ones win_types.h names.
constexpr DWORD monitorAttached = 0x00000002;
constexpr char genericMonitor[] = "Generic Monitor";

// Copies `text` into a fixed record field, cut to fit and NUL-terminated.
template <std::size_t N>
void setText(CHAR (&field)[N], std::string_view text) {
    const std::size_t n = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, N - n);
}

// Output names come from the server; keep the printable ASCII of them so
// records and the files made of them hold plain text.
std::string printable(std::string_view text) {
    std::string out;
    for (char c : text)
        if (c >= 0x20 && c <= 0x7E)
            out += c;
    return out;
}

std::string hardwareId(const EdidInfo& edid) {
    char code[5];
    std::snprintf(code, sizeof code, "%04X", unsigned(edid.productCode));
    return edid.manufacturerId + code;
}

// The serial as it stands in DeviceID. A backslash would split the id into
// more parts than it has, so it is left out.
std::string serialPart(const EdidInfo& edid) {
    std::string serial;
    for (char c : edid.serialText)
        if (c != '\\')
            serial += c;
    if (!serial.empty())
        return serial;
    return std::to_string(edid.serialNumber);
}

}  // namespace

DWORD refreshRate(const ModeTiming& timing) {
    const std::uint64_t total = std::uint64_t(timing.hTotal) * timing.vTotal;
    if (total == 0)
        return 0;
    return static_cast<DWORD>((timing.dotClock + total / 2) / total);
}

DWORD bitsPerPelForDepth(int depth) {
    // True-colour screens (24, 30 or 32 bits deep) count as 32 bits per
    // pixel, as Windows reports them; only palette-sized depths stay small.
    return depth >= 24 ? 32 : static_cast<DWORD>(depth);
}

DEVMODEA modeRecord(std::string_view outputName, const ModeTiming& timing, DWORD bitsPerPel) {
    DEVMODEA mode{};
    std::string name = printable(outputName);
    const std::size_t n = std::min(name.size(), sizeof mode.dmDeviceName - 1);
    std::memcpy(mode.dmDeviceName, name.data(), n);
    mode.dmSize = sizeof(DEVMODEA);
    mode.dmFields =
        DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFLAGS | DM_DISPLAYFREQUENCY;
    mode.dmBitsPerPel = bitsPerPel;
    mode.dmPelsWidth = timing.width;
    mode.dmPelsHeight = timing.height;
    mode.dmDisplayFlags = timing.interlaced ? DM_INTERLACED : 0;
    mode.dmDisplayFrequency = refreshRate(timing);
    return mode;
}

DISPLAY_DEVICEA adapterRecord(std::string_view outputName, std::string_view description,
                              DWORD stateFlags) {
    DISPLAY_DEVICEA adapter{};
    adapter.cb = sizeof(DISPLAY_DEVICEA);
    setText(adapter.DeviceName, printable(outputName));
    setText(adapter.DeviceString, printable(description));
    adapter.StateFlags = stateFlags;
    return adapter;
}

DISPLAY_DEVICEA monitorRecord(std::string_view outputName, std::span<const std::uint8_t> edid,
                              bool active) {
    const std::string output = printable(outputName);
    DISPLAY_DEVICEA monitor{};
    monitor.cb = sizeof(DISPLAY_DEVICEA);
    setText(monitor.DeviceName, output + "\\Monitor0");
    monitor.StateFlags = monitorAttached | (active ? DISPLAY_DEVICE_ACTIVE : 0);

    if (const auto info = parseEdid(edid)) {
        setText(monitor.DeviceID,
                "MONITOR\\" + hardwareId(*info) + "\\" + serialPart(*info) + "\\0000");
        // The base block only: a dock or driver that shows the extension
        // blocks at one time and not at another leaves the monitor the same.
        setText(monitor.DeviceKey,
                "EDID\\" + edidDigest(edid.first(std::min<std::size_t>(edid.size(), 128))));
        setText(monitor.DeviceString,
                info->monitorName.empty() ? genericMonitor : info->monitorName);
    } else {
        // Room for the output name between the fixed parts of DeviceID.
        constexpr std::string_view prefix = "MONITOR\\Default_Monitor\\";
        constexpr std::string_view suffix = "\\0000";
        const std::string_view name = std::string_view(output).substr(
            0, sizeof monitor.DeviceID - 1 - prefix.size() - suffix.size());
        setText(monitor.DeviceID, std::string(prefix) + std::string(name) + std::string(suffix));
        setText(monitor.DeviceKey, output);
        setText(monitor.DeviceString, genericMonitor);
    }
    return monitor;
}
