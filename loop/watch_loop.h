// The watch loop: every `pollingPeriod` milliseconds it takes a snapshot of
// the active displays; when the configuration differs from the one it last
// applied, it loads what the tree associates with every display; otherwise,
// with `lockLoadedProfiles`, it sets back every ramp that drifted. A change
// the display system announces ends the pause at once: the pass comes
// without waiting for the period, and announcements made during a pass
// bring one more pass after it.
#pragma once

#include <optional>
#include <vector>

#include "loop/display_target.h"

#include "loop/loop_context.h"
#include "loop/stop_signal.h"
#include "tree/active_display.h"

class WatchLoop {
public:
    // The shortest pause between two passes, whatever the polling period
    // says (a field emptied to 0 included): changes of the displays are
    // announced, so passes back to back would only burn a core. The
    // settings keep what the user typed.
    static constexpr int minimumPause = 50;
    static int pauseFor(int pollingPeriod);

    WatchLoop(LoopContext& ctx, StopSignal& stop);

    // "Looping...", then passes with their pause until a stop is requested.
    // The pause ends early when the display system announces a change.
    void run();

    // One pass. Returns false when a stop request cut it short; the rest of
    // the pass is then left undone.
    bool runPass();

private:
    bool applyNewConfiguration();
    // The change procedure for one display: a new device context (`opened`
    // when the caller has made it already), the association from the tree,
    // the load.
    bool applyToDisplay(const ActiveDisplay& d, std::optional<HDC> opened = std::nullopt);
    // A pass without a change: every display whose device context could not
    // be made gets a new one and its association; with `lockLoadedProfiles`
    // every other display's drifted ramp is set back.
    bool lookAfterDisplays();
    // A new device context for d, whose last one could not be made. While
    // the system still gives none, nothing is logged (the failure was, when
    // the configuration was applied); once it gives one, the display is
    // applied as the change procedure would.
    bool retryDeviceContext(const ActiveDisplay& d);
    // Loads `ramp` (after the linear ramp when `linearFirst`), reads it back
    // and tells whether the display holds it now.
    bool loadAndConfirm(const ActiveDisplay& d, const GammaRamp& ramp, bool linearFirst);

    LoopContext& ctx_;
    StopSignal& stop_;
    ActiveDisplayList snapshot_;
    // The drift test's displays of a pass and their read-backs, kept from
    // pass to pass so that a pass allocates nothing.
    struct DriftCheck {
        const ActiveDisplay* display;
        DisplayTarget target;
    };
    std::vector<DriftCheck> drift_;
    std::vector<GammaTable768> driftTables_;
    std::vector<GammaRead> reads_;
};
