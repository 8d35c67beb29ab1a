// What a display system reports for one output, and the tree-file lines
// that name it: for end-to-end tests that write a "Tree.txt" for the
// monitors of a real X server.
#pragma once

#include <vector>

#include <QByteArray>

#include "platform/display_system.h"

struct OutputDescription {
    DISPLAY_DEVICEA monitor{};
    DEVMODEA current{};
    std::vector<DEVMODEA> modes;
};

// The monitor, current mode and modes of the output `name`; false when it
// has no monitor or no current mode.
bool describeOutput(DisplaySystem& system, const char* name, OutputDescription& out);

// "<Monitor>" and the four monitor lines (the output device text given).
QByteArray treeMonitorLines(const OutputDescription& o, const QByteArray& outputDevice);
// A "<Mode>" block with its association.
QByteArray treeModeLines(const DEVMODEA& m, const QByteArray& association);
