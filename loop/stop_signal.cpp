#include "loop/stop_signal.h"

#include <chrono>

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
    wake_.notify_all();
}

bool StopSignal::pause(int milliseconds) {
    std::unique_lock lock(mutex_);
    if (milliseconds <= 0)
        return !requested();
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    return !wake_.wait_until(lock, until, [this] { return requested(); });
}
