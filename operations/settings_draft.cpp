#include "operations/settings_draft.h"
#include "core/debug_output.h"

#include <QCoreApplication>
#include <QDebug>

#include "state/app_state.h"
#include "storage/run_on_startup.h"
#include "storage/settings_file.h"

namespace {

// The value a two-state item stands for in the settings in force.
bool currentState(SettingItem item, const AppSettings& s) {
    switch (item) {
    case SettingItem::DefCPAssocMode: return s.defCPAssocMode;
    case SettingItem::LoadLinearCurveByDefault: return s.loadLinearCurveByDefault;
    case SettingItem::LoadLinearCurveOnExit: return s.loadLinearCurveOnExit;
    case SettingItem::LockLoadedProfiles: return s.lockLoadedProfiles;
    case SettingItem::EnableTrayIcon: return s.enableTrayIcon;
    case SettingItem::CheckForUpdates: return s.checkForUpdates;
    case SettingItem::StartAutomatically: return s.runOnStartup & 1;
    case SettingItem::MinimizeToTray: return s.runOnStartup & 2;
    case SettingItem::PollingPeriod:
    case SettingItem::LUTBitDepth: break;
    }
    return false;
}

// The curves of the displays that show a profile, rebuilt from their
// modes for the new depth; nothing is loaded here (the drift test of the
// restarted loop, or the next change, loads them).
void rebuildProfileCurves(AppState& s) {
    auto pause = s.loopControl->pauseLoop("Stopping loop...\n", true);
    ActiveDisplayList& displays = s.activeDisplays;
    displays.ResetCursor();
    while (displays.NextDisplay()) {
        if (!displays.CurrentHasCurve())
            continue;
        const ActiveDisplay& d = *displays.currentDisplay();
        const Mode* mode = s.tree.ModeForDisplay(d);
        qCDebug(tavrinDebug) << d.displayDevice.DeviceID
                 << (mode ? s.tree.currentMonitor()->displayDevice.DeviceID : "");
        if (mode && mode->hasCurve)
            displays.SetCurrentCurve(mode->curve, s.settings.LUTBitDepth);
    }
}

}  // namespace

int lutBitDepthOfIndex(int index) {
    return index == 0 ? 8 : index == 1 ? 10 : 0;
}

int indexOfLutBitDepth(int depth) {
    return depth == 0 ? 2 : depth == 8 ? 0 : 1;
}

SettingsDraft::SettingsDraft() {
    checked_[index(SettingItem::DefCPAssocMode)] = true;
}

void SettingsDraft::clear() {
    changed_.fill(false);
}

int SettingsDraft::pendingChangeCount() const {
    int n = 0;
    for (bool c : changed_) n += c;
    return n;
}

void SettingsDraft::mark(SettingItem item, bool differs) {
    changed_[index(item)] = differs;
}

void SettingsDraft::setChecked(SettingItem item, bool checked, const AppSettings& current) {
    checked_[index(item)] = checked;
    mark(item, checked != currentState(item, current));
}

void SettingsDraft::withdrawOrKeep(SettingItem item, bool equalsCurrent) {
    if (changed_[index(item)]) {
        if (equalsCurrent)
            mark(item, false);
    } else {
        mark(item, true);
    }
}

void SettingsDraft::setPollingPeriod(int milliseconds, const AppSettings& current) {
    pollingPeriod_ = milliseconds;
    withdrawOrKeep(SettingItem::PollingPeriod, milliseconds == current.pollingPeriod);
}

void SettingsDraft::setLUTBitDepth(int depth, const AppSettings& current) {
    lutBitDepth_ = depth;
    withdrawOrKeep(SettingItem::LUTBitDepth, depth == current.LUTBitDepth);
}

void SettingsDraft::apply(AppState& s, const SettingsEffects& effects) {
    if (pendingChangeCount() == 0)
        return;
    AppSettings& settings = s.settings;
    auto take = [this](SettingItem item) {
        const bool was = changed_[index(item)];
        changed_[index(item)] = false;
        return was;
    };
    auto pending = [this](SettingItem item) { return checked_[index(item)]; };
    {
        LogGroup g = s.log.group();
        g.timestamp() << "Settings changed:\n";
        if (take(SettingItem::DefCPAssocMode)) {
            settings.defCPAssocMode = pending(SettingItem::DefCPAssocMode);
            g << "defCPAssocMode = " << int(settings.defCPAssocMode) << "\n";
        }
        if (take(SettingItem::LoadLinearCurveByDefault)) {
            settings.loadLinearCurveByDefault = pending(SettingItem::LoadLinearCurveByDefault);
            g << "loadLinearCurveByDefault = " << int(settings.loadLinearCurveByDefault) << "\n";
        }
        if (take(SettingItem::LoadLinearCurveOnExit)) {
            settings.loadLinearCurveOnExit = pending(SettingItem::LoadLinearCurveOnExit);
            g << "loadLinearCurveOnExit = " << int(settings.loadLinearCurveOnExit) << "\n";
        }
        if (take(SettingItem::LockLoadedProfiles)) {
            settings.lockLoadedProfiles = pending(SettingItem::LockLoadedProfiles);
            g << "lockLoadedProfiles = " << int(settings.lockLoadedProfiles.load()) << "\n";
        }
        if (take(SettingItem::PollingPeriod)) {
            // The loop takes it at its next pause.
            settings.pollingPeriod = pollingPeriod_;
            g << "pollingPeriod = " << unsigned(pollingPeriod_) << "\n";
        }
    }
    if (take(SettingItem::LUTBitDepth)) {
        settings.LUTBitDepth = lutBitDepth_;
        rebuildProfileCurves(s);
    }
    if (take(SettingItem::EnableTrayIcon)) {
        settings.enableTrayIcon = pending(SettingItem::EnableTrayIcon);
        s.log.group() << "enableTrayIcon = " << int(settings.enableTrayIcon) << "\n";
        if (effects.trayIconSwitched)
            effects.trayIconSwitched(settings.enableTrayIcon);
    }
    if (take(SettingItem::CheckForUpdates)) {
        settings.checkForUpdates = pending(SettingItem::CheckForUpdates);
        s.log.group() << "checkForUpdates = " << int(settings.checkForUpdates) << "\n";
        if (effects.checkForUpdatesSwitched)
            effects.checkForUpdatesSwitched(settings.checkForUpdates);
    }
    const bool start = take(SettingItem::StartAutomatically);
    const bool minimize = take(SettingItem::MinimizeToTray);
    if (start || minimize) {
        if (start)
            settings.runOnStartup += pending(SettingItem::StartAutomatically) ? 1 : -1;
        if (minimize)
            settings.runOnStartup += pending(SettingItem::MinimizeToTray) ? 2 : -2;
        s.log.group() << "runOnStartup = " << settings.runOnStartup << "\n";
        applyRunOnStartup(settings.runOnStartup, *s.platform.runEntry,
                          QCoreApplication::applicationFilePath());
    }
    saveSettings(s.files.settings, settings, s.log);
}
