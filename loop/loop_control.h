// Starting and stopping the watch loop: the user's toggle, the short pause
// around changes of the tree, the linear ramps on stop and exit, and the
// exit handler.
//
// None of these may be called while the caller holds a LogGroup: a stop
// waits for the loop, and the loop may be waiting for the log.
//
// A Start or Stop while a pause is held (from a tray menu or a dialog that
// runs inside a change of the tree) takes effect when the pause ends: the
// user's state (`loopRunning`, the label, the tray picture through
// onLoopToggled) and the toggle's log lines change at once, as the user
// expects, but the thread is not started, and the linear ramps of a Stop
// are not loaded, while the caller is still changing the tree and the
// active displays. When the last pause ends, a Stop's linear ramps are
// loaded, then the loop runs if the user's last word was Start (or if it
// ran before the pause and the user did not stop it). Refusing the toggle
// instead would drop a click without a word, with the menu already saying
// otherwise.
//
// A loop thread that cannot be started (the system refuses a new thread)
// is logged as "Failed to start loop.\n\n" and leaves the loop stopped:
// `loopRunning` is cleared and onLoopToggled(false) is called.
#pragma once

#include <functional>

#include "loop/loop_context.h"
#include "loop/my_thread.h"

class LoopControl {
public:
    LoopControl(LoopContext& ctx, MyThread& thread);

    // Called with the loop's new state whenever toggleLoop starts or stops
    // it, and with false when a start fails; the main window sets the tray
    // icon's picture from it.
    std::function<void(bool running)> onLoopToggled;

    // The user's Start/Stop.
    void toggleLoop();

    // The stop-and-restart protocol around a change of the tree, the active
    // displays or a setting the loop uses: while a LoopPause lives, the loop
    // thread does not run; when it ends, a loop that ran is started again
    // with "Restarting loop...\n". Pauses may nest; the thread starts again
    // when the last one ends.
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
    bool pauseHeld() const { return pausesHeld_ > 0; }

    // The linear ramp into every active display the tree knows.
    void loadLinearRampsOnAllMonitors();

    // The exit handler's work; runs once whatever calls it. The linear
    // ramps are loaded only when the loop ran in this process.
    void onApplicationExit();

    bool threadRunning() const { return thread_.isRunning(); }
    // Starts the thread without the toggle's log line (the command line's
    // "-start" path). False when the thread could not be started (logged;
    // the loop is then stopped).
    bool startThread();

private:
    // Starts the thread; a failure is logged and leaves the loop stopped.
    bool startThreadOrReport();
    // A pause ends (LoopPause::resume).
    void endPause(bool wasRunning);

    LoopContext& ctx_;
    MyThread& thread_;
    bool exited_ = false;
    // The loop thread was started at least once.
    bool loopHasRun_ = false;
    // The pauses that live now.
    int pausesHeld_ = 0;
    // One of them found the thread running.
    bool restartPending_ = false;
    // The user's Start and Stop while a pause is held, for its end.
    bool deferredStart_ = false;
    bool deferredLinearRamps_ = false;
};
