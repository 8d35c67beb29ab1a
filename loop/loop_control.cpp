#include "loop/loop_control.h"

#include <utility>

#include "tree/active_display.h"
#include "tree/tree.h"

LoopControl::LoopControl(LoopContext& ctx, MyThread& thread) : ctx_(ctx), thread_(thread) {}

void LoopControl::toggleLoop() {
    AppFlags& flags = ctx_.flags;
    if (flags.loopRunning) {
        {
            LogGroup g = ctx_.log.group();
            g << "\n";
            g.timestamp() << "Stop loop called.\nStopping loop...\n\n";
        }
        flags.loopRunning = false;
        deferredStart_ = false;
        if (pauseHeld()) {
            // The pause has stopped the thread already; the ramps wait for
            // the caller to finish its change.
            if (ctx_.settings.loadLinearCurveOnExit)
                deferredLinearRamps_ = true;
        } else {
            thread_.stopLoop();
            if (ctx_.settings.loadLinearCurveOnExit) {
                loadLinearRampsOnAllMonitors();
                // The next start finds a change and applies every association.
                ctx_.activeDisplays.Clear();
            }
        }
        if (onLoopToggled)
            onLoopToggled(false);
    } else {
        {
            LogGroup g = ctx_.log.group();
            g << "\n";
            g.timestamp() << "Start loop called.\n\n";
        }
        flags.loopRunning = true;
        bool started = true;
        if (pauseHeld())
            deferredStart_ = true;
        else
            started = startThreadOrReport();
        if (started && onLoopToggled)
            onLoopToggled(true);
    }
    flags.startStopLabel = flags.loopRunning;
}

bool LoopControl::startThread() {
    if (pauseHeld()) {
        deferredStart_ = true;
        return true;
    }
    return startThreadOrReport();
}

bool LoopControl::startThreadOrReport() {
    if (thread_.startLoop()) {
        loopHasRun_ = true;
        return true;
    }
    {
        LogGroup g = ctx_.log.group();
        g.timestamp() << "Failed to start loop.\n\n";
    }
    ctx_.flags.loopRunning = false;
    ctx_.flags.startStopLabel = false;
    if (onLoopToggled)
        onLoopToggled(false);
    return false;
}

LoopControl::LoopPause::LoopPause(LoopControl* control, bool wasRunning)
    : control_(control), wasRunning_(wasRunning) {}

LoopControl::LoopPause::LoopPause(LoopPause&& other) noexcept
    : control_(other.control_), wasRunning_(other.wasRunning_) {
    other.control_ = nullptr;
}

LoopControl::LoopPause::~LoopPause() {
    resume();
}

void LoopControl::LoopPause::resume() {
    if (!control_)
        return;
    LoopControl* control = control_;
    control_ = nullptr;
    control->endPause(wasRunning_);
}

void LoopControl::endPause(bool wasRunning) {
    restartPending_ = restartPending_ || wasRunning;
    if (--pausesHeld_ > 0)
        return;
    const bool restart = std::exchange(restartPending_, false);
    const bool userStart = std::exchange(deferredStart_, false);
    if (std::exchange(deferredLinearRamps_, false)) {
        loadLinearRampsOnAllMonitors();
        ctx_.activeDisplays.Clear();
    }
    // A loop the user stopped meanwhile stays stopped.
    if (!ctx_.flags.loopRunning)
        return;
    if (userStart) {
        // The user's own Start, logged when it was given: not a restart.
        startThreadOrReport();
    } else if (restart) {
        ctx_.log.group() << "Restarting loop...\n";
        startThreadOrReport();
    }
}

LoopControl::LoopPause LoopControl::pauseLoop(const char* stopLine, bool timestamped) {
    const bool running = thread_.isRunning();
    if (running) {
        {
            LogGroup g = ctx_.log.group();
            if (timestamped)
                g.timestamp();
            g << stopLine;
        }
        thread_.stopLoop();
    }
    ++pausesHeld_;
    return LoopPause(this, running);
}

void LoopControl::loadLinearRampsOnAllMonitors() {
    {
        LogGroup g = ctx_.log.group();
        g.timestamp() << "Loading linear gamma ramps...\n\n";
    }
    ActiveDisplayList displays(&ctx_.display);
    displays.Capture(ctx_.display);
    // Scratch of its own: the loop's may be in use by an interrupted caller.
    GammaRamp readBack;
    DeviceGammaTable readBackTable{};
    const GammaRamp& linear = ctx_.ramps.linearRamp;
    displays.ResetCursor();
    while (displays.NextDisplay()) {
        const ActiveDisplay& d = *displays.currentDisplay();
        const AssociationLookup found = ctx_.tree.lookupAssociation(d.displayDevice, d.devMode);
        if (!found.monitorFound)
            continue;  // displays the tree does not know stay as they are
        LogGroup g = ctx_.log.group();
        g << "Current monitor:\n" << d.displayDevice.DeviceID << "\n";
        g.flush();
        displays.SetCurrentDeviceContext(ctx_.display.createDC(d.displayDevice.DeviceName));
        g << "Created hDC - " << static_cast<const void*>(d.deviceContext) << "\n";
        g.flush();
        if (found.modeFound) {
            displays.SetCurrentProfile(found.profile);
        } else {
            g << "Mode is NULL.\n";
            g.flush();
        }
        if (d.profile.isEmpty() && !ctx_.settings.loadLinearCurveByDefault.load()) {
            g << "Doing nothing";
            g.endl() << "\n";
            continue;
        }
        g << "Loading linear display calibration";
        g.endl();
        loadRampIntoDisplay(ctx_.display, d.deviceContext, linear);
        const bool ok =
            displayHoldsRamp(ctx_.display, d.deviceContext, readBackTable, readBack, linear);
        g << (ok ? "(Loaded linear gamma ramp - hDC = "
                 : "(Failed to load linear gamma ramp - hDC = ")
          << static_cast<const void*>(d.deviceContext) << ")";
        g.endl() << "\n";
        // The linear curve shows no profile.
        ctx_.display.withdrawProfile(d.displayDevice.DeviceName);
    }
    ctx_.log.group() << "\n";
}

void LoopControl::onApplicationExit() {
    if (exited_)
        return;
    exited_ = true;
    {
        LogGroup g = ctx_.log.group();
        g << "\n";
        g.timestamp() << "Application exit called.\n\n";
    }
    if (thread_.isRunning()) {
        ctx_.log.group() << "Stopping loop...\n\n";
        thread_.stopLoop();
    }
    // A process whose loop never ran loaded nothing: it leaves the displays
    // as it found them (another copy, or the previous run, put there what
    // they show).
    if (ctx_.flags.treeLoaded && ctx_.settings.loadLinearCurveOnExit && loopHasRun_)
        loadLinearRampsOnAllMonitors();
    ctx_.log.group() << "Exiting application...\n";
}
