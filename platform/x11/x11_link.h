// What the X11 backend shares with its change waiters: its connection, the
// connection's RandR events, and the mutex that serialises every use of
// them (the main thread, the loop thread and a waiter all reach them).
// Shared, so a waiter that outlives the backend still has them.
#pragma once

#include <memory>
#include <mutex>

#include "platform/x11/randr_events.h"
#include "platform/x11/x11_connection.h"

struct X11Link {
    explicit X11Link(std::unique_ptr<X11Connection> c)
        : connection(std::move(c)), events(*connection) {}

    std::mutex mutex;
    const std::unique_ptr<X11Connection> connection;
    RandrEvents events;
};
