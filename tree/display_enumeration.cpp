#include "tree/display_enumeration.h"

#include <cstring>
#include <optional>

#include "tree/display_records.h"

std::vector<DEVMODEA> acceptedModes(DisplaySystem& system, const char* deviceName) {
    std::vector<DEVMODEA> accepted;
    DEVMODEA mode = emptyDisplayMode();
    for (DWORD k = 0; system.enumDisplaySettings(deviceName, k, &mode); ++k) {
        const bool repeat = !accepted.empty() && SameMode(mode, accepted.back());
        if (!repeat && mode.dmBitsPerPel >= 32)
            accepted.push_back(mode);
        mode = emptyDisplayMode();
    }
    return accepted;
}
