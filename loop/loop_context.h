// What the watch loop and the operations around it work on, handed in by
// the application state.
#pragma once

#include "core/app_settings.h"
#include "core/log.h"
#include "loop/profile_retry.h"
#include "platform/display_system.h"
#include "ramps/gamma_ramp.h"

class Tree;
class ActiveDisplayList;

// Read-back scratch shared by the loop thread and, while the loop is
// stopped, the main thread's immediate loads.
struct LoopScratch {
    GammaRamp readBackRamp;
    DeviceGammaTable readBackTable{};
};

struct LoopContext {
    Log& log;
    AppSettings& settings;
    AppFlags& flags;
    Tree& tree;
    ActiveDisplayList& activeDisplays;
    const FixedRamps& ramps;
    DisplaySystem& display;
    LoopScratch& scratch;
    ProfileRetry& profileRetry;
};
