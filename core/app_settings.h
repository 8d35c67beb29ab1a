// The ten settings values with their initial values, and the version text
// the settings file and the update check compare against.
//
// The values the watch loop reads on every pass while the main thread may
// change them are atomics (relaxed order is enough: each is read whole once
// per use).
#pragma once

#include <atomic>

inline constexpr const char* programVersion = "1.05";

struct AppSettings {
    // Pause of the watch loop between two passes, in milliseconds.
    std::atomic<int> pollingPeriod{1000};
    // New monitors get mode-specific association (true) or a global one.
    bool defCPAssocMode = true;
    // Where nothing is associated, load the linear ramp.
    std::atomic<bool> loadLinearCurveByDefault{true};
    // Load the linear ramp into the known monitors on exit and on a user stop.
    bool loadLinearCurveOnExit = true;
    // Set a drifted ramp back.
    std::atomic<bool> lockLoadedProfiles{true};
    // 0, 10 or 8: clamp profile ramps to that depth before loading.
    std::atomic<int> LUTBitDepth{0};
    bool enableTrayIcon = true;
    bool checkForUpdates = true;
    bool updateAvailable = false;
    // Bit 0 "Start automatically", bit 1 "Minimize to tray".
    int runOnStartup = 0;
};

// Flags that tie the windows, the tray icon and the loop together.
struct AppFlags {
    bool treeLoaded = false;
    bool loopRunning = false;
    // The loop does not log the first configuration change after a start.
    std::atomic<bool> suppressChangeMsg{false};
    bool startStopLabel = false;
    // Counts the loop's finished passes (for a start that waits for the
    // first one).
    std::atomic<unsigned> passesFinished{0};
};
