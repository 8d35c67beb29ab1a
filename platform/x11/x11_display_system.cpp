#include "platform/x11/x11_display_system.h"

std::unique_ptr<X11DisplaySystem> X11DisplaySystem::open(const char*) {
    return nullptr;
}
