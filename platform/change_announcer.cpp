#include "platform/change_announcer.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// What the announcer and its waiters share. Announcements count up; each
// waiter remembers the count it has taken.
struct ChangeAnnouncer::Channel {
    std::mutex mutex;
    std::condition_variable changed;
    std::uint64_t announcements = 0;
};

namespace {

class SignalledWaiter : public ChangeWaiter {
public:
    explicit SignalledWaiter(std::shared_ptr<ChangeAnnouncer::Channel> channel)
        : channel_(std::move(channel)) {
        std::lock_guard lock(channel_->mutex);
        taken_ = channel_->announcements;
    }

    bool wait(int milliseconds) override {
        std::unique_lock lock(channel_->mutex);
        const auto due = [this] { return woken_ || channel_->announcements != taken_; };
        if (milliseconds > 0) {
            const auto until =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
            channel_->changed.wait_until(lock, until, due);
        }
        woken_ = false;
        const bool announced = channel_->announcements != taken_;
        taken_ = channel_->announcements;
        return announced;
    }

    void wake() override {
        std::lock_guard lock(channel_->mutex);
        woken_ = true;
        // Every waiter of the channel wakes; the others find nothing due
        // and wait on.
        channel_->changed.notify_all();
    }

private:
    std::shared_ptr<ChangeAnnouncer::Channel> channel_;
    // Guarded by the channel's mutex.
    std::uint64_t taken_ = 0;
    bool woken_ = false;
};

}  // namespace

ChangeAnnouncer::ChangeAnnouncer() : channel_(std::make_shared<Channel>()) {}

ChangeAnnouncer::~ChangeAnnouncer() = default;

void ChangeAnnouncer::announce() {
    std::lock_guard lock(channel_->mutex);
    ++channel_->announcements;
    channel_->changed.notify_all();
}

std::unique_ptr<ChangeWaiter> ChangeAnnouncer::watch() const {
    return std::make_unique<SignalledWaiter>(channel_);
}

std::unique_ptr<ChangeWaiter> ChangeAnnouncer::silentWaiter() {
    return std::make_unique<SignalledWaiter>(std::make_shared<Channel>());
}
