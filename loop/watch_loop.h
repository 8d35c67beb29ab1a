// The watch loop: every `pollingPeriod` milliseconds it takes a snapshot of
// the active displays; when the configuration differs from the one it last
// applied, it loads what the tree associates with every display; otherwise,
// with `lockLoadedProfiles`, it sets back every ramp that drifted.
#pragma once

#include "loop/loop_context.h"
#include "loop/stop_signal.h"
#include "tree/active_display.h"

class WatchLoop {
public:
    WatchLoop(LoopContext& ctx, StopSignal& stop);

    // "Looping...", then passes with their pause until a stop is requested.
    void run();

    // One pass. Returns false when a stop request cut it short; the rest of
    // the pass is then left undone.
    bool runPass();

private:
    bool applyNewConfiguration();
    bool applyToDisplay(const ActiveDisplay& d);
    bool setBackDriftedRamps();
    // Loads `ramp` (after the linear ramp when `linearFirst`), reads it back
    // and tells whether the display holds it now.
    bool loadAndConfirm(const ActiveDisplay& d, const GammaRamp& ramp, bool linearFirst);

    LoopContext& ctx_;
    StopSignal& stop_;
    ActiveDisplayList snapshot_;
};
