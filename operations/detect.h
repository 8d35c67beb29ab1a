// Detection from the main window: the monitors of the system, the
// resolutions of the tree's current monitor and the modes of its current
// resolution, each logged and saved. The watch loop goes on meanwhile: the
// tree's lock keeps it from seeing a change half-made.
#pragma once

class AppState;

// "Detect Monitors button pressed." ... : every active monitor the tree does
// not hold yet is added (all of them into an empty tree); the tree is in use
// from then on when it holds a monitor; saved.
void detectMonitors(AppState& state);

// "Detect Resolutions button pressed." (before detectResolutions).
void logDetectResolutionsRequest(AppState& state);
// "Detecting all resolutions at:" the current monitor: its resolutions are
// rebuilt from what it offers now, keeping those with an associated mode
// (nothing changes when it is not connected); saved.
void detectResolutions(AppState& state);
// "Detect Modes button pressed." ... : the current resolution's modes are
// rebuilt, keeping associated ones, and saved. False, with nothing changed
// or saved, when the monitor is not connected.
bool detectModes(AppState& state);

// The tree's current monitor is among the system's active displays now.
bool currentMonitorIsActive(AppState& state);
