// A waiter on the RandR events of the X11 backend's connection. It waits in
// poll() on the connection's socket and on an eventfd of its own, which
// wake() writes, and which an announcement writes when another thread took
// the events in (as part of a reply it waited for). The socket is read only
// when poll() says it is readable, so a wait that ends by its time makes
// one system call.
#pragma once

#include <atomic>
#include <memory>

#include "platform/change_waiter.h"
#include "platform/x11/x11_link.h"

class X11ChangeWaiter : public ChangeWaiter {
public:
    // Null when the system gives no eventfd.
    static std::unique_ptr<X11ChangeWaiter> watch(std::shared_ptr<X11Link> link);
    ~X11ChangeWaiter() override;

    bool wait(int milliseconds) override;
    void wake() override;

private:
    X11ChangeWaiter(std::shared_ptr<X11Link> link, int wakeFd);

    std::shared_ptr<X11Link> link_;
    // Guarded by the link's mutex.
    RandrEvents::Watch watch_;
    std::atomic<bool> woken_{false};
};
