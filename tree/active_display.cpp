#include "tree/active_display.h"

#include <cstring>

#include "tree/association.h"
#include "tree/display_enumeration.h"
#include "tree/display_records.h"
#include "tree/node_list.h"

namespace {

bool sameOutput(const DISPLAY_DEVICEA& a, const DISPLAY_DEVICEA& b) {
    return std::strncmp(a.DeviceName, b.DeviceName, sizeof a.DeviceName) == 0;
}

}  // namespace

ActiveDisplay::ActiveDisplay() : displayDevice(emptyDisplayDevice()), devMode(emptyDisplayMode()) {}

ActiveDisplay::~ActiveDisplay() {
    nodelist::releaseChain(std::move(nextNode));
}

ActiveDisplayList::ActiveDisplayList(DisplaySystem* contexts)
    : contexts_(contexts),
      displayHead_(std::make_unique<ActiveDisplay>()),
      displayTail_(displayHead_.get()),
      currentDisplay_(displayHead_.get()) {}

ActiveDisplayList::~ActiveDisplayList() {
    Clear();
}

void ActiveDisplayList::Capture(DisplaySystem& system) {
    forEachActiveMonitor(
        system, [&](const DISPLAY_DEVICEA& adapter, const DISPLAY_DEVICEA& monitor) {
            std::unique_ptr<ActiveDisplay> display = newRecord();
            CopyDisplayDevice(display->displayDevice, monitor);
            DEVMODEA current = emptyDisplayMode();
            if (system.enumDisplaySettings(adapter.DeviceName, ENUM_CURRENT_SETTINGS, &current))
                CopyDisplaySettings(display->devMode, current);
            else
                display->devMode = emptyDisplayMode();
            nodelist::append(displayTail_, std::move(display));
        });
    currentDisplay_ = displayHead_.get();
}

void ActiveDisplayList::Clear() {
    std::unique_ptr<ActiveDisplay> chain = nodelist::detachAll(*displayHead_, displayTail_);
    currentDisplay_ = displayHead_.get();
    for (ActiveDisplay* d = chain.get(); d; d = d->nextNode.get()) {
        releaseContext(d->deviceContext);
        d->deviceContext = nullptr;
    }
    // Kept for the next Capture: the watch loop captures and clears a list
    // every pass, and reusing its records spares the heap.
    nodelist::appendChainFront(spare_, std::move(chain));
}

std::unique_ptr<ActiveDisplay> ActiveDisplayList::newRecord() {
    std::unique_ptr<ActiveDisplay> record = nodelist::popFront(spare_);
    if (!record)
        return std::make_unique<ActiveDisplay>();
    // A record as made: no association, no curve, no device context. Its
    // display device and settings are the caller's to overwrite (the copy
    // rules leave only fields that stay zero in every record).
    record->profile.clear();
    record->hasCurve = false;
    record->profileBytes.clear();
    return record;
}

void ActiveDisplayList::ResetCursor() {
    currentDisplay_ = displayHead_.get();
}

bool ActiveDisplayList::NextDisplay() {
    if (!currentDisplay_->nextNode)
        return false;
    currentDisplay_ = currentDisplay_->nextNode.get();
    return true;
}

const ActiveDisplay* ActiveDisplayList::FindDisplay(const DISPLAY_DEVICEA& device) {
    ResetCursor();
    while (NextDisplay())
        if (SameMonitor(currentDisplay_->displayDevice, device))
            return currentDisplay_;
    return nullptr;
}

bool ActiveDisplayList::SameConfiguration(const ActiveDisplayList& other) const {
    const ActiveDisplay* a = displayHead_->nextNode.get();
    const ActiveDisplay* b = other.displayHead_->nextNode.get();
    for (; a && b; a = a->nextNode.get(), b = b->nextNode.get()) {
        if (!SameMonitor(a->displayDevice, b->displayDevice) ||
            !sameOutput(a->displayDevice, b->displayDevice) || !SameMode(a->devMode, b->devMode))
            return false;
    }
    return !a && !b;
}

void ActiveDisplayList::CopyFrom(const ActiveDisplayList& other) {
    if (&other == this) {
        // Copying a list onto itself keeps its records and drops what was
        // resolved for them.
        for (ActiveDisplay* d = displayHead_->nextNode.get(); d; d = d->nextNode.get()) {
            releaseContext(d->deviceContext);
            d->deviceContext = nullptr;
            d->profile.clear();
            d->hasCurve = false;
        }
        ResetCursor();
        return;
    }
    Clear();
    for (const ActiveDisplay* d = other.displayHead_->nextNode.get(); d; d = d->nextNode.get())
        appendCopy(*d);
    ResetCursor();
}

ActiveDisplay* ActiveDisplayList::appendCopy(const ActiveDisplay& source) {
    std::unique_ptr<ActiveDisplay> display = newRecord();
    CopyDisplayDevice(display->displayDevice, source.displayDevice);
    CopyDisplaySettings(display->devMode, source.devMode);
    return nodelist::append(displayTail_, std::move(display));
}

DISPLAY_DEVICEA ActiveDisplayList::CurrentDisplayDevice() const {
    return currentDisplay_->displayDevice;
}

DEVMODEA ActiveDisplayList::CurrentSettings() const {
    return currentDisplay_->devMode;
}

const QString& ActiveDisplayList::CurrentProfile() const {
    return currentDisplay_->profile;
}

const GammaRamp& ActiveDisplayList::CurrentCurve() const {
    return currentDisplay_->curve;
}

bool ActiveDisplayList::CurrentHasCurve() const {
    return currentDisplay_->hasCurve;
}

HDC ActiveDisplayList::CurrentDeviceContext() const {
    return currentDisplay_->deviceContext;
}

void ActiveDisplayList::SetCurrentDeviceContext(HDC deviceContext) {
    if (currentDisplay_->deviceContext != deviceContext)
        releaseContext(currentDisplay_->deviceContext);
    currentDisplay_->deviceContext = deviceContext;
}

void ActiveDisplayList::SetCurrentProfile(const QString& profile) {
    currentDisplay_->profile = profile;
    currentDisplay_->hasCurve = namesProfileFile(profile);
    currentDisplay_->profileBytes.clear();
}

void ActiveDisplayList::SetCurrentProfileBytes(const QByteArray& bytes) {
    currentDisplay_->profileBytes = bytes;
}

void ActiveDisplayList::SetCurrentCurve(const GammaRamp& curve) {
    currentDisplay_->curve = curve;
    currentDisplay_->hasCurve = true;
}

void ActiveDisplayList::SetCurrentCurve(const GammaRamp& curve, int lutBitDepth) {
    SetCurrentCurve(curve);
    if (lutBitDepth != 0)
        clampRampToBitDepth(lutBitDepth, curve, currentDisplay_->curve);
}

void ActiveDisplayList::SetCurrentHasCurve(bool hasCurve) {
    currentDisplay_->hasCurve = hasCurve;
}

int ActiveDisplayList::size() const {
    return nodelist::count(*displayHead_);
}

void ActiveDisplayList::releaseContext(HDC deviceContext) {
    if (deviceContext && contexts_)
        contexts_->deleteDC(deviceContext);
}
