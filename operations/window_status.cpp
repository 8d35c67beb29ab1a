#include "operations/window_status.h"

#include "state/app_state.h"
#include "tree/display_records.h"

namespace {

// The serial number in a monitor's DeviceID ("MONITOR\ABC1234\serial\0000"
// from an EDID); empty where the identity holds none (no EDID, or the
// system's class identifier in its place).
QString serialOf(const DISPLAY_DEVICEA& device) {
    const QStringList parts = fieldText(device.DeviceID).split(QLatin1Char('\\'));
    if (parts.size() < 4 || parts[1] == QLatin1String("Default_Monitor"))
        return {};
    const QString serial = parts[2];
    if (serial.isEmpty() || serial == QLatin1String("0") || serial.startsWith(QLatin1Char('{')))
        return {};
    return serial;
}

}  // namespace

QString loopStateText(const AppState& state) {
    if (state.tree.IsEmpty())
        return QStringLiteral("No monitors yet: press Detect above the monitor list to find them.");
    if (state.flags.loopRunning)
        return QStringLiteral("Keeping calibrations loaded.");
    return QStringLiteral("Stopped: File \u2192 Start keeps calibrations loaded.");
}

QStringList monitorToolTips(AppState& state) {
    ActiveDisplayList active;
    active.Capture(*state.platform.display);
    QStringList tips;
    for (const Monitor* m = state.tree.monitorHead()->nextNode.get(); m; m = m->nextNode.get()) {
        QStringList lines;
        const ActiveDisplay* d = active.FindDisplay(m->displayDevice);
        const QString stored = fieldText(m->displayDevice.DeviceName);
        if (d)
            lines << QStringLiteral("Output: ") + fieldText(d->displayDevice.DeviceName);
        else if (!stored.isEmpty())
            lines << QStringLiteral("Output: ") + stored + QStringLiteral(" (not active now)");
        else
            lines << QStringLiteral("Not active now");
        if (const QString serial = serialOf(m->displayDevice); !serial.isEmpty())
            lines << QStringLiteral("Serial number: ") + serial;
        tips << lines.join(QLatin1Char('\n'));
    }
    return tips;
}
