// Gamma ramps: what the program loads into a display. Three curves of 256
// unsigned 16-bit entries, one per channel; entry i is the output level for
// input level i (0 black, 65535 full).
#pragma once

#include <array>
#include <cstdint>

#include <QString>

#include "platform/display_system.h"

struct GammaRamp {
    std::array<std::uint16_t, 256> red{};
    std::array<std::uint16_t, 256> green{};
    std::array<std::uint16_t, 256> blue{};

    std::array<std::uint16_t, 256>& channel(int c) { return c == 0 ? red : c == 1 ? green : blue; }
    const std::array<std::uint16_t, 256>& channel(int c) const {
        return c == 0 ? red : c == 1 ? green : blue;
    }
};

// The contiguous layout the display calls take: red, then green, then blue.
using DeviceGammaTable = GammaTable768;

constexpr int tintCount = 6;

// The ramps the program carries from start to end: the linear ramp and the
// six tints with their names, index-aligned.
struct FixedRamps {
    GammaRamp linearRamp;
    std::array<GammaRamp, tintCount> tintRamps;
    std::array<QString, tintCount> tintNames;

    // Position of `name` among the tint names (exact, case-sensitive), or -1.
    int tintIndex(const QString& name) const;
};

// Entry i = i x 257 in all three channels.
GammaRamp makeLinearRamp();
// Fills the linear ramp, the tints in the order RED, GREEN, BLUE, YELLOW,
// CYAN, MAGENTA, and their names.
void buildRamps(FixedRamps& ramps);

void rampToTable(const GammaRamp& ramp, DeviceGammaTable& table);
void rampFromTable(const DeviceGammaTable& table, GammaRamp& ramp);
bool rampsEqual(const GammaRamp& a, const GammaRamp& b);
// rampsEqual of `ramp` and the ramp `table` converts into, without the
// conversion.
bool tableHoldsRamp(const DeviceGammaTable& table, const GammaRamp& ramp);

// Depth 10 clears the six lowest bits of every entry, depth 8 the eight
// lowest; any other depth writes nothing. `source` is never changed.
void clampRampToBitDepth(int depth, const GammaRamp& source, GammaRamp& target);

// Loads `ramp` into the display behind `deviceContext`; the call's result.
bool loadRampIntoDisplay(DisplaySystem& display, HDC deviceContext, const GammaRamp& ramp);
// Reads the display's table into `table` and converts it into `ramp`. When
// the read fails, `table` keeps what it held and `ramp` receives that; the
// result tells whether the read succeeded.
bool readBackFromDisplay(DisplaySystem& display, HDC deviceContext, DeviceGammaTable& table,
                         GammaRamp& ramp);
// Reads the display's table back (into the scratch `table` and `ramp`) and
// tells whether it holds `expected`. A read that fails never counts as a
// match: the scratch would still hold what an earlier read left there,
// perhaps another display's table.
bool displayHoldsRamp(DisplaySystem& display, HDC deviceContext, DeviceGammaTable& table,
                      GammaRamp& ramp, const GammaRamp& expected);
