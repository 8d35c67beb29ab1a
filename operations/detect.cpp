#include "operations/detect.h"

#include "operations/selection_log.h"
#include "operations/tree_edit.h"
#include "state/app_state.h"

namespace {

// Duplicates that detection folded together and whose association had to
// give way to the first copy's.
void logDropped(AppState& s, const QStringList& dropped) {
    if (dropped.isEmpty())
        return;
    LogGroup g = s.log.group();
    for (const QString& text : dropped)
        g << "Merged a duplicate entry; its association was dropped: \"" << text << "\"\n";
}

}  // namespace

void detectMonitors(AppState& s) {
    {
        LogGroup g = s.log.group();
        g.timestamp() << "Detect Monitors button pressed.\nDetecting new monitors, resolutions, "
                         "and modes...\n";
    }
    const bool modeSpecific = s.settings.defCPAssocMode;
    if (s.tree.IsEmpty()) {
        s.tree.DetectAll(*s.platform.display, modeSpecific);
    } else {
        Tree detected;
        detected.DetectAll(*s.platform.display, modeSpecific);
        s.tree.MergeDetected(detected);
    }
    if (!s.tree.IsEmpty())
        s.flags.treeLoaded = true;
    saveTreeFile(s);
}

void logDetectResolutionsRequest(AppState& s) {
    LogGroup g = s.log.group();
    g.timestamp() << "Detect Resolutions button pressed.\n";
}

void detectResolutions(AppState& s) {
    {
        LogGroup g = s.log.group();
        g.timestamp() << "Detecting all resolutions at:\n";
        writeSelection(g, s.tree, SelectionDepth::Monitor);
        g << "\n";
    }
    QStringList dropped;
    s.tree.DetectResolutions(*s.platform.display, &dropped);
    logDropped(s, dropped);
    s.log.group() << "Detected all resolutions successfully.\n\n";
    saveTreeFile(s);
}

bool detectModes(AppState& s) {
    {
        LogGroup g = s.log.group();
        g.timestamp() << "Detect Modes button pressed.\nDetecting all modes at:\n";
        writeSelection(g, s.tree, SelectionDepth::Resolution);
        g << "\n";
    }
    QStringList dropped;
    const bool detected = s.tree.DetectModes(*s.platform.display, &dropped);
    logDropped(s, dropped);
    if (!detected) {
        s.log.group() << "Failed to detect modes.\n\n";
        return false;
    }
    s.log.group() << "Detected all modes successfully.\n\n";
    saveTreeFile(s);
    return true;
}

bool currentMonitorIsActive(AppState& s) {
    ActiveDisplayList displays;
    displays.Capture(*s.platform.display);
    return displays.FindDisplay(s.tree.currentMonitor()->displayDevice) != nullptr;
}
