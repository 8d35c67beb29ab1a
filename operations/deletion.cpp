#include "operations/deletion.h"

#include <functional>

#include "operations/selection_log.h"
#include "operations/tree_edit.h"
#include "state/app_state.h"
#include "storage/tree_file.h"
#include "tree/display_records.h"

namespace {

// What a deletion writes and does, in the order it happens.
struct Deletion {
    const char* request;  // after a timestamp
    const char* stopLine;
    // The in-use test on the current monitor's display; none: every
    // display is emptied after the save (all monitors are gone).
    std::function<bool(const ActiveDisplay&)> inUse;
    std::function<void(LogGroup&)> describe;
    std::function<void(Tree&)> remove;
    const char* success;
};

void runDeletion(AppState& s, const Deletion& d) {
    {
        LogGroup g = s.log.group();
        g.timestamp() << d.request;
    }
    TreeEdit edit(s, d.stopLine);
    if (d.inUse)
        edit.clearDisplayIf(d.inUse);
    {
        LogGroup g = s.log.group();
        d.describe(g);
    }
    d.remove(s.tree);
    s.log.group() << d.success;
    saveTree(s.files.tree, s.tree, s.log);
    if (!d.inUse)
        edit.clearAllDisplays();
    edit.finish();
}

// The display shows an association and runs at the current resolution.
std::function<bool(const ActiveDisplay&)> showsAssociationAtCurrentResolution(const Tree& tree) {
    return [&tree](const ActiveDisplay& d) {
        const QSize size = tree.CurrentResolutionSize();
        return showsAssociation(d) && int(d.devMode.dmPelsWidth) == size.width() &&
               int(d.devMode.dmPelsHeight) == size.height();
    };
}

}  // namespace

void deleteAllMonitors(AppState& s) {
    runDeletion(s, {"Monitors delete requested.\n\n", "Stopping loop...\n\n", nullptr,
                    [](LogGroup& g) { g << "Deleting all monitors.\n"; },
                    [](Tree& t) { t.DeleteAllMonitors(); },
                    "Deleted all monitors successfully.\n\n"});
}

void deleteAllResolutions(AppState& s) {
    runDeletion(s, {"Resolutions delete requested.\n\n", "Stopping loop...\n\n", showsAssociation,
                    [&s](LogGroup& g) {
                        g << "Deleting all resolutions at:\n";
                        writeSelection(g, s.tree, SelectionDepth::Monitor);
                        g << "\n";
                    },
                    [](Tree& t) { t.DeleteAllResolutions(); },
                    "Deleted all resolutions successfully.\n\n"});
}

void deleteAllModes(AppState& s) {
    runDeletion(s, {"Modes delete requested.\n", "Stopping loop...\n",
                    showsAssociationAtCurrentResolution(s.tree),
                    [&s](LogGroup& g) {
                        g << "Deleting all modes at:\n";
                        writeSelection(g, s.tree, SelectionDepth::Resolution);
                        g << "\n";
                    },
                    [](Tree& t) { t.DeleteAllModes(); }, "Deleted all modes successfully.\n\n"});
}

void deleteCurrentMonitor(AppState& s) {
    runDeletion(s, {"Monitor delete requested.\n", "Stopping loop...\n", showsAssociation,
                    [&s](LogGroup& g) {
                        g << "Deleting ";
                        writeSelection(g, s.tree, SelectionDepth::Monitor);
                        g << "\n";
                    },
                    [](Tree& t) { t.DeleteCurrentMonitor(); },
                    "Successfully deleted monitor.\n\n"});
}

void deleteCurrentResolution(AppState& s) {
    runDeletion(s, {"Resolution delete requested.\n", "Stopping loop...\n",
                    showsAssociationAtCurrentResolution(s.tree),
                    [&s](LogGroup& g) {
                        g << "Deleting resolution at:\n\n";
                        writeSelection(g, s.tree, SelectionDepth::Resolution, "\n\n");
                        g << "\n\n";
                    },
                    [](Tree& t) { t.DeleteCurrentResolution(); },
                    "Successfully deleted resolution.\n\n"});
}

void deleteCurrentMode(AppState& s) {
    runDeletion(s, {"Mode delete requested.\n", "Stopping loop...\n",
                    [&s](const ActiveDisplay& d) {
                        return SameMode(d.devMode, s.tree.currentMode()->devMode);
                    },
                    [&s](LogGroup& g) {
                        g << "Deleting mode at:\n\n";
                        writeSelection(g, s.tree, SelectionDepth::Mode);
                        g << "\n";
                    },
                    [](Tree& t) { t.DeleteCurrentMode(); }, "Successfully deleted mode.\n\n"});
}
