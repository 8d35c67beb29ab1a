#include "loop/stop_signal.h"

void StopSignal::reset() {
    std::lock_guard lock(mutex_);
    requested_.store(false, std::memory_order_release);
    running_ = true;
}

void StopSignal::finished() {
    // Notified under the lock: the waiter may destroy this object as soon as
    // it sees the run finished.
    std::lock_guard lock(mutex_);
    running_ = false;
    wake_.notify_all();
}

void StopSignal::waitUntilFinished() {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return !running_; });
}

void StopSignal::request() {
    std::lock_guard lock(mutex_);
    requested_.store(true, std::memory_order_release);
    if (pausing_)
        pausing_->wake();
    wake_.notify_all();
}

bool StopSignal::pause(ChangeWaiter& changes, int milliseconds) {
    {
        std::lock_guard lock(mutex_);
        if (requested())
            return false;
        pausing_ = &changes;
    }
    // A request from here on wakes the waiter, also before it blocks.
    changes.wait(milliseconds);
    std::lock_guard lock(mutex_);
    pausing_ = nullptr;
    return !requested();
}
