// The X11 RandR backend.
#pragma once

#include <memory>

#include "platform/display_system.h"

class X11DisplaySystem : public DisplaySystem {
public:
    // Connects to `displayName` (null: $DISPLAY). Null when there is no X
    // server or it offers no RandR 1.2 or later.
    static std::unique_ptr<X11DisplaySystem> open(const char* displayName = nullptr);
};
