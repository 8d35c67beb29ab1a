#include "loop/display_target.h"

#include "tree/active_display.h"

namespace {

DisplayTarget linear(const FixedRamps& ramps) {
    return {DisplayTarget::Kind::Linear, -1, &ramps.linearRamp};
}

DisplayTarget tint(const FixedRamps& ramps, int k) {
    return {DisplayTarget::Kind::Tint, k, &ramps.tintRamps[k]};
}

}  // namespace

DisplayTarget driftTarget(const ActiveDisplay& d, bool linearByDefault, const FixedRamps& ramps) {
    if (d.profile == QLatin1String("NULL"))
        return {};
    if (d.hasCurve)
        return {DisplayTarget::Kind::Profile, -1, &d.curve};
    if (d.profile == QLatin1String("LINEAR"))
        return linear(ramps);
    if (const int k = ramps.tintIndex(d.profile); k >= 0)
        return tint(ramps, k);
    return linearByDefault ? linear(ramps) : DisplayTarget{};
}

DisplayTarget changeTarget(const ActiveDisplay& d, bool linearByDefault, const FixedRamps& ramps) {
    if (d.hasCurve)
        return {DisplayTarget::Kind::Profile, -1, &d.curve};
    if (d.profile == QLatin1String("LINEAR"))
        return linear(ramps);
    if (!d.profile.isEmpty()) {
        const int k = ramps.tintIndex(d.profile);
        return k >= 0 ? tint(ramps, k) : DisplayTarget{};
    }
    return linearByDefault ? linear(ramps) : DisplayTarget{};
}
