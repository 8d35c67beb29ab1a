// The watch loop's lookup: the rules of ModeForDisplay, walked with local
// positions under the Tree's read lock, with the result copied out before
// the lock is released.
#include <mutex>

#include "tree/active_display.h"
#include "tree/display_records.h"
#include "tree/node_list.h"
#include "tree/tree.h"

AssociationLookup Tree::lookupAssociation(const DISPLAY_DEVICEA& device,
                                          const DEVMODEA& settings) const {
    AssociationLookup found;
    std::shared_lock guard(lock_);
    const Monitor* monitor =
        nodelist::findFirst(monitorHead_->nextNode.get(),
                            [&](const Monitor& m) { return SameMonitor(m.displayDevice, device); });
    if (!monitor)
        return found;
    found.monitorFound = true;

    const Mode* mode = nullptr;
    if (monitor->globalAssociation) {
        found.global = true;
        mode = monitor->globalMode.get();
    } else {
        const Resolution* resolution =
            nodelist::findFirst(monitor->resolutionHead->nextNode.get(), [&](const Resolution& r) {
                return r.Matches(static_cast<int>(settings.dmPelsWidth),
                                 static_cast<int>(settings.dmPelsHeight));
            });
        if (resolution)
            mode = nodelist::findFirst(resolution->modeHead->nextNode.get(), [&](const Mode& m) {
                return SameMode(m.devMode, settings);
            });
    }
    if (!mode)
        return found;
    found.modeFound = true;
    found.profile = mode->profile;
    found.hasCurve = mode->hasCurve;
    if (found.hasCurve) {
        found.curve = mode->curve;
        found.profileBytes = mode->profileBytes;
    }
    return found;
}

AssociationLookup Tree::lookupAssociation(const ActiveDisplay& display) const {
    return lookupAssociation(display.displayDevice, display.devMode);
}
