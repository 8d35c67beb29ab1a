#include "platform/display_system.h"

#include "platform/change_announcer.h"

void DisplaySystem::publishProfile(const char*, std::span<const std::uint8_t>) {}

void DisplaySystem::withdrawProfile(const char*) {}

std::unique_ptr<ChangeWaiter> DisplaySystem::watchChanges() {
    return ChangeAnnouncer::silentWaiter();
}
