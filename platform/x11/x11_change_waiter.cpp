#include "platform/x11/x11_change_waiter.h"

#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

std::unique_ptr<X11ChangeWaiter> X11ChangeWaiter::watch(std::shared_ptr<X11Link> link) {
    const int wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0)
        return nullptr;
    return std::unique_ptr<X11ChangeWaiter>(new X11ChangeWaiter(std::move(link), wakeFd));
}

X11ChangeWaiter::X11ChangeWaiter(std::shared_ptr<X11Link> link, int wakeFd)
    : link_(std::move(link)) {
    watch_.wakeFd = wakeFd;
    std::lock_guard lock(link_->mutex);
    link_->events.addWatch(watch_);
}

X11ChangeWaiter::~X11ChangeWaiter() {
    {
        std::lock_guard lock(link_->mutex);
        link_->events.removeWatch(watch_);
    }
    close(watch_.wakeFd);
}

bool X11ChangeWaiter::wait(int milliseconds) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(std::max(milliseconds, 0));
    for (;;) {
        // The eventfd, and the socket while the connection lives.
        pollfd fds[2] = {{watch_.wakeFd, POLLIN, 0}, {-1, POLLIN, 0}};
        int timeout = 0;
        {
            std::lock_guard lock(link_->mutex);
            // Events another call took in along with its replies.
            link_->events.takeQueued();
            watch_.blocked = false;
            if (std::exchange(watch_.announced, false))
                return true;
            if (woken_.exchange(false))
                return false;
            const auto left = until - Clock::now();
            if (left <= Clock::duration::zero())
                return false;
            // Rounded up, so that the wait never ends just short of its time.
            timeout = int(std::chrono::ceil<std::chrono::milliseconds>(left).count());
            if (!link_->connection->lost())
                fds[1].fd = link_->connection->fd();
            watch_.blocked = true;
        }
        const int ready = poll(fds, 2, timeout);
        if (ready < 0 && errno != EINTR) {
            // Not expected of poll(); the pause still lasts its time.
            std::this_thread::sleep_for(std::chrono::milliseconds(timeout));
            continue;
        }
        if (fds[0].revents & POLLIN) {
            eventfd_t count = 0;
            eventfd_read(watch_.wakeFd, &count);
        }
        if (fds[1].revents) {
            std::lock_guard lock(link_->mutex);
            watch_.blocked = false;
            link_->events.readAvailable();
        } else if (ready == 0 && fds[1].fd >= 0) {
            // The pause is over and nothing came: the pass that follows
            // need not look at the socket again.
            std::lock_guard lock(link_->mutex);
            link_->events.noteQuiet();
        }
    }
}

void X11ChangeWaiter::wake() {
    woken_.store(true);
    eventfd_write(watch_.wakeFd, 1);
}
