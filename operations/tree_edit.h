// The stop-and-restart protocol around every edit that a window makes to the
// tree or to the active displays: the watch loop is stopped first (when it
// runs), a display that showed what the edit removes is emptied, and at the
// end that display gets what an empty association means and the loop runs
// again.
//
//     TreeEdit edit(state, "Stopping loop...\n\n");
//     edit.clearDisplayIf([&](const ActiveDisplay& d) { return !d.profile.isEmpty(); });
//     ... change the tree, log, save ...
//     edit.finish();   // or at the end of the scope
//
// No caller may hold a LogGroup while it makes, clears or finishes an edit.
#pragma once

#include <functional>

#include "loop/loop_control.h"

class AppState;
struct ActiveDisplay;

class TreeEdit {
public:
    // When the loop thread runs: writes `stopLine` (after a timestamp when
    // `timestamped`) and stops it.
    TreeEdit(AppState& state, const char* stopLine, bool timestamped = false);
    ~TreeEdit();
    TreeEdit(const TreeEdit&) = delete;
    TreeEdit& operator=(const TreeEdit&) = delete;

    // The loop was running and is stopped for the edit.
    bool loopStopped() const { return pause_.wasRunning(); }

    // The in-use test: the active display of the tree's current monitor,
    // when there is one and `inUse` holds for it, loses its association
    // (and keeps the active displays' cursor), whether or not the loop runs,
    // so that a later start never sets back what was removed.
    void clearDisplayIf(const std::function<bool(const ActiveDisplay&)>& inUse);
    // Every active display with an association loses it; when the loop was
    // stopped for the edit and nothing associated means linear, each gets
    // the linear ramp at once, one after the other.
    void clearAllDisplays();
    // When the loop was stopped for the edit, the display found by the
    // in-use test gets the linear ramp (when that is what nothing associated
    // means); then the loop runs again with "Restarting loop...\n". Runs
    // once; the destructor calls it.
    void finish();

private:
    AppState& state_;
    LoopControl::LoopPause pause_;
    bool displayCleared_ = false;
    bool finished_ = false;
};

// The active display that shows the tree's current monitor, found in the
// active displays (whose cursor is left on it), or null.
const ActiveDisplay* activeDisplayOfCurrentMonitor(AppState& state);

// The in-use test of the edits that take associations away: the display
// shows one (a profile, a tint, "LINEAR" or "NULL").
bool showsAssociation(const ActiveDisplay& d);

// Saves the tree to its file, logged: the end of every edit of the tree.
void saveTreeFile(AppState& state);
