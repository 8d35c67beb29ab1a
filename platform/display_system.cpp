#include "platform/display_system.h"

#include "platform/change_announcer.h"

std::unique_ptr<ChangeWaiter> DisplaySystem::watchChanges() {
    return ChangeAnnouncer::silentWaiter();
}
