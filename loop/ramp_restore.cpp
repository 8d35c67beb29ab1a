#include "loop/ramp_restore.h"

#include "tree/active_display.h"

const RestorePhrases preservingPhrases = {
    "Preserving - Current monitor:",
    "Setting back",
    "(Set back gamma ramp - hDC = ",
    "(Failed to set back gamma ramp - hDC = ",
    "Set back linear gamma ramp - hDC = ",
    "(Failed to set back linear gamma ramp - hDC = ",
    "(Set back ",
    "(Failed to set back ",
};

const RestorePhrases changingPhrases = {
    "Changing Profile - Current monitor:",
    "Changing to",
    "(Changed to gamma ramp - hDC = ",
    "(Failed to change to gamma ramp - hDC = ",
    "Changed to linear gamma ramp - hDC = ",
    "(Failed to change to linear gamma ramp - hDC = ",
    "(Changed to ",
    "(Failed to change to ",
};

void restoreRamp(LoopContext& ctx, const ActiveDisplay& d, const DisplayTarget& target,
                 const RestorePhrases& phrases) {
    using Kind = DisplayTarget::Kind;
    if (target.kind == Kind::None)
        return;
    const QString tintName =
        target.kind == Kind::Tint ? ctx.ramps.tintNames[target.tint] : QString();
    // One write group for the whole event, from its title to its outcome.
    LogGroup g = ctx.log.group();
    g.timestamp() << phrases.title;
    g.endl() << d.displayDevice.DeviceID;
    g.endl() << phrases.actionVerb;
    switch (target.kind) {
        case Kind::Profile:
            g << " color profile: " << d.profile;
            break;
        case Kind::Linear:
            g << " linear display calibration";
            break;
        case Kind::Tint:
            g << ' ' << tintName << " tint";
            break;
        case Kind::None:
            break;
    }
    g.endl();
    loadRampIntoDisplay(ctx.display, d.deviceContext, *target.ramp);
    const bool ok = displayHoldsRamp(ctx.display, d.deviceContext, ctx.scratch.readBackTable,
                                     ctx.scratch.readBackRamp, *target.ramp);

    switch (target.kind) {
        case Kind::Profile:
            g << (ok ? phrases.profileDone : phrases.profileFailed);
            break;
        case Kind::Linear:
            g << (ok ? phrases.linearDone : phrases.linearFailed);
            break;
        case Kind::Tint:
            g << (ok ? phrases.tintDone : phrases.tintFailed) << tintName << " tint - hDC = ";
            break;
        case Kind::None:
            break;
    }
    g << static_cast<const void*>(d.deviceContext) << ")\n\n";
}
