// The platform the program runs on: its display system and its run-at-login
// entry, chosen once at start-up without any configuration.
#pragma once

#include <memory>

#include "platform/display_system.h"
#include "platform/run_entry.h"

struct Platform {
    std::unique_ptr<DisplaySystem> display;
    std::unique_ptr<RunEntry> runEntry;
    // A short name for the log and for diagnostics ("win32", "x11", "none").
    const char* name = "none";
};

// The real platform of this machine: win32 on Windows; on Linux x11 when an
// X server with RandR 1.2 or later is reachable, otherwise a display system
// without displays.
Platform createPlatform();
