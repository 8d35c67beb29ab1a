// Announcements of display changes for backends whose news arrives on a
// thread of the backend's own or through a call (a window procedure, a knob
// of the simulated system): announce() reaches every waiter made by watch(),
// which waits on a condition variable. Thread-safe; waiters may outlive the
// announcer.
#pragma once

#include <memory>

#include "platform/change_waiter.h"

class ChangeAnnouncer {
public:
    ChangeAnnouncer();
    ~ChangeAnnouncer();
    ChangeAnnouncer(const ChangeAnnouncer&) = delete;
    ChangeAnnouncer& operator=(const ChangeAnnouncer&) = delete;

    // Every waiter of this announcer has a change to take.
    void announce();
    // A waiter on this announcer's announcements.
    std::unique_ptr<ChangeWaiter> watch() const;

    // A waiter that nothing announces to: it waits out its time or a wake.
    static std::unique_ptr<ChangeWaiter> silentWaiter();

    struct Channel;

private:
    std::shared_ptr<Channel> channel_;
};
