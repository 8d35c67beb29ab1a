// Which ramp a display ought to hold, by its association.
#pragma once

#include <QString>

#include "ramps/gamma_ramp.h"

struct ActiveDisplay;

struct DisplayTarget {
    enum class Kind { None, Profile, Linear, Tint };
    Kind kind = Kind::None;
    int tint = -1;                    // index into the tints for Kind::Tint
    const GammaRamp* ramp = nullptr;  // what is loaded; null for Kind::None
};

// The ramp the drift test keeps in place: none for "NULL"; the display's
// curve when it has one; linear for "LINEAR"; the tint of that name; for
// anything else linear when `linearByDefault`, otherwise none.
DisplayTarget driftTarget(const ActiveDisplay& d, bool linearByDefault, const FixedRamps& ramps);

// The ramp an immediate change loads: the curve; linear for "LINEAR"; a
// tint; for the empty association linear when `linearByDefault`; none for
// anything else ("NULL", a profile path without curve).
DisplayTarget changeTarget(const ActiveDisplay& d, bool linearByDefault, const FixedRamps& ramps);
