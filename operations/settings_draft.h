// The settings window's pending changes and their application: each
// setting the window edits has a pending value and a changed flag until
// "OK" or "Apply" applies them all at once, each with its immediate effect,
// logs a "Settings changed:" block and saves the settings file.
#pragma once

#include <array>
#include <functional>

#include "core/app_settings.h"

class AppState;

// The items of the window; the run-on-startup setting is two of them, one
// per box.
enum class SettingItem {
    DefCPAssocMode,
    LoadLinearCurveByDefault,
    LoadLinearCurveOnExit,
    LockLoadedProfiles,
    PollingPeriod,
    LUTBitDepth,
    EnableTrayIcon,
    CheckForUpdates,
    StartAutomatically,  // runOnStartup bit 0
    MinimizeToTray,      // runOnStartup bit 1
};
inline constexpr int settingItemCount = 10;

// What applying a change does outside the settings themselves.
struct SettingsEffects {
    std::function<void(bool visible)> trayIconSwitched;
    std::function<void(bool on)> checkForUpdatesSwitched;
};

class SettingsDraft {
public:
    // No change pending; the pending values as a window that was never
    // loaded holds them (mode-specific, everything else off or 0).
    SettingsDraft();

    // Forgets every pending change.
    void clear();

    // A box ticked or unticked (for DefCPAssocMode: "Mode-specific" chosen
    // or not): pending, or withdrawn when it equals the setting in force.
    void setChecked(SettingItem item, bool checked, const AppSettings& current);
    // The polling period's text and the bit-depth list: the first edit
    // counts as a change even when it equals the setting in force; later
    // edits withdraw it when they come back to that setting.
    void setPollingPeriod(int milliseconds, const AppSettings& current);
    void setLUTBitDepth(int depth, const AppSettings& current);

    int pendingChangeCount() const;
    bool changed(SettingItem item) const { return changed_[index(item)]; }

    // Applies every pending change in the order of the items (see the
    // .cpp), logs them, saves the settings file and forgets them. Nothing
    // at all when no change is pending.
    void apply(AppState& state, const SettingsEffects& effects);

private:
    static int index(SettingItem item) { return static_cast<int>(item); }
    void mark(SettingItem item, bool differs);
    void withdrawOrKeep(SettingItem item, bool equalsCurrent);

    std::array<bool, settingItemCount> changed_{};
    std::array<bool, settingItemCount> checked_{};
    int pollingPeriod_ = 0;
    int lutBitDepth_ = 0;
};

// The bit-depth list's items in order, "8-bit", "10-bit", "Default", and
// the depth each stands for.
int lutBitDepthOfIndex(int index);
int indexOfLutBitDepth(int depth);
