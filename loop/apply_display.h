#pragma once

#include "loop/loop_context.h"

// Loads the association of the display under `activeDisplays.currentDisplay`
// into it at once and logs it. Main thread, with the watch loop stopped; the
// caller has given the display its new profile (and clamped curve). Nothing
// happens when the cursor is on the list's sentinel (FindDisplay found no
// record; the loop may not have applied the configuration yet).
void applyToActiveDisplay(LoopContext& ctx);
