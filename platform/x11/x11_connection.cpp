#include "platform/x11/x11_connection.h"

#include <map>
#include <mutex>

#include <X11/Xlib-xcb.h>
#include <X11/Xlibint.h>
#include <X11/extensions/Xrandr.h>

namespace {

// Xlib's I/O error handler is one per process and gets no user data, so the
// connections that must survive a lost server are listed here.
struct LostConnectionPolicy {
    std::mutex mutex;
    std::map<Display*, X11Connection*> ours;
    XIOErrorHandler previous = nullptr;
};

LostConnectionPolicy& policy() {
    static LostConnectionPolicy p;
    return p;
}

}  // namespace

// The Xlib callbacks, with access to the connection they report on.
struct X11ConnectionHooks {
    static X11Connection* find(Display* display) {
        std::lock_guard lock(policy().mutex);
        const auto it = policy().ours.find(display);
        return it == policy().ours.end() ? nullptr : it->second;
    }

    // Called by Xlib for every error on a connection that registered it,
    // before any process-wide handler; a true result means "handled".
    static int onProtocolError(Display* display, xError*, XExtCodes*, int* result) {
        X11Connection* connection = find(display);
        if (!connection)
            return 0;
        ++connection->errors_;
        *result = 0;
        return 1;
    }

    // Returning lets Xlib go on to the connection's exit handler (below)
    // instead of ending the process; other connections keep what they had.
    static int onIOError(Display* display) {
        XIOErrorHandler previous;
        {
            std::lock_guard lock(policy().mutex);
            if (policy().ours.count(display))
                return 0;
            previous = policy().previous;
        }
        return previous ? previous(display) : 0;
    }

    static void onExit(Display*, void* self) { static_cast<X11Connection*>(self)->lost_ = true; }
};

X11Connection::X11Connection(Display* display)
    : display_(display),
      xcb_(XGetXCBConnection(display)),
      root_(DefaultRootWindow(display)),
      screen_(DefaultScreen(display)) {}

std::unique_ptr<X11Connection> X11Connection::open(const char* displayName) {
    Display* display = XOpenDisplay(displayName);
    if (!display)
        return nullptr;
    std::unique_ptr<X11Connection> connection(new X11Connection(display));

    // The hooks first, so that nothing asked of this server can end the process.
    static std::once_flag installed;
    std::call_once(installed,
                   [] { policy().previous = XSetIOErrorHandler(X11ConnectionHooks::onIOError); });
    {
        std::lock_guard lock(policy().mutex);
        policy().ours[display] = connection.get();
    }
    XSetIOErrorExitHandler(display, X11ConnectionHooks::onExit, connection.get());
    XExtCodes* codes = XAddExtension(display);
    if (!codes)
        return nullptr;
    XESetError(display, codes->extension, X11ConnectionHooks::onProtocolError);

    int errorBase = 0;
    if (!XRRQueryExtension(display, &connection->eventBase_, &errorBase) ||
        !XRRQueryVersion(display, &connection->major_, &connection->minor_) ||
        !connection->atLeast(1, 3))
        return nullptr;
    return connection;
}

X11Connection::~X11Connection() {
    // Closing a lost connection only frees what Xlib holds; the hooks stay
    // registered until the display is gone so nothing reaches the defaults.
    XCloseDisplay(display_);
    std::lock_guard lock(policy().mutex);
    policy().ours.erase(display_);
}

unsigned long X11Connection::lastRequest() const {
    // XNextRequest catches up with the requests sent through XCB.
    return XNextRequest(display_) - 1;
}

bool X11Connection::sync() {
    if (lost_)
        return false;
    XSync(display_, False);
    return clean();
}
