// The RandR events of the backend's connection and what they mean: the
// configuration as last read is stale, and, for a change of the
// configuration itself (a mode, a CRTC, an output, the screen, a monitor's
// EDID), the watchers of the backend are told. Every change of what the
// configuration holds comes as such an event, so while none came, the
// configuration as last read is the server's.
//
// Events are taken from what the connection has queued already: Xlib and
// XCB each queue the events that arrive before a reply they wait for. The
// socket is read for more only on request, when poll() said it is
// readable, so looking for events costs no system call. An error found
// among the events (of a request sent without waiting for it) counts as an
// error of the connection.
//
// Not thread-safe: the backend's mutex guards it and the watches.
#pragma once

#include <vector>

#include <X11/Xlib.h>
#include <xcb/xcb.h>

class X11Connection;

class RandrEvents {
public:
    // A watcher's share of the announcements.
    struct Watch {
        // A change was announced since the watcher last took one.
        bool announced = false;
        // The watcher waits in poll(): an announcement must write `wakeFd`
        // to reach it.
        bool blocked = false;
        int wakeFd = -1;
    };

    // Selects the events on the root window; false when the server refused.
    static bool select(X11Connection& connection);

    explicit RandrEvents(X11Connection& connection);

    // Handles every event Xlib or XCB has queued, without reading the socket.
    void takeQueued();
    // Reads the socket once (it is readable), then handles every event.
    void readAvailable();

    // An event since clearStale() said the configuration may have changed.
    bool stale() const { return stale_; }
    void clearStale() { stale_ = false; }

    void addWatch(Watch& watch);
    void removeWatch(Watch& watch);

private:
    // A RandR event: its number after the extension's first one, and for
    // an RRNotify its kind and (for an output property) the property.
    void handle(int type, int subCode, Atom property);
    void handleXcb(const xcb_generic_event_t& event);
    void announce();

    X11Connection& connection_;
    Atom edid_;
    bool stale_ = true;
    std::vector<Watch*> watches_;
};
