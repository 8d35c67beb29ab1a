// The cooperative stop of the watch loop: a flag the loop checks between
// its steps, and a pause that a stop request cuts short.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "platform/change_waiter.h"

class StopSignal {
public:
    // Clears a previous request; called before the loop thread starts.
    // The run counts as going on until finished() is called.
    void reset();
    // Called by the loop thread as its very last step.
    void finished();
    // Returns once a run started after reset() has called finished() (at
    // once when none is going on). Everything the run did is then visible to
    // the caller: this is the stop's synchronisation point.
    void waitUntilFinished();
    // Sets the flag and wakes a pause in progress.
    void request();
    bool requested() const { return requested_.load(std::memory_order_acquire); }
    // Waits on `changes` for `milliseconds` at most: until the display
    // system announces a change, the time is up or a stop is requested.
    // False when a stop was requested.
    bool pause(ChangeWaiter& changes, int milliseconds);

private:
    std::atomic<bool> requested_{false};
    bool running_ = false;
    // The waiter of the pause in progress, which a request wakes.
    ChangeWaiter* pausing_ = nullptr;
    std::mutex mutex_;
    std::condition_variable wake_;
};
