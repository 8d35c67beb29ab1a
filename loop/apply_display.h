#pragma once

#include "loop/loop_context.h"

// Loads the association of the display under `activeDisplays.currentDisplay`
// into it at once and logs it. Main thread, with the watch loop stopped; the
// caller has given the display its new profile (and clamped curve).
void applyToActiveDisplay(LoopContext& ctx);
