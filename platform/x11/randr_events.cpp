#include "platform/x11/randr_events.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include <sys/eventfd.h>
#include <unistd.h>

#include <X11/extensions/Xrandr.h>
#include <xcb/randr.h>

#include "platform/x11/x11_connection.h"

namespace {

constexpr int configurationEvents = RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask |
                                    RROutputChangeNotifyMask | RROutputPropertyNotifyMask;
constexpr int resourceEvents = RRProviderChangeNotifyMask | RRResourceChangeNotifyMask;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
using Event = std::unique_ptr<xcb_generic_event_t, FreeDeleter>;

}  // namespace

bool RandrEvents::select(X11Connection& connection) {
    XRRSelectInput(connection.display(), connection.root(),
                   configurationEvents | (connection.hasProviders() ? resourceEvents : 0));
    // Waited for at once, so that an error of this request fails here.
    return connection.sync();
}

RandrEvents::RandrEvents(X11Connection& connection)
    : connection_(connection),
      edid_(XInternAtom(connection.display(), RR_PROPERTY_RANDR_EDID, False)) {}

void RandrEvents::takeQueued() {
    if (connection_.lost())
        return;
    // What Xlib took in along with the replies of its own requests; with
    // events queued, XNextEvent does not read.
    Display* dpy = connection_.display();
    while (XEventsQueued(dpy, QueuedAlready) > 0) {
        XEvent event;
        XNextEvent(dpy, &event);
        const int type = event.type - connection_.randrEventBase();
        const auto& notify = reinterpret_cast<const XRRNotifyEvent&>(event);
        const bool property = type == RRNotify && notify.subtype == RRNotify_OutputProperty;
        handle(type, type == RRNotify ? notify.subtype : -1,
               property ? reinterpret_cast<const XRROutputPropertyNotifyEvent&>(event).property
                        : None);
    }
    // What XCB took in along with the replies of requests sent through it.
    while (Event event{xcb_poll_for_queued_event(connection_.xcb())}) handleXcb(*event);
}

void RandrEvents::readAvailable() {
    if (connection_.lost())
        return;
    // One read of the socket (an empty one when another caller took the
    // data meanwhile; on a broken connection lost() says so from then on).
    if (Event event{xcb_poll_for_event(connection_.xcb())})
        handleXcb(*event);
    takeQueued();
}

void RandrEvents::handleXcb(const xcb_generic_event_t& event) {
    if (event.response_type == 0) {
        connection_.countError();
        return;
    }
    const int type = (event.response_type & 0x7f) - connection_.randrEventBase();
    const auto& notify = reinterpret_cast<const xcb_randr_notify_event_t&>(event);
    const bool property = type == RRNotify && notify.subCode == XCB_RANDR_NOTIFY_OUTPUT_PROPERTY;
    handle(type, type == RRNotify ? notify.subCode : -1, property ? notify.u.op.atom : None);
}

void RandrEvents::handle(int type, int subCode, Atom property) {
    if (type == RRScreenChangeNotify) {
        stale_ = true;
        announce();
        return;
    }
    if (type != RRNotify)
        return;
    switch (subCode) {
        case RRNotify_CrtcChange:
        case RRNotify_OutputChange:
        case RRNotify_ResourceChange:
            stale_ = true;
            announce();
            break;
        case RRNotify_OutputProperty:
            // Another monitor on the output; other properties (a backlight
            // level, a published profile) change nothing the program reads.
            if (property == edid_) {
                stale_ = true;
                announce();
            }
            break;
        default:
            stale_ = true;
            break;
    }
}

void RandrEvents::announce() {
    for (Watch* watch : watches_) {
        watch->announced = true;
        if (watch->blocked) {
            watch->blocked = false;
            eventfd_write(watch->wakeFd, 1);
        }
    }
}

void RandrEvents::addWatch(Watch& watch) {
    watches_.push_back(&watch);
}

void RandrEvents::removeWatch(Watch& watch) {
    watches_.erase(std::remove(watches_.begin(), watches_.end(), &watch), watches_.end());
}
