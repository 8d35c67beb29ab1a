#include "platform/display_system.h"

#include "platform/change_announcer.h"

void DisplaySystem::getDeviceGammaRamps(std::span<GammaRead> reads) {
    for (GammaRead& read : reads) read.ok = getDeviceGammaRamp(read.dc, *read.table);
}

void DisplaySystem::publishProfile(const char*, std::span<const std::uint8_t>) {}

void DisplaySystem::withdrawProfile(const char*) {}

std::unique_ptr<ChangeWaiter> DisplaySystem::watchChanges() {
    return ChangeAnnouncer::silentWaiter();
}
