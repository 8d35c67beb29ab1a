#include "loop/profile_publication.h"

#include <cstring>

#include "tree/active_display.h"

void publishShownProfile(DisplaySystem& system, const ActiveDisplay& d) {
    if (d.profile == QLatin1String("NULL"))
        return;
    const char* output = d.displayDevice.DeviceName;
    if (d.hasCurve && !d.profileBytes.isEmpty()) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(d.profileBytes.constData());
        system.publishProfile(output, {bytes, static_cast<std::size_t>(d.profileBytes.size())});
    } else {
        system.withdrawProfile(output);
    }
}

void withdrawFromOutputsGone(DisplaySystem& system, const ActiveDisplayList& applied,
                             const ActiveDisplayList& now) {
    const auto shown = [&](const char* output) {
        for (const ActiveDisplay* d = now.displayHead()->nextNode.get(); d; d = d->nextNode.get())
            if (std::strncmp(d->displayDevice.DeviceName, output, sizeof d->displayDevice.DeviceName) == 0)
                return true;
        return false;
    };
    for (const ActiveDisplay* d = applied.displayHead()->nextNode.get(); d; d = d->nextNode.get())
        if (!shown(d->displayDevice.DeviceName))
            system.withdrawProfile(d->displayDevice.DeviceName);
}
