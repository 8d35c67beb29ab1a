#include "loop/watch_loop.h"

#include <algorithm>
#include <shared_mutex>

#include "loop/display_target.h"
#include "loop/profile_publication.h"
#include "loop/ramp_restore.h"
#include "tree/association.h"
#include "tree/tree.h"

int WatchLoop::pauseFor(int pollingPeriod) {
    return std::max(pollingPeriod, minimumPause);
}

WatchLoop::WatchLoop(LoopContext& ctx, StopSignal& stop)
    : ctx_(ctx), stop_(stop), snapshot_(&ctx.display) {}

void WatchLoop::run() {
    ctx_.log.group() << "Looping...\n\n";
    // Watched from before the first pass, so that a change announced while
    // a pass runs brings the next one at once.
    const std::unique_ptr<ChangeWaiter> changes = ctx_.display.watchChanges();
    bool first = true;
    while (!stop_.requested()) {
        if (!runPass())
            break;
        // The suppression is meant for the change a start finds at once; a
        // first pass that found none leaves nothing to suppress, and the
        // next real change is announced.
        if (first)
            ctx_.flags.suppressChangeMsg = false;
        first = false;
        if (!stop_.pause(*changes, pauseFor(ctx_.settings.pollingPeriod.load(std::memory_order_relaxed))))
            break;
    }
}

bool WatchLoop::runPass() {
    snapshot_.Capture(ctx_.display);
    bool finished = true;
    if (!ctx_.activeDisplays.SameConfiguration(snapshot_)) {
        finished = applyNewConfiguration();
    } else {
        finished = lookAfterDisplays();
    }
    snapshot_.Clear();
    return finished;
}

bool WatchLoop::applyNewConfiguration() {
    if (stop_.requested())
        return false;
    const bool suppressed = ctx_.flags.suppressChangeMsg.exchange(false);
    if (!suppressed) {
        LogGroup g = ctx_.log.group();
        g.timestamp() << "Monitor, resolution, and / or mode change(s) detected.\n\n";
    }
    ActiveDisplayList& displays = ctx_.activeDisplays;
    withdrawFromOutputsGone(ctx_.display, displays, snapshot_);
    displays.CopyFrom(snapshot_);
    displays.ResetCursor();
    while (displays.NextDisplay()) {
        if (stop_.requested() || !applyToDisplay(*displays.currentDisplay())) {
            // Displays of this configuration were left without their ramp.
            // Forgetting the configuration makes the next run apply it anew
            // instead of taking it for applied, as the first change of that
            // run, announced or not as this one was.
            displays.Clear();
            ctx_.flags.suppressChangeMsg = suppressed;
            return false;
        }
    }
    return true;
}

bool WatchLoop::applyToDisplay(const ActiveDisplay& d, std::optional<HDC> opened) {
    ActiveDisplayList& displays = ctx_.activeDisplays;
    const FixedRamps& ramps = ctx_.ramps;
    // One write group for the display's whole block, so that lines of the
    // main thread never land inside it.
    LogGroup g = ctx_.log.group();
    g.timestamp() << "Current monitor:\n" << d.displayDevice.DeviceID << "\n";
    g.flush();
    displays.SetCurrentDeviceContext(opened ? *opened
                                            : ctx_.display.createDC(d.displayDevice.DeviceName));
    g << "Created hDC: " << static_cast<const void*>(d.deviceContext) << "\n";
    g.flush();

    // The lookup copies the association out under the tree's read lock, so a
    // detection on the main thread never shows the loop a half-made change.
    AssociationLookup found = ctx_.tree.lookupAssociation(d.displayDevice, d.devMode);
    if (!found.monitorFound) {
        g << "Mon is NULL\n";
    } else if (!found.modeFound) {
        g << "Mode is NULL\n";
    } else {
        // A profile the tree names whose file gave no curve: tried again
        // now that its mode comes into use.
        if (!found.hasCurve && namesProfileFile(found.profile)) {
            bool parsedNow = false;
            if (const std::optional<FoundProfile> again =
                    ctx_.profileRetry.tryNow(found.profile, &parsedNow)) {
                if (parsedNow)
                    g << "Successfully parsed color profile: " << found.profile << "\n";
                found.hasCurve = true;
                found.curve = again->curve;
                found.profileBytes = again->bytes;
            }
        }
        // The Mode's association, its curve clamped to LUTBitDepth for this
        // display only.
        handAssociationToDisplay(displays, found,
                                 ctx_.settings.LUTBitDepth.load(std::memory_order_relaxed));
    }
    g.flush();
    if (stop_.requested())
        return false;

    enum class Loaded { Profile, Linear, Tint } loaded;
    const GammaRamp* ramp = nullptr;
    bool linearFirst = true;
    int k = -1;
    if (d.hasCurve) {
        g << "Applying color profile: " << d.profile;
        g.endl();
        loaded = Loaded::Profile;
        ramp = &d.curve;
    } else if (d.profile == QLatin1String("LINEAR")) {
        g << "Loading linear display calibration";
        g.endl();
        loaded = Loaded::Linear;
        ramp = &ramps.linearRamp;
        linearFirst = false;
    } else if (d.profile == QLatin1String("NULL")) {
        g << "Doing nothing";
        g.endl();
        return true;  // and its profile, if any, left as it is
    } else if ((k = ramps.tintIndex(d.profile)) >= 0) {
        g << "Loading " << ramps.tintNames[k] << " tint";
        g.endl();
        loaded = Loaded::Tint;
        ramp = &ramps.tintRamps[k];
    } else if (ctx_.settings.loadLinearCurveByDefault.load(std::memory_order_relaxed)) {
        g << "Loading linear display calibration\n";
        loaded = Loaded::Linear;
        ramp = &ramps.linearRamp;
        linearFirst = false;
    } else {
        g << "Doing nothing";
        g.endl();
        g.endl();
        publishShownProfile(ctx_.display, d);
        return true;
    }
    if (stop_.requested())
        return false;

    const bool ok = loadAndConfirm(d, *ramp, linearFirst);
    switch (loaded) {
        case Loaded::Profile:
            g << (ok ? "(Loaded gamma ramp - hDC = " : "Failed to load gamma ramp - hDC = ");
            break;
        case Loaded::Linear:
            g << (ok ? "(Loaded linear gamma ramp - hDC = "
                     : "(Failed to load linear gamma ramp - hDC = ");
            break;
        case Loaded::Tint:
            g << (ok ? "(Loaded " : "Failed to load ") << ramps.tintNames[k] << " tint - hDC = ";
            break;
    }
    g << static_cast<const void*>(d.deviceContext) << ")\n\n";
    publishShownProfile(ctx_.display, d);
    return true;
}

bool WatchLoop::loadAndConfirm(const ActiveDisplay& d, const GammaRamp& ramp, bool linearFirst) {
    if (linearFirst)
        loadRampIntoDisplay(ctx_.display, d.deviceContext, ctx_.ramps.linearRamp);
    loadRampIntoDisplay(ctx_.display, d.deviceContext, ramp);
    return displayHoldsRamp(ctx_.display, d.deviceContext, ctx_.scratch.readBackTable,
                            ctx_.scratch.readBackRamp, ramp);
}

bool WatchLoop::lookAfterDisplays() {
    ActiveDisplayList& displays = ctx_.activeDisplays;
    const bool lock = ctx_.settings.lockLoadedProfiles.load(std::memory_order_relaxed);
    const bool linearByDefault =
        ctx_.settings.loadLinearCurveByDefault.load(std::memory_order_relaxed);
    // First what needs no read-back (a profile found again, a device
    // context made at last); then every display the drift test looks at,
    // read in one go, and set back where it drifted.
    drift_.clear();
    displays.ResetCursor();
    while (displays.NextDisplay()) {
        if (stop_.requested())
            return false;
        const ActiveDisplay& d = *displays.currentDisplay();
        // A profile whose file gave no curve is tried again now and then;
        // once it parses, the display gets it as at a change.
        if (!d.hasCurve && d.deviceContext && namesProfileFile(d.profile) &&
            ctx_.profileRetry.tryWhenDue(d.profile)) {
            {
                LogGroup g = ctx_.log.group();
                g.timestamp() << "Successfully parsed color profile: " << d.profile << "\n\n";
            }
            if (!applyToDisplay(d))
                return false;
            continue;
        }
        const DisplayTarget target = driftTarget(d, linearByDefault, ctx_.ramps);
        if (target.kind == DisplayTarget::Kind::None)
            continue;
        if (!d.deviceContext) {
            if (!retryDeviceContext(d))
                return false;
            continue;
        }
        if (lock)
            drift_.push_back({&d, target});
    }
    if (drift_.empty())
        return true;
    if (stop_.requested())
        return false;
    driftTables_.resize(drift_.size());
    reads_.resize(drift_.size());
    for (std::size_t i = 0; i < drift_.size(); ++i)
        reads_[i] = GammaRead{drift_[i].display->deviceContext, &driftTables_[i], false};
    ctx_.display.getDeviceGammaRamps(reads_);
    for (std::size_t i = 0; i < drift_.size(); ++i) {
        if (stop_.requested())
            return false;
        // A display that could not be read counts as drifted.
        if (reads_[i].ok && tableHoldsRamp(driftTables_[i], *drift_[i].target.ramp))
            continue;
        const ActiveDisplay& d = *drift_[i].display;
        restoreRamp(ctx_, d, drift_[i].target, preservingPhrases);
        publishShownProfile(ctx_.display, d);
    }
    return true;
}

bool WatchLoop::retryDeviceContext(const ActiveDisplay& d) {
    const HDC opened = ctx_.display.createDC(d.displayDevice.DeviceName);
    if (!opened)
        return true;
    ActiveDisplayList& displays = ctx_.activeDisplays;
    // As the change procedure's fresh record: no association until the
    // tree's is handed over again.
    displays.SetCurrentProfile(QString());
    if (applyToDisplay(d, opened))
        return true;
    // Stopped before the load: without a context it is tried again at the
    // next run's first pass.
    displays.SetCurrentDeviceContext(nullptr);
    return false;
}
