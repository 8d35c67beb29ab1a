// The order in which an output's modes are listed. RandR lists an output's
// modes as the server collected them: a mode added later stands at the end,
// away from the other modes of its size, and two RandR modes can read as the
// same display mode once their refresh rates are rounded. Windows lists
// every display mode once, with the modes of one size together; the rest
// of the program relies on that.
#pragma once

#include <vector>

#include "platform/win_types.h"

// `modes` with every display mode (width, height, bits per pixel, flags,
// frequency) kept once, at its first place, and the modes of each size
// moved together, the sizes in the order in which each first appears.
std::vector<DEVMODEA> modesGroupedBySize(const std::vector<DEVMODEA>& modes);
