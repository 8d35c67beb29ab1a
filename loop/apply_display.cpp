#include "loop/apply_display.h"

#include "loop/display_target.h"
#include "loop/profile_publication.h"
#include "loop/ramp_restore.h"
#include "tree/active_display.h"

void applyToActiveDisplay(LoopContext& ctx) {
    // On the list's sentinel there is no display to load into.
    if (ctx.activeDisplays.currentDisplay() == ctx.activeDisplays.displayHead())
        return;
    const ActiveDisplay& d = *ctx.activeDisplays.currentDisplay();
    const bool linearByDefault = ctx.settings.loadLinearCurveByDefault.load();
    restoreRamp(ctx, d, changeTarget(d, linearByDefault, ctx.ramps), changingPhrases);
    publishShownProfile(ctx.display, d);
}
