// What the main window tells beside its lists: whether calibrations are
// being kept (its status bar), and which output and serial number a
// monitor of the tree has (the tool tips of the monitor list, so that two
// monitors of one model can be told apart).
#pragma once

#include <QString>
#include <QStringList>

class AppState;

// "Keeping calibrations loaded." while the loop runs; what to do otherwise.
QString loopStateText(const AppState& state);

// One text per Monitor of the tree, in list order: the output it is on now
// (or was found on), and the serial number its identity holds, if any.
QStringList monitorToolTips(AppState& state);
