// Converting between the program's 256-entry gamma tables and the CRTC's
// own table size. A CRTC of n entries maps input j (0 .. n-1) to the point
// j/(n-1) of the input range, so resampling is linear interpolation of the
// source at that point; 256 entries map one to one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/display_system.h"

// A CRTC's gamma table: red, green and blue of equal size.
struct CrtcGamma {
    std::vector<std::uint16_t> red;
    std::vector<std::uint16_t> green;
    std::vector<std::uint16_t> blue;

    std::size_t size() const { return red.size(); }
    std::vector<std::uint16_t>& channel(int c) { return c == 0 ? red : c == 1 ? green : blue; }
    const std::vector<std::uint16_t>& channel(int c) const {
        return c == 0 ? red : c == 1 ? green : blue;
    }
    bool operator==(const CrtcGamma&) const = default;
};

// `count` entries: entry j is `source` linearly interpolated at the point
// j/(count-1) of its range, rounded to the nearest integer. One entry takes
// the first source entry. `source` must not be empty.
std::vector<std::uint16_t> resampleChannel(std::span<const std::uint16_t> source,
                                           std::size_t count);

// A 768-entry table spread over a CRTC of `size` entries (size >= 1).
CrtcGamma gammaForCrtc(const GammaTable768& table, std::size_t size);
// A CRTC's table brought back to 768 entries (size >= 1).
GammaTable768 tableFromCrtc(const CrtcGamma& gamma);

// What reading a CRTC reports. When the CRTC still holds exactly the
// resampled form of `lastWritten` (what this program set last), the answer
// is `lastWritten` itself, so a table read back from an unchanged CRTC of
// any size equals the table that was set. Otherwise the CRTC's own table,
// resampled. `lastWritten` may be null.
GammaTable768 readBackTable(const CrtcGamma& current, const GammaTable768* lastWritten);
