// Deleting from the tree at a window's request, inside the stop-and-restart
// protocol: all monitors, all resolutions of the current monitor, all modes
// of the current resolution (the "Delete All" buttons), and the current
// monitor, resolution or mode alone (the lists' context menus). Each logs
// the request, what it deletes and the outcome, and saves the tree. A
// display that showed what was deleted loses its association and, when
// nothing associated means linear, gets the linear ramp before the loop runs
// again.
#pragma once

class AppState;

void deleteAllMonitors(AppState& state);
void deleteAllResolutions(AppState& state);
void deleteAllModes(AppState& state);

void deleteCurrentMonitor(AppState& state);
void deleteCurrentResolution(AppState& state);
void deleteCurrentMode(AppState& state);
