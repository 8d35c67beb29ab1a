#include "tree/tree.h"

#include <QListWidget>

#include "tree/display_records.h"
#include "tree/node_list.h"

Tree::Tree()
    : monitorHead_(std::make_unique<Monitor>()),
      monitorTail_(monitorHead_.get()),
      currentMonitor_(monitorHead_.get()),
      currentResolution_(monitorHead_->resolutionHead.get()),
      currentMode_(currentResolution_->modeHead.get()) {}

Tree::~Tree() {
    nodelist::releaseChain(nodelist::detachAll(*monitorHead_, monitorTail_));
}

bool Tree::IsEmpty() const {
    return monitorTail_ == monitorHead_.get();
}

bool Tree::MonitorHasNoResolutions() const {
    return currentMonitor_->resolutionTail == currentMonitor_->resolutionHead.get();
}

bool Tree::ResolutionHasNoModes() const {
    return currentResolution_->modeTail == currentResolution_->modeHead.get();
}

QSize Tree::CurrentResolutionSize() const {
    return QSize(currentResolution_->width, currentResolution_->height);
}

DEVMODEA Tree::CurrentModeSettings() const {
    return currentMode_->devMode;
}

const GammaRamp& Tree::CurrentModeCurve() const {
    return currentMode_->curve;
}

void Tree::resetResolutionCursor() {
    currentResolution_ = currentMonitor_->resolutionHead.get();
    currentMode_ = currentResolution_->modeHead.get();
}

void Tree::ResetCursors() {
    currentMonitor_ = monitorHead_.get();
    resetResolutionCursor();
}

bool Tree::NextMonitor() {
    if (!currentMonitor_->nextNode)
        return false;
    currentMonitor_ = currentMonitor_->nextNode.get();
    resetResolutionCursor();
    return true;
}

bool Tree::NextResolution() {
    if (!currentResolution_->nextNode)
        return false;
    currentResolution_ = currentResolution_->nextNode.get();
    currentMode_ = currentResolution_->modeHead.get();
    return true;
}

bool Tree::NextMode() {
    if (!currentMode_->nextNode)
        return false;
    currentMode_ = currentMode_->nextNode.get();
    return true;
}

void Tree::ResetModeCursor() {
    currentMode_ = currentResolution_->modeHead.get();
}

bool Tree::SelectGlobalMode() {
    if (!currentMonitor_->globalAssociation || !currentMonitor_->globalMode)
        return false;
    currentMode_ = currentMonitor_->globalMode.get();
    return true;
}

void Tree::seekSelection(int monitorRow, int resolutionRow, int modeRow) {
    ResetCursors();
    for (int i = 0; i <= monitorRow; ++i) NextMonitor();
    for (int i = 0; i <= resolutionRow; ++i) NextResolution();
    ResetModeCursor();
    for (int i = 0; i <= modeRow; ++i) NextMode();
}

const Monitor* Tree::FindMonitor(const DISPLAY_DEVICEA& device) {
    ResetCursors();
    while (NextMonitor())
        if (SameMonitor(currentMonitor_->displayDevice, device))
            return currentMonitor_;
    return nullptr;
}

const Resolution* Tree::FindResolution(int width, int height) {
    resetResolutionCursor();
    while (NextResolution())
        if (currentResolution_->Matches(width, height))
            return currentResolution_;
    return nullptr;
}

const Mode* Tree::FindMode(const DEVMODEA& settings) {
    ResetModeCursor();
    while (NextMode())
        if (SameMode(currentMode_->devMode, settings))
            return currentMode_;
    return nullptr;
}

const Monitor* Tree::AppendMonitor(const DISPLAY_DEVICEA& device, const QByteArray& outputDevice) {
    auto monitor = std::make_unique<Monitor>(device);
    monitor->setOutputDevice(outputDevice);
    appendMonitorChain(std::move(monitor));
    return currentMonitor_;
}

int Tree::appendMonitorChain(std::unique_ptr<Monitor> chain) {
    if (!chain)
        return 0;
    const int appended = nodelist::chainLength(chain.get());
    {
        auto guard = writeLock();
        nodelist::appendChain(monitorTail_, std::move(chain));
    }
    currentMonitor_ = monitorTail_;
    currentResolution_ = currentMonitor_->resolutionTail;
    currentMode_ = currentMonitor_->globalMode ? currentMonitor_->globalMode.get()
                                               : currentResolution_->modeTail;
    return appended;
}

bool Tree::AppendResolution(int width, int height) {
    if (currentMonitor_ == monitorHead_.get() || currentMonitor_->globalAssociation)
        return false;
    auto resolution = std::make_unique<Resolution>(width, height);
    {
        auto guard = writeLock();
        currentResolution_ = currentMonitor_->appendResolution(std::move(resolution));
    }
    currentMode_ = currentResolution_->modeHead.get();
    return true;
}

bool Tree::AppendMode(const DEVMODEA& settings, const QString& association) {
    if (currentResolution_ == currentMonitor_->resolutionHead.get())
        return false;
    if (!modeHasSize(settings, currentResolution_->width, currentResolution_->height))
        return false;
    auto mode = std::make_unique<Mode>(settings, association);
    auto guard = writeLock();
    currentMode_ = currentResolution_->appendMode(std::move(mode));
    return true;
}

void Tree::SetCurrentModeCurve(const GammaRamp& curve) {
    auto guard = writeLock();
    currentMode_->curve = curve;
    currentMode_->hasCurve = true;
}

bool Tree::DeleteCurrentMode() {
    std::unique_ptr<Mode> removed;
    {
        auto guard = writeLock();
        removed = nodelist::unlink(*currentResolution_->modeHead, currentResolution_->modeTail,
                                   currentMode_);
    }
    if (!removed)
        return false;
    ResetModeCursor();
    return true;
}

void Tree::DeleteAllModes() {
    std::unique_ptr<Mode> removed;
    {
        auto guard = writeLock();
        removed = nodelist::detachAll(*currentResolution_->modeHead, currentResolution_->modeTail);
    }
    ResetModeCursor();
    nodelist::releaseChain(std::move(removed));
}

bool Tree::DeleteCurrentResolution() {
    std::unique_ptr<Resolution> removed;
    {
        auto guard = writeLock();
        removed = nodelist::unlink(*currentMonitor_->resolutionHead,
                                   currentMonitor_->resolutionTail, currentResolution_);
    }
    if (!removed)
        return false;
    resetResolutionCursor();
    return true;
}

void Tree::DeleteAllResolutions() {
    std::unique_ptr<Resolution> removed;
    {
        auto guard = writeLock();
        removed =
            nodelist::detachAll(*currentMonitor_->resolutionHead, currentMonitor_->resolutionTail);
    }
    resetResolutionCursor();
    nodelist::releaseChain(std::move(removed));
}

bool Tree::DeleteCurrentMonitor() {
    std::unique_ptr<Monitor> removed;
    {
        auto guard = writeLock();
        removed = nodelist::unlink(*monitorHead_, monitorTail_, currentMonitor_);
    }
    if (!removed)
        return false;
    ResetCursors();
    return true;
}

void Tree::DeleteAllMonitors() {
    std::unique_ptr<Monitor> removed;
    {
        auto guard = writeLock();
        removed = nodelist::detachAll(*monitorHead_, monitorTail_);
    }
    ResetCursors();
    nodelist::releaseChain(std::move(removed));
}

namespace {

void addItem(QListWidget* list, const QString& text) {
    if (list)
        list->insertItem(list->count(), text);
}

}  // namespace

void Tree::FillMonitorList(QListWidget* list) {
    ResetCursors();
    while (NextMonitor()) addItem(list, currentMonitor_->ListItemText());
}

void Tree::FillResolutionList(QListWidget* list) {
    resetResolutionCursor();
    while (NextResolution()) addItem(list, currentResolution_->ListItemText());
}

void Tree::FillModeList(QListWidget* list) {
    ResetModeCursor();
    while (NextMode()) addItem(list, currentMode_->ListItemText());
}
