#include "platform/x11/mode_order.h"

#include <algorithm>

namespace {

bool sameSize(const DEVMODEA& a, const DEVMODEA& b) {
    return a.dmPelsWidth == b.dmPelsWidth && a.dmPelsHeight == b.dmPelsHeight;
}

bool sameDisplayMode(const DEVMODEA& a, const DEVMODEA& b) {
    return sameSize(a, b) && a.dmBitsPerPel == b.dmBitsPerPel &&
           a.dmDisplayFlags == b.dmDisplayFlags && a.dmDisplayFrequency == b.dmDisplayFrequency;
}

}  // namespace

std::vector<DEVMODEA> modesGroupedBySize(const std::vector<DEVMODEA>& modes) {
    std::vector<DEVMODEA> grouped;
    grouped.reserve(modes.size());
    for (const DEVMODEA& mode : modes) {
        if (std::any_of(grouped.begin(), grouped.end(),
                        [&](const DEVMODEA& g) { return sameDisplayMode(g, mode); }))
            continue;
        // After the last mode of its size, or at the end for a new size.
        const auto lastOfSize = std::find_if(grouped.rbegin(), grouped.rend(), [&](const DEVMODEA& g) {
            return sameSize(g, mode);
        });
        grouped.insert(lastOfSize == grouped.rend() ? grouped.end() : lastOfSize.base(), mode);
    }
    return grouped;
}
