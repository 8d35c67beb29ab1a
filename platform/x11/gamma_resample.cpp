#include "platform/x11/gamma_resample.h"

#include <algorithm>

namespace {

constexpr std::size_t tableEntries = 256;

std::span<const std::uint16_t> tableChannel(const GammaTable768& table, int c) {
    return std::span<const std::uint16_t>(table).subspan(c * tableEntries, tableEntries);
}

}  // namespace

std::vector<std::uint16_t> resampleChannel(std::span<const std::uint16_t> source,
                                           std::size_t count) {
    std::vector<std::uint16_t> out(count);
    if (count == 1 || source.size() == 1) {
        // No range to interpolate over: one point, or one value everywhere.
        std::fill(out.begin(), out.end(), source.front());
        return out;
    }
    // Entry j sits at source position p = j (s-1) / (n-1) = i + r/(n-1).
    // Everything stays in integers so that exact positions give the exact
    // source entry and the rounding is the same on every machine.
    const std::uint64_t steps = count - 1;
    const std::uint64_t span = source.size() - 1;
    for (std::size_t j = 0; j < count; ++j) {
        const std::uint64_t scaled = j * span;
        const std::size_t i = static_cast<std::size_t>(scaled / steps);
        const std::uint64_t r = scaled % steps;
        if (r == 0) {
            out[j] = source[i];
            continue;
        }
        const std::uint64_t mixed = source[i] * (steps - r) + source[i + 1] * r;
        out[j] = static_cast<std::uint16_t>((mixed + steps / 2) / steps);
    }
    return out;
}

CrtcGamma gammaForCrtc(const GammaTable768& table, std::size_t size) {
    CrtcGamma gamma;
    for (int c = 0; c < 3; ++c) gamma.channel(c) = resampleChannel(tableChannel(table, c), size);
    return gamma;
}

GammaTable768 tableFromCrtc(const CrtcGamma& gamma) {
    GammaTable768 table{};
    for (int c = 0; c < 3; ++c) {
        const auto channel = resampleChannel(gamma.channel(c), tableEntries);
        std::copy(channel.begin(), channel.end(), table.begin() + c * tableEntries);
    }
    return table;
}

GammaTable768 readBackTable(const CrtcGamma& current, const GammaTable768* lastWritten) {
    if (lastWritten && gammaForCrtc(*lastWritten, current.size()) == current)
        return *lastWritten;
    return tableFromCrtc(current);
}
