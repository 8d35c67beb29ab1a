// The backend's own Xlib connection: opening it (RandR 1.2 or later
// required), recording the protocol errors of its requests, and surviving
// the loss of the server.
//
// Protocol errors are taken by a hook registered on this connection alone
// (XESetError), so a failed request fails the one call that made it and
// neither the process-wide error handler nor any other connection is
// touched. When the connection breaks, the process-wide I/O error handler
// lets Xlib carry on for this connection only (others keep the handler they
// had); every later request fails.
//
// Requests may be made through Xlib or, where a round trip must cost no
// more than a write, a wait and a read, through XCB on the same connection.
// Events are the owner's business (randr_events.h): Xlib is never asked for
// them, since asking reads the socket.
//
// Not thread-safe: the owner serialises all use.
#pragma once

#include <memory>

#include <X11/Xlib.h>
#include <xcb/xcb.h>

class X11Connection {
public:
    // Null when there is no server at `displayName` (null: $DISPLAY) or it
    // offers no RandR 1.2 or later.
    static std::unique_ptr<X11Connection> open(const char* displayName);
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    Display* display() const { return display_; }
    xcb_connection_t* xcb() const { return xcb_; }
    // The socket, to wait on with poll().
    int fd() const { return ConnectionNumber(display_); }
    Window root() const { return root_; }
    int screen() const { return screen_; }
    int randrEventBase() const { return eventBase_; }
    // Primary output (1.3) and providers with resource events (1.4).
    bool hasPrimaryOutput() const { return atLeast(1, 3); }
    bool hasProviders() const { return atLeast(1, 4); }
    // The monitor list (1.5), in the order the server's Xinerama gives.
    bool hasMonitors() const { return atLeast(1, 5); }

    // True once the server is gone; nothing should be asked of it then.
    bool lost() const { return lost_ || xcb_connection_has_error(xcb_) != 0; }
    // The sequence number of the last request sent through Xlib or XCB.
    unsigned long lastRequest() const;

    // Requests whose failure matters are framed by clearErrors() and a check.
    void clearErrors() { errors_ = 0; }
    // An error of an Xlib request that the owner found among the events.
    void countError() { ++errors_; }
    // A round trip; true when the server reported no error since
    // clearErrors() and the connection still lives.
    bool sync();
    // True when no error arrived since clearErrors() (replies already
    // waited for need no sync).
    bool clean() const { return errors_ == 0 && !lost_; }

private:
    explicit X11Connection(Display* display);
    bool atLeast(int major, int minor) const {
        return major_ > major || (major_ == major && minor_ >= minor);
    }
    friend struct X11ConnectionHooks;

    Display* display_;
    xcb_connection_t* xcb_;
    Window root_ = 0;
    int screen_ = 0;
    int eventBase_ = 0;
    int major_ = 0;
    int minor_ = 0;
    int errors_ = 0;
    bool lost_ = false;
};
