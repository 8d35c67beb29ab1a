// Bringing what the system offers into the Tree: all monitors at once, a
// merge of newly found monitors, and the rebuild of one monitor's
// resolutions or one resolution's modes. The system is asked (the slow part)
// before the Tree's lock is taken; the lock is held only while nodes are
// linked and unlinked, and discarded nodes are released after it.
#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "tree/active_display.h"
#include "tree/display_enumeration.h"
#include "tree/display_records.h"
#include "tree/duplicates.h"
#include "tree/node_list.h"
#include "tree/tree.h"

namespace {

std::unique_ptr<Resolution> newResolutionFor(const DEVMODEA& mode) {
    return std::make_unique<Resolution>(static_cast<int>(mode.dmPelsWidth),
                                        static_cast<int>(mode.dmPelsHeight));
}

// A Resolution per run of equal sizes, a Mode per mode, in the given order.
void appendDetectedModes(Monitor& monitor, const std::vector<DEVMODEA>& modes) {
    Resolution* last = nullptr;
    for (const DEVMODEA& mode : modes) {
        if (!last || !modeHasSize(mode, last->width, last->height))
            last = monitor.appendResolution(newResolutionFor(mode));
        last->appendMode(std::make_unique<Mode>(mode));
    }
}

void copyOutputDevice(Monitor& monitor, const char (&deviceString)[128]) {
    static_assert(sizeof monitor.OutputDevice == sizeof deviceString);
    std::memcpy(monitor.OutputDevice, deviceString, sizeof monitor.OutputDevice);
    monitor.OutputDevice[sizeof monitor.OutputDevice - 1] = '\0';
}

// A detached copy of `source` with its association mode and its nodes, but
// without any association.
std::unique_ptr<Monitor> copyWithoutAssociations(const Monitor& source) {
    auto monitor = std::make_unique<Monitor>(source.displayDevice);
    copyOutputDevice(*monitor, source.OutputDevice);
    if (source.globalAssociation) {
        monitor->globalAssociation = true;
        monitor->globalMode = std::make_unique<Mode>();
        return monitor;
    }
    for (const Resolution* r = source.resolutionHead->nextNode.get(); r; r = r->nextNode.get()) {
        Resolution* copy =
            monitor->appendResolution(std::make_unique<Resolution>(r->width, r->height));
        for (const Mode* m = r->modeHead->nextNode.get(); m; m = m->nextNode.get())
            copy->appendMode(std::make_unique<Mode>(m->devMode));
    }
    return monitor;
}

// The accepted modes of the output `device` is on now, or nothing when it is
// not active now.
std::optional<std::vector<DEVMODEA>> modesOfActiveOutput(DisplaySystem& system,
                                                         const DISPLAY_DEVICEA& device) {
    ActiveDisplayList displays;
    displays.Capture(system);
    const ActiveDisplay* found = displays.FindDisplay(device);
    if (!found)
        return std::nullopt;
    return acceptedModes(system, found->displayDevice.DeviceName);
}

// Moves the nodes of `chain` into `kept` where `keep` holds, else into
// `discarded`, keeping their order.
template <typename Node, typename Predicate>
void sortOut(std::unique_ptr<Node> chain, Predicate keep, std::vector<std::unique_ptr<Node>>& kept,
             std::vector<std::unique_ptr<Node>>& discarded) {
    while (std::unique_ptr<Node> node = nodelist::popFront(chain))
        (keep(*node) ? kept : discarded).push_back(std::move(node));
}

// Takes the first node of `kept` for which `matches` holds out of it.
template <typename Node, typename Predicate>
std::unique_ptr<Node> takeFirst(std::vector<std::unique_ptr<Node>>& kept, Predicate matches) {
    auto it = std::find_if(kept.begin(), kept.end(),
                           [&](const std::unique_ptr<Node>& node) { return matches(*node); });
    if (it == kept.end())
        return nullptr;
    std::unique_ptr<Node> node = std::move(*it);
    kept.erase(it);
    return node;
}

template <typename Node>
void moveAll(std::vector<std::unique_ptr<Node>>& from, std::vector<std::unique_ptr<Node>>& to) {
    for (auto& node : from) to.push_back(std::move(node));
    from.clear();
}

}  // namespace

int Tree::DetectAll(DisplaySystem& system, bool modeSpecific) {
    Monitor staging;
    Monitor* stagingTail = &staging;
    forEachActiveMonitor(system, [&](const DISPLAY_DEVICEA& adapter, const DISPLAY_DEVICEA& found) {
        auto monitor = std::make_unique<Monitor>(found);
        copyOutputDevice(*monitor, adapter.DeviceString);
        if (modeSpecific) {
            appendDetectedModes(*monitor, acceptedModes(system, adapter.DeviceName));
        } else {
            monitor->globalAssociation = true;
            monitor->globalMode = std::make_unique<Mode>();
        }
        nodelist::append(stagingTail, std::move(monitor));
    });
    return appendMonitorChain(nodelist::detachAll(staging, stagingTail));
}

int Tree::MergeDetected(const Tree& detected) {
    // Only the Monitors held before the merge count: the copies are linked
    // in after the walk.
    Monitor staging;
    Monitor* stagingTail = &staging;
    const Monitor* firstHeld = monitorHead_->nextNode.get();
    for (const Monitor* m = detected.monitorHead_->nextNode.get(); m; m = m->nextNode.get()) {
        const bool held = nodelist::findFirst(firstHeld, [&](const Monitor& h) {
            return SameMonitor(h.displayDevice, m->displayDevice);
        });
        if (!held)
            nodelist::append(stagingTail, copyWithoutAssociations(*m));
    }
    return appendMonitorChain(nodelist::detachAll(staging, stagingTail));
}

bool Tree::DetectResolutions(DisplaySystem& system, QStringList* dropped) {
    Monitor* monitor = currentMonitor_;
    if (monitor == monitorHead_.get() || monitor->globalAssociation)
        return false;
    const std::optional<std::vector<DEVMODEA>> offered =
        modesOfActiveOutput(system, monitor->displayDevice);
    if (!offered)
        return false;

    std::vector<std::unique_ptr<Resolution>> discarded;  // released after the lock
    QStringList droppedTexts;
    bool lastWasKept = false;
    {
        auto guard = writeLock();
        std::vector<std::unique_ptr<Resolution>> held =
            nodelist::toVector(nodelist::detachAll(*monitor->resolutionHead, monitor->resolutionTail));
        foldDuplicateResolutions(held, droppedTexts);
        std::vector<std::unique_ptr<Resolution>> kept;
        for (std::unique_ptr<Resolution>& r : held)
            (r->hasAssociatedMode() ? kept : discarded).push_back(std::move(r));
        Resolution* last = nullptr;
        for (const DEVMODEA& mode : *offered) {
            if (last && modeHasSize(mode, last->width, last->height)) {
                if (!lastWasKept)
                    last->appendMode(std::make_unique<Mode>(mode));
                continue;
            }
            std::unique_ptr<Resolution> match = takeFirst(
                kept, [&](const Resolution& r) { return modeHasSize(mode, r.width, r.height); });
            lastWasKept = match != nullptr;
            if (lastWasKept) {
                last = monitor->appendResolution(std::move(match));
            } else {
                last = monitor->appendResolution(newResolutionFor(mode));
                last->appendMode(std::make_unique<Mode>(mode));
            }
        }
        moveAll(kept, discarded);
    }
    if (dropped)
        *dropped << droppedTexts;
    currentResolution_ = monitor->resolutionTail;
    currentMode_ = lastWasKept ? currentResolution_->modeHead.get() : currentResolution_->modeTail;
    return true;
}

bool Tree::DetectModes(DisplaySystem& system, QStringList* dropped) {
    Resolution* resolution = currentResolution_;
    if (resolution == currentMonitor_->resolutionHead.get())
        return false;
    const std::optional<std::vector<DEVMODEA>> offered =
        modesOfActiveOutput(system, currentMonitor_->displayDevice);
    if (!offered)
        return false;

    std::vector<std::unique_ptr<Mode>> discarded;  // released after the lock
    QStringList droppedTexts;
    {
        auto guard = writeLock();
        std::vector<std::unique_ptr<Mode>> kept;
        sortOut(
            nodelist::detachAll(*resolution->modeHead, resolution->modeTail),
            [](const Mode& m) { return !m.profile.isEmpty(); }, kept, discarded);
        foldDuplicateModes(kept, droppedTexts);
        for (const DEVMODEA& mode : *offered) {
            if (!modeHasSize(mode, resolution->width, resolution->height))
                continue;
            std::unique_ptr<Mode> match =
                takeFirst(kept, [&](const Mode& m) { return SameMode(m.devMode, mode); });
            resolution->appendMode(match ? std::move(match) : std::make_unique<Mode>(mode));
        }
        moveAll(kept, discarded);
    }
    if (dropped)
        *dropped << droppedTexts;
    currentMode_ = resolution->modeTail;
    return true;
}

const Mode* Tree::ModeForDisplay(const ActiveDisplay& display) {
    const Monitor* monitor = FindMonitor(display.displayDevice);
    if (!monitor)
        return nullptr;
    if (monitor->globalAssociation)
        return monitor->globalMode.get();
    if (!FindResolution(static_cast<int>(display.devMode.dmPelsWidth),
                        static_cast<int>(display.devMode.dmPelsHeight)))
        return nullptr;
    return FindMode(display.devMode);
}
