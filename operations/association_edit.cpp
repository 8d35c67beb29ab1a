#include "operations/association_edit.h"

#include "loop/apply_display.h"
#include "operations/detect.h"
#include "operations/selection_log.h"
#include "operations/tree_edit.h"
#include "state/app_state.h"
#include "tree/association.h"
#include "tree/display_records.h"

namespace {

void logRequest(AppState& s, const QString& association, bool associate) {
    LogGroup g = s.log.group();
    g.timestamp() << "Associating profile: ";
    if (associate)
        g << "\"" << association << "\"";
    else
        g << "(NOTHING)";
    if (s.tree.currentMonitor()->globalAssociation) {
        g << " at ";
        writeSelection(g, s.tree, SelectionDepth::Monitor);
    } else {
        g << " at:\n\n";
        writeSelection(g, s.tree, SelectionDepth::Mode);
    }
    g << "\n";
}

bool displayShowsCurrentMode(AppState& s, const ActiveDisplay& d) {
    return s.tree.currentMonitor()->globalAssociation ||
           SameMode(d.devMode, s.tree.currentMode()->devMode);
}

}  // namespace

bool associateCurrentMode(AppState& s, const QString& association, bool associate) {
    logRequest(s, association, associate);
    TreeEdit edit(s, "Stopping loop...\n", true);
    if (!s.tree.Associate(associate ? association : QString(), s.log))
        return false;
    if (associate)
        s.log.group() << "\n";

    // The display that shows this mode takes the association with its curve
    // (clamped as the loop would), also while the loop is stopped, so that
    // the next start compares against what is associated now.
    const Mode& mode = *s.tree.currentMode();
    const ActiveDisplay* d = activeDisplayOfCurrentMonitor(s);
    const bool shown = d && displayShowsCurrentMode(s, *d);
    if (shown)
        handAssociationToDisplay(s.activeDisplays, mode, s.settings.LUTBitDepth);
    if (shown && edit.loopStopped() && mode.profile != QLatin1String("NULL"))
        applyToActiveDisplay(s.loopContext);
    saveTreeFile(s);
    return true;
}

void changeToGlobal(AppState& s) {
    TreeEdit edit(s, "Stopping loop...\n");
    s.tree.SetAssociationMode(true, s.log);
    edit.clearDisplayIf(showsAssociation);
    saveTreeFile(s);
}

bool changeToModeSpecific(AppState& s) {
    {
        LogGroup g = s.log.group();
        g.timestamp() << "Requested change to Mode-specific at Monitor:\n";
        writeMonitorTreeLines(g, s.tree);
        g << "\n";
    }
    TreeEdit edit(s, "Stopping loop...\n");
    s.tree.SetAssociationMode(false, s.log);
    edit.clearDisplayIf(showsAssociation);
    const bool active = currentMonitorIsActive(s);
    if (active)
        detectResolutions(s);
    else
        saveTreeFile(s);
    return active;
}
