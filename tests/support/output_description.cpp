#include "output_description.h"

bool describeOutput(DisplaySystem& system, const char* name, OutputDescription& out) {
    if (!system.enumDisplayDevices(name, 0, &out.monitor))
        return false;
    if (!system.enumDisplaySettings(name, ENUM_CURRENT_SETTINGS, &out.current))
        return false;
    DEVMODEA m{};
    for (DWORD k = 0; system.enumDisplaySettings(name, k, &m); ++k) out.modes.push_back(m);
    return true;
}

QByteArray treeMonitorLines(const OutputDescription& o, const QByteArray& outputDevice) {
    return QByteArray("<Monitor>\n") + o.monitor.DeviceID + "\n" + o.monitor.DeviceKey + "\n" +
           o.monitor.DeviceString + "\n" + outputDevice + "\n";
}

QByteArray treeModeLines(const DEVMODEA& m, const QByteArray& association) {
    QByteArray lines = "<Mode>\n" + QByteArray::number(m.dmBitsPerPel) + "\n" +
                       QByteArray::number(m.dmDisplayFlags) + "\n" +
                       QByteArray::number(m.dmDisplayFrequency) + "\n";
    if (!association.isEmpty())
        lines += "\"" + association + "\"";
    return lines + "\n</Mode>\n";
}
