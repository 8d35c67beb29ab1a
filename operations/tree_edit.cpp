#include "operations/tree_edit.h"

#include "loop/apply_display.h"
#include "state/app_state.h"
#include "storage/tree_file.h"

TreeEdit::TreeEdit(AppState& state, const char* stopLine, bool timestamped)
    : state_(state), pause_(state.loopControl->pauseLoop(stopLine, timestamped)) {}

TreeEdit::~TreeEdit() {
    finish();
}

const ActiveDisplay* activeDisplayOfCurrentMonitor(AppState& state) {
    return state.activeDisplays.FindDisplay(state.tree.currentMonitor()->displayDevice);
}

bool showsAssociation(const ActiveDisplay& d) {
    return !d.profile.isEmpty();
}

void saveTreeFile(AppState& state) {
    saveTree(state.files.tree, state.tree, state.log);
}

void TreeEdit::clearDisplayIf(const std::function<bool(const ActiveDisplay&)>& inUse) {
    // Also while the loop is stopped by the user: the next start compares
    // against what is associated now, and must not set back what was
    // removed.
    const ActiveDisplay* d = activeDisplayOfCurrentMonitor(state_);
    if (d && inUse(*d)) {
        state_.activeDisplays.SetCurrentProfile(QString());
        displayCleared_ = true;
    }
}

void TreeEdit::clearAllDisplays() {
    ActiveDisplayList& displays = state_.activeDisplays;
    displays.ResetCursor();
    while (displays.NextDisplay()) {
        if (displays.CurrentProfile().isEmpty())
            continue;
        displays.SetCurrentProfile(QString());
        if (loopStopped() && state_.settings.loadLinearCurveByDefault)
            applyToActiveDisplay(state_.loopContext);
    }
}

void TreeEdit::finish() {
    if (finished_)
        return;
    finished_ = true;
    if (displayCleared_ && loopStopped() && state_.settings.loadLinearCurveByDefault)
        applyToActiveDisplay(state_.loopContext);
    pause_.resume();
}
