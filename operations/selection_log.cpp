#include "operations/selection_log.h"

#include <QByteArray>

#include "core/log.h"
#include "tree/tree.h"

void writeSelection(LogGroup& g, const Tree& tree, SelectionDepth depth, const char* gap) {
    g << "Monitor:\n";
    tree.currentMonitor()->WriteLog(g);
    if (depth == SelectionDepth::Monitor)
        return;
    g << gap << "Resolution: ";
    tree.currentResolution()->WriteLog(g);
    if (depth == SelectionDepth::Resolution)
        return;
    g << "\nMode:\n";
    tree.currentMode()->WriteLog(g);
}

void writeMonitorTreeLines(LogGroup& g, const Tree& tree) {
    QByteArray lines;
    tree.currentMonitor()->WriteTreeLines(lines);
    g << QString::fromLocal8Bit(lines);
}
