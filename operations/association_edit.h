// Associating a calibration from the main window, and switching a monitor
// between one global association and one per mode, inside the
// stop-and-restart protocol. The tree's cursors stand on what the window
// selected.
#pragma once

#include <QString>

class AppState;

// "Associating profile: " ... : `association` (a profile path, a keyword or
// the empty text) becomes the association of the current mode (the
// monitor's global mode for a global monitor); `associate` false means
// "nothing", logged as "(NOTHING)". The display that shows this mode (or
// this global monitor) takes the new association and, while the loop runs,
// loads it at once ("NULL" loads nothing). Saved. False, with the mode, the
// display and the file as they were, when a profile is refused.
bool associateCurrentMode(AppState& state, const QString& association, bool associate);

// The current monitor keeps one association for every mode: its
// resolutions and modes go with their associations; its display loses its
// association. Saved.
void changeToGlobal(AppState& state);
// "Requested change to Mode-specific at Monitor:" ... : the current
// monitor's global association goes; when the monitor is connected its
// resolutions are detected at once. Saved. True when it was connected.
bool changeToModeSpecific(AppState& state);
