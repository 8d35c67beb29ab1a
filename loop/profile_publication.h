// Telling the colour-managed programs of the system which profile a display
// shows, after the loop or a window loaded something into it: the profile
// whose curve it holds, or none. "NULL" leaves the display alone, and what
// was published for it with it.
#pragma once

class ActiveDisplayList;
class DisplaySystem;
struct ActiveDisplay;

void publishShownProfile(DisplaySystem& system, const ActiveDisplay& d);

// Takes back what was published for the outputs of `applied` that `now`
// no longer shows (a monitor detached or moved to another output).
void withdrawFromOutputsGone(DisplaySystem& system, const ActiveDisplayList& applied,
                             const ActiveDisplayList& now);
