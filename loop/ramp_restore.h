// Putting a display's ramp (back) in place and reporting it: the shape that
// the drift test ("Preserving") and the immediate change ("Changing
// Profile") share. Each has its own phrases; the steps are the same.
#pragma once

#include "loop/display_target.h"
#include "loop/loop_context.h"

struct ActiveDisplay;

struct RestorePhrases {
    const char* title;          // "Preserving - Current monitor:"
    const char* actionVerb;     // "Setting back" / "Changing to"
    const char* profileDone;    // "(Set back gamma ramp - hDC = "
    const char* profileFailed;  // "(Failed to set back gamma ramp - hDC = "
    const char* linearDone;
    const char* linearFailed;
    const char* tintDone;  // "(Set back " + name + " tint - hDC = "
    const char* tintFailed;
};

extern const RestorePhrases preservingPhrases;
extern const RestorePhrases changingPhrases;

// Logs the title, the device ID and the action, loads `target` into d's
// device context, reads it back and logs the outcome.
void restoreRamp(LoopContext& ctx, const ActiveDisplay& d, const DisplayTarget& target,
                 const RestorePhrases& phrases);
