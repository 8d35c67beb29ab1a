// The display tree: every Monitor the program has been shown, under each its
// Resolutions, under each Resolution its Modes with their associations.
//
// Cursors. The Tree has three cursors, `currentMonitor`, `currentResolution`
// and `currentMode`, that nearly every operation works on or moves. A
// sentinel is a valid position. After construction and ResetCursors they
// stand on the Monitor sentinel, its Resolution sentinel and that
// Resolution's Mode sentinel. The cursors belong to the main thread (the main
// window positions them from its selected rows); nothing that runs on
// another thread may use them.
//
// Walking without cursors. monitorHead() and the nodes' `nextNode`,
// `resolutionHead`, `modeHead` and `globalMode` give read-only access in list
// order (the tree file writer walks this way and leaves the cursors alone).
//
// Threads and locks. Only the main thread changes the Tree. The watch loop
// reads it from its own thread through lookupAssociation, which holds the
// Tree's lock for reading and walks with its own positions. Every operation
// that changes nodes (appending, deleting, detection, merging, associating)
// holds the lock for writing while it changes them, so the loop never sees a
// change half-done; slow work (enumerating the system's modes, parsing a
// profile file, releasing discarded nodes, writing to the log) happens
// outside the lock. Code on the main thread reads nodes without the lock.
// The Tree never writes to the log while it holds its lock, and no caller
// may call a Tree operation while holding lock() itself. Associate and
// SetAssociationMode write to the log: their callers must not hold a
// LogGroup around them.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>

#include <QByteArray>
#include <QSize>
#include <QStringList>
#include <QString>

#include "platform/display_system.h"
#include "ramps/gamma_ramp.h"
#include "tree/nodes.h"

struct ActiveDisplay;
class Log;
class QListWidget;

// What Associate does with a profile path whose file gives no curve.
enum class UnreadableProfile {
    Refuse,    // the association is not made (the user's own request)
    KeepText,  // the text is kept without a curve (a file the tree names)
};

// What lookupAssociation found for a display, copied out of the Tree.
struct AssociationLookup {
    // The Tree holds the monitor.
    bool monitorFound = false;
    // The monitor is in global association (the result is its globalMode).
    bool global = false;
    // A Mode applies: the monitor's globalMode, or the Mode of the exact
    // display mode under the Resolution of its size.
    bool modeFound = false;
    // The Mode's association text, and its parsed curve (and the profile's
    // bytes) when hasCurve.
    QString profile;
    bool hasCurve = false;
    GammaRamp curve;
    QByteArray profileBytes;
};

class Tree {
public:
    Tree();
    ~Tree();
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;

    // --- Read-only access ---------------------------------------------------

    const Monitor* monitorHead() const { return monitorHead_.get(); }
    const Monitor* monitorTail() const { return monitorTail_; }
    const Monitor* currentMonitor() const { return currentMonitor_; }
    const Resolution* currentResolution() const { return currentResolution_; }
    const Mode* currentMode() const { return currentMode_; }

    // The lock that guards the nodes against the watch loop's reads (see
    // above). Readers on other threads take it shared.
    std::shared_mutex& lock() const { return lock_; }

    bool IsEmpty() const;
    // `currentMonitor` has no Resolution.
    bool MonitorHasNoResolutions() const;
    // `currentResolution` has no Mode.
    bool ResolutionHasNoModes() const;
    QSize CurrentResolutionSize() const;
    DEVMODEA CurrentModeSettings() const;
    const GammaRamp& CurrentModeCurve() const;

    // --- Cursors -------------------------------------------------------------

    void ResetCursors();
    // Moves to the next Monitor (lower cursors to its list heads); false,
    // with nothing moved, at the end.
    bool NextMonitor();
    // Moves to the next Resolution (currentMode to its head); false at the
    // end.
    bool NextResolution();
    bool NextMode();
    // currentMode becomes currentResolution's Mode sentinel.
    void ResetModeCursor();
    // For a Monitor in global association: currentMode becomes its
    // globalMode; true. False (nothing moves) for any other Monitor.
    bool SelectGlobalMode();
    // The main window's selection seek: ResetCursors, then NextMonitor
    // (monitorRow + 1) times, NextResolution (resolutionRow + 1) times,
    // ResetModeCursor and NextMode (modeRow + 1) times. A row of -1 advances
    // nothing at its level.
    void seekSelection(int monitorRow, int resolutionRow = -1, int modeRow = -1);

    // The first Monitor, walking from the start with NextMonitor, that is
    // the SameMonitor as `device`; the cursors are left on it. Null when
    // none (the cursors are then on the last Monitor).
    const Monitor* FindMonitor(const DISPLAY_DEVICEA& device);
    // Within currentMonitor: the first Resolution of that size, walking with
    // NextResolution; null when none (cursor on the last Resolution).
    const Resolution* FindResolution(int width, int height);
    // Within currentResolution: the first Mode that is the SameMode as
    // `settings`, walking with NextMode; null when none.
    const Mode* FindMode(const DEVMODEA& settings);

    // --- Building ------------------------------------------------------------

    // Appends a Monitor made from `device` (CopyDisplayDevice) with the given
    // OutputDevice text (cut to 127 bytes) at the end; it becomes
    // currentMonitor, its sentinels currentResolution and currentMode.
    const Monitor* AppendMonitor(const DISPLAY_DEVICEA& device, const QByteArray& outputDevice);
    // Appends a Resolution at the end of currentMonitor's list (callers keep
    // the cursor on the last one); it becomes currentResolution and
    // currentMode its Mode sentinel. False, with nothing added, when
    // currentMonitor is the sentinel or in global association.
    bool AppendResolution(int width, int height);
    // Appends a Mode made from `settings` with `association` (no parse; see
    // Associate) at the end of currentResolution's list; it becomes
    // currentMode. False, with nothing added, when currentResolution is a
    // sentinel or the mode's width and height are not the Resolution's.
    bool AppendMode(const DEVMODEA& settings, const QString& association = {});
    // Copies the ramp into currentMode's curve and sets its hasCurve.
    void SetCurrentModeCurve(const GammaRamp& curve);

    // --- Deleting ------------------------------------------------------------
    // A deleted cursor is moved to the sentinel of its list (the lower
    // cursors to that sentinel's heads). The Delete*Current operations return
    // false, with nothing changed, when the cursor is on a sentinel (or, for
    // a Mode, on a globalMode).

    bool DeleteCurrentMode();
    void DeleteAllModes();
    bool DeleteCurrentResolution();
    // currentMode is left on the Resolution sentinel's Mode sentinel.
    void DeleteAllResolutions();
    bool DeleteCurrentMonitor();
    // Empties the Tree; the cursors are reset.
    void DeleteAllMonitors();

    // --- Lists of the main window ----------------------------------------------
    // Each walks its level with the cursor (which ends on the last node) and
    // appends one item per node with its ListItemText.

    void FillMonitorList(QListWidget* list);
    void FillResolutionList(QListWidget* list);
    void FillModeList(QListWidget* list);

    // --- Detection (detection.cpp) ---------------------------------------------

    // Appends a Monitor for every active monitor of `system`, in enumeration
    // order, OutputDevice = its adapter's DeviceString. Mode-specific
    // (`modeSpecific`, the defCPAssocMode setting): with a Resolution per run
    // of equal sizes and a Mode per accepted mode (below 32 bits per pixel
    // and adjacent repeats left out), none associated. Global: with an empty
    // globalMode and no Resolutions. Does not look for Monitors already held;
    // meant for a Tree without Monitors. The cursors end on the last node
    // appended at each level. Returns the number of Monitors appended.
    int DetectAll(DisplaySystem& system, bool modeSpecific);
    // Appends a copy of every Monitor of `detected` that this Tree did not
    // hold before the merge (so a new monitor listed twice comes twice), with
    // its association mode and its Resolutions and Modes, no associations.
    // Monitors held before are not touched. Returns the number appended.
    int MergeDetected(const Tree& detected);
    // For a mode-specific, real currentMonitor that is active now: rebuilds
    // its Resolutions from what its output (the one it is on now) offers,
    // keeping every Resolution that has an associated Mode, whole, where the
    // enumeration first meets its size. Duplicate Resolutions and Modes the
    // monitor held are folded into the first of each first
    // (foldDuplicateResolutions); the association texts that could not be
    // kept are added to `dropped`. False, with nothing changed, when the
    // monitor is not active now (or is the sentinel or global).
    bool DetectResolutions(DisplaySystem& system, QStringList* dropped = nullptr);
    // For a real currentResolution of a monitor that is active now: rebuilds
    // its Modes from what the output offers, keeping every associated Mode
    // object where the enumeration meets it; associated duplicates are
    // folded into the first (foldDuplicateModes, texts not kept into
    // `dropped`). False, with nothing changed, when the monitor is not active
    // now (or the Resolution is a sentinel).
    bool DetectModes(DisplaySystem& system, QStringList* dropped = nullptr);
    // The Mode whose association applies to `display`: FindMonitor, then its
    // globalMode, or FindResolution by the display's size and FindMode by its
    // settings. Null when there is none. Moves the cursors (main thread).
    const Mode* ModeForDisplay(const ActiveDisplay& display);

    // --- Association (association.cpp) -----------------------------------------

    // Associates `text` with currentMode:
    // - not a profile file name (empty or a reserved word): stored, hasCurve
    //   false, true, nothing logged;
    // - a path longer than the system allows (fitsSystemPathLimit): refused,
    //   logged "Refused color profile path longer than the system allows ("
    //   + its length + " characters): " + its first 100 characters +
    //   "...\n\n", false, the Mode unchanged;
    // - a path with a double quote or a line break (which the tree file
    //   cannot hold): refused, logged "Refused color profile path with a
    //   double quote or line break: " + the path with line breaks shown as
    //   \n and \r + "\n\n", false, the Mode unchanged;
    // - a path with a NUL (the system would open the file named by the text
    //   before it): refused, logged "Refused color profile path with a NUL
    //   character: " + the path with the NUL shown as \0, false, the Mode
    //   unchanged;
    // - a path whose file does not parse: "Failed to parse color profile: "
    //   + path + "\n(" + the reason (profileFailureText) + ")\n\n", false;
    //   with UnreadableProfile::Refuse the Mode is unchanged, with KeepText
    //   it stores the text without a curve (hasCurve false), so that a file
    //   that is missing for a while loses nothing;
    // - a path that parses: "Successfully parsed color profile: " + path +
    //   "\n\n", stored with its curve, hasCurve true, true.
    // Log lines carry no timestamp and are flushed.
    bool Associate(const QString& text, Log& log,
                   UnreadableProfile onUnreadable = UnreadableProfile::Refuse);
    // Switches currentMonitor (not the sentinel) between association modes:
    // global: every Resolution and Mode is released with its association, a
    //   new empty globalMode becomes currentMode and, when `text` is given,
    //   is associated with it as Associate does (its result not used);
    // mode-specific: the globalMode is released; the Monitor is left without
    //   Resolutions (a Monitor already mode-specific is left as it is); the
    //   lower cursors go to the Monitor's sentinels.
    // False, with nothing changed, when currentMonitor is the sentinel.
    bool SetAssociationMode(bool global, Log& log,
                            const std::optional<QString>& text = std::nullopt,
                            UnreadableProfile onUnreadable = UnreadableProfile::Refuse);
    // Gives every Mode (and globalMode) whose association text is `path` and
    // that has no curve the curve (and bytes) parsed from that file now.
    // Main thread.
    void RestoreProfileCurve(const QString& path, const GammaRamp& curve,
                             const QByteArray& bytes);

    // --- The watch loop's lookup (tree_lookup.cpp) -----------------------------

    // ModeForDisplay for another thread: holds the lock for reading, walks
    // with its own positions (the cursors are never read or moved), applies
    // the same rules (first match wins) and copies out what it found.
    AssociationLookup lookupAssociation(const DISPLAY_DEVICEA& device,
                                        const DEVMODEA& settings) const;
    AssociationLookup lookupAssociation(const ActiveDisplay& display) const;

private:
    std::unique_lock<std::shared_mutex> writeLock() const {
        return std::unique_lock<std::shared_mutex>(lock_);
    }
    // Lower cursors to the heads of currentMonitor / currentResolution.
    void resetResolutionCursor();
    // Links a chain of detached Monitors at the end; the cursors move to the
    // last node appended at each level. Holds the lock while linking.
    int appendMonitorChain(std::unique_ptr<Monitor> chain);

    mutable std::shared_mutex lock_;
    std::unique_ptr<Monitor> monitorHead_;
    Monitor* monitorTail_;
    Monitor* currentMonitor_;
    Resolution* currentResolution_;
    Mode* currentMode_;
};
