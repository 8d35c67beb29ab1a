// Starting and stopping the watch loop: the user's toggle, the short pause
// around changes of the tree, the linear ramps on stop and exit, and the
// exit handler.
//
// None of these may be called while the caller holds a LogGroup: a stop
// waits for the loop, and the loop may be waiting for the log.
#pragma once

#include <functional>

#include "loop/loop_context.h"
#include "loop/my_thread.h"

class LoopControl {
public:
    LoopControl(LoopContext& ctx, MyThread& thread);

    // Called with the loop's new state whenever toggleLoop starts or stops
    // it; the main window sets the tray icon's picture from it.
    std::function<void(bool running)> onLoopToggled;

    // The user's Start/Stop.
    void toggleLoop();

    // The stop-and-restart protocol around a change of the tree, the active
    // displays or a setting the loop uses: while a LoopPause lives, the loop
    // thread does not run; when it ends, a loop that ran is started again
    // with "Restarting loop...\n".
    class LoopPause {
    public:
        LoopPause(LoopPause&& other) noexcept;
        LoopPause(const LoopPause&) = delete;
        LoopPause& operator=(const LoopPause&) = delete;
        ~LoopPause();
        // Restarts now instead of at the end of the scope.
        void resume();
        bool wasRunning() const { return wasRunning_; }

    private:
        friend class LoopControl;
        LoopPause(LoopControl* control, bool wasRunning);
        LoopControl* control_;
        bool wasRunning_;
    };
    // When the loop thread runs: writes `stopLine` (after a timestamp when
    // `timestamped`), stops the thread.
    [[nodiscard]] LoopPause pauseLoop(const char* stopLine, bool timestamped);

    // The linear ramp into every active display the tree knows.
    void loadLinearRampsOnAllMonitors();

    // The exit handler's work; runs once whatever calls it.
    void onApplicationExit();

    bool threadRunning() const { return thread_.isRunning(); }
    // Starts the thread without the toggle's log line (the command line's
    // "-start" path).
    void startThread() { thread_.startLoop(); }

private:
    LoopContext& ctx_;
    MyThread& thread_;
    bool exited_ = false;
};
