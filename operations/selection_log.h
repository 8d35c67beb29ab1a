// The log's description of what a window acts on: the tree's current
// monitor, resolution and mode, as the window's operations write them.
#pragma once

class LogGroup;
class Tree;

enum class SelectionDepth { Monitor, Resolution, Mode };

// "Monitor:\n" and the monitor's lines; down to `depth`, then `gap`,
// "Resolution: " and the resolution's line; then "\nMode:\n" and the mode's
// lines. Nothing follows the last node's text.
void writeSelection(LogGroup& g, const Tree& tree, SelectionDepth depth, const char* gap = "\n");

// The monitor's four tree-file lines (no line end after the last).
void writeMonitorTreeLines(LogGroup& g, const Tree& tree);
