#include "platform/x11/x11_display_system.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <xcb/randr.h>

#include "platform/x11/gamma_resample.h"
#include "platform/x11/icc_publication.h"
#include "platform/x11/randr_snapshot.h"
#include "platform/x11/x11_change_waiter.h"
#include "platform/x11/x11_link.h"

namespace {

// Device-context handles are numbers of our own, never reused, so a
// released handle can never reach another display.
constexpr std::uintptr_t firstHandle = 0x1000;

struct DeviceContext {
    RROutput output = 0;
    RRCrtc crtc = 0;
    int gammaSize = 0;
};

struct ScreenResourcesDeleter {
    void operator()(XRRScreenResources* p) const { XRRFreeScreenResources(p); }
};
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename Reply>
using XcbReply = std::unique_ptr<Reply, FreeDeleter>;

// The reply to `cookie`; null when the server answered with an error (which
// is dropped: the call fails) or the connection broke.
template <typename Reply, typename Cookie>
XcbReply<Reply> awaitReply(Reply* (*reply)(xcb_connection_t*, Cookie, xcb_generic_error_t**),
                           xcb_connection_t* c, Cookie cookie) {
    xcb_generic_error_t* error = nullptr;
    XcbReply<Reply> r(reply(c, cookie, &error));
    std::free(error);
    return r;
}

}  // namespace

struct X11DisplaySystem::State {
    explicit State(std::unique_ptr<X11Connection> c)
        : link(std::make_shared<X11Link>(std::move(c))),
          connection(link->connection.get()),
          events(link->events),
          publication(*connection),
          firstRequest(connection->lastRequest()) {}

    const std::shared_ptr<X11Link> link;
    X11Connection* const connection;
    RandrEvents& events;

    // The configuration as last read. Replaced whole, never changed, so an
    // enumeration under way keeps the one it began with.
    std::shared_ptr<const RandrSnapshot> snapshot = std::make_shared<const RandrSnapshot>();
    bool haveSnapshot = false;
    // The enumerations under way, by thread (the main thread and the loop
    // thread may each be in one): the snapshot each began with, and whether
    // it is a listing of adapters (which spans the monitor, current-mode and
    // mode queries made between its indices) or of one output's modes.
    struct Enumeration {
        std::shared_ptr<const RandrSnapshot> snapshot;
        bool adapters = false;
    };
    std::map<std::thread::id, Enumeration> enumerations;

    std::map<std::uintptr_t, DeviceContext> contexts;
    std::uintptr_t nextHandle = firstHandle;
    std::map<RRCrtc, int> gammaSizes;
    // The table this backend last wrote to each CRTC.
    std::map<RRCrtc, GammaTable768> lastWritten;
    IccPublication publication;
    RequestCounts counts;
    unsigned long firstRequest;

    Display* dpy() const { return connection->display(); }

    // The check at the start of an enumeration. Every change of the
    // configuration is announced by an event (randr_events.h): while none
    // came, neither in with earlier replies nor on the socket (one read,
    // no request), the snapshot stands. Otherwise one screen-resources round
    // trip (through XCB: a write, a wait and a read), and a new snapshot
    // only when the configuration changed.
    bool refresh() {
        if (connection->lost())
            return haveSnapshot = false;
        if (haveSnapshot) {
            events.readAvailable();
            if (!events.stale())
                return !connection->lost();
        }
        ++counts.screenResources;
        xcb_connection_t* c = connection->xcb();
        const auto check = awaitReply(xcb_randr_get_screen_resources_current_reply, c,
                                      xcb_randr_get_screen_resources_current(c, connection->root()));
        if (!check)
            return haveSnapshot = false;
        // Every event of a change made before the reply is queued now.
        events.takeQueued();
        const ResourceStamp stamp{
            check->timestamp, check->config_timestamp,
            {xcb_randr_get_screen_resources_current_outputs(check.get()),
             std::size_t(xcb_randr_get_screen_resources_current_outputs_length(check.get()))},
            {xcb_randr_get_screen_resources_current_crtcs(check.get()),
             std::size_t(xcb_randr_get_screen_resources_current_crtcs_length(check.get()))}};
        if (haveSnapshot && !events.stale() && snapshot->sameResources(stamp))
            return true;

        // Changed: the whole resources, as Xlib gives them to the reader.
        std::unique_ptr<XRRScreenResources, ScreenResourcesDeleter> resources(
            XRRGetScreenResourcesCurrent(dpy(), connection->root()));
        if (!resources)
            return haveSnapshot = false;
        if (!haveSnapshot ||
            snapshot->crtcIds !=
                std::vector<RRCrtc>(resources->crtcs, resources->crtcs + resources->ncrtc)) {
            gammaSizes.clear();
            lastWritten.clear();
        }
        // The snapshot holds every change up to this reply; events that
        // arrive while it is read mark it for the next check.
        events.takeQueued();
        events.clearStale();
        ++counts.snapshotReads;
        snapshot = std::make_shared<const RandrSnapshot>(readSnapshot(*connection, *resources));
        haveSnapshot = !connection->lost();
        return haveSnapshot;
    }

    // Any other call: the snapshot as it stands, unless an event that came
    // in with a reply said it changed.
    bool current() {
        events.takeQueued();
        if (events.stale() || !haveSnapshot)
            return refresh();
        return !connection->lost();
    }

    const DeviceContext* context(HDC dc) const {
        const auto it = contexts.find(reinterpret_cast<std::uintptr_t>(dc));
        return it == contexts.end() ? nullptr : &it->second;
    }

    // The CRTC still shows a mode on the output the context was opened for.
    bool stillDrives(const DeviceContext& dc) {
        return current() && snapshot->drives(dc.crtc, dc.output);
    }

    // The context behind `handle` while its output drives a CRTC. The
    // context follows its output: when the server has moved the output to
    // another CRTC (off and on again, a layout re-applied after resume),
    // the new CRTC serves, so the display keeps its calibration.
    std::optional<DeviceContext> usableContext(HDC handle) {
        const auto it = contexts.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == contexts.end() || !current())
            return std::nullopt;
        DeviceContext& dc = it->second;
        if (!snapshot->drives(dc.crtc, dc.output)) {
            const OutputState* output = snapshot->outputWithId(dc.output);
            if (!output || !output->active())
                return std::nullopt;
            const int size = gammaSize(output->crtc);
            if (size <= 0)
                return std::nullopt;
            dc.crtc = output->crtc;
            dc.gammaSize = size;
        }
        return dc;
    }

    // An enumeration of this thread begins (index 0): a fresh look at the
    // configuration, which every later call of the enumeration answers
    // from. False when the server cannot be asked.
    bool beginEnumeration(bool adapters) {
        const std::thread::id self = std::this_thread::get_id();
        if (!refresh()) {
            enumerations.erase(self);
            return false;
        }
        enumerations[self] = Enumeration{snapshot, adapters};
        return true;
    }

    // The enumeration of this thread ended (its index ran past the end).
    void endEnumeration(bool adapters) {
        const auto it = enumerations.find(std::this_thread::get_id());
        if (it != enumerations.end() && it->second.adapters == adapters)
            enumerations.erase(it);
    }

    const Enumeration* enumeration() const {
        const auto it = enumerations.find(std::this_thread::get_id());
        return it == enumerations.end() ? nullptr : &it->second;
    }

    // What an enumeration call answers from: the snapshot the thread's
    // enumeration began with, so that an output added or removed meanwhile
    // is neither skipped nor listed twice in it; outside one, the current
    // snapshot. Null when there is none.
    const RandrSnapshot* enumerated() {
        if (const Enumeration* e = enumeration())
            return e->snapshot.get();
        return current() ? snapshot.get() : nullptr;
    }

    int gammaSize(RRCrtc crtc) {
        const auto known = gammaSizes.find(crtc);
        if (known != gammaSizes.end())
            return known->second;
        connection->clearErrors();
        const int size = XRRGetCrtcGammaSize(dpy(), crtc);
        if (!connection->clean() || size <= 0)
            return 0;
        return gammaSizes[crtc] = size;
    }
};

namespace {

// One call of the interface, holding the link's mutex. On the way out it
// handles the events that came in with the call's replies, so that a waiter
// blocked in poll() hears of them: the socket will not tell it again.
class Call {
public:
    explicit Call(X11Link& link) : link_(link), lock_(link.mutex) {}
    ~Call() { link_.events.takeQueued(); }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

private:
    X11Link& link_;
    std::lock_guard<std::mutex> lock_;
};

}  // namespace

X11DisplaySystem::X11DisplaySystem(std::unique_ptr<State> state) : state_(std::move(state)) {}

X11DisplaySystem::~X11DisplaySystem() = default;

std::unique_ptr<X11DisplaySystem> X11DisplaySystem::open(const char* displayName) {
    auto connection = X11Connection::open(displayName);
    if (!connection)
        return nullptr;
    if (!RandrEvents::select(*connection))
        return nullptr;
    auto state = std::make_unique<State>(std::move(connection));
    if (!state->refresh())
        return nullptr;
    return std::unique_ptr<X11DisplaySystem>(new X11DisplaySystem(std::move(state)));
}

bool X11DisplaySystem::enumDisplayDevices(const char* device, DWORD index, DISPLAY_DEVICEA* out) {
    State& s = *state_;
    const Call call(*s.link);
    if (!out)
        return false;
    if (!device) {
        // Adapter 0 begins an enumeration, which deserves a fresh look and
        // sees that one configuration to its end.
        if (index == 0 && !s.beginEnumeration(true))
            return false;
        const RandrSnapshot* snapshot = s.enumerated();
        if (!snapshot)
            return false;
        if (index >= snapshot->outputs.size()) {
            s.endEnumeration(true);
            return false;
        }
        *out = snapshot->outputs[index].adapter;
        return true;
    }
    const RandrSnapshot* snapshot = s.enumerated();
    if (!snapshot)
        return false;
    const OutputState* output = snapshot->output(device);
    if (!output || !output->connected || index != 0)
        return false;
    *out = output->monitor;
    return true;
}

bool X11DisplaySystem::enumDisplaySettings(const char* deviceName, DWORD modeIndex, DEVMODEA* out) {
    State& s = *state_;
    const Call call(*s.link);
    if (!deviceName || !out)
        return false;
    // Mode 0 begins a listing of all modes, which deserves a fresh look,
    // unless it is part of an enumeration of the adapters.
    const State::Enumeration* under = s.enumeration();
    if (modeIndex == 0 && !(under && under->adapters) && !s.beginEnumeration(false))
        return false;
    const RandrSnapshot* snapshot = s.enumerated();
    if (!snapshot)
        return false;
    const OutputState* output = snapshot->output(deviceName);
    if (!output) {
        if (modeIndex != ENUM_CURRENT_SETTINGS)
            s.endEnumeration(false);
        return false;
    }
    if (modeIndex == ENUM_CURRENT_SETTINGS) {
        if (!output->current)
            return false;
        *out = *output->current;
        return true;
    }
    if (modeIndex >= output->modes.size()) {
        s.endEnumeration(false);
        return false;
    }
    *out = output->modes[modeIndex];
    return true;
}

HDC X11DisplaySystem::createDC(const char* deviceName) {
    State& s = *state_;
    const Call call(*s.link);
    // A fresh look: the context is the CRTC that drives the output now.
    if (!deviceName || !s.refresh())
        return nullptr;
    const OutputState* output = s.snapshot->output(deviceName);
    if (!output || !output->active())
        return nullptr;
    DeviceContext dc{output->id, output->crtc, s.gammaSize(output->crtc)};
    if (dc.gammaSize <= 0)
        return nullptr;
    const std::uintptr_t handle = s.nextHandle++;
    s.contexts[handle] = dc;
    return reinterpret_cast<HDC>(handle);
}

void X11DisplaySystem::deleteDC(HDC dc) {
    State& s = *state_;
    const Call call(*s.link);
    s.contexts.erase(reinterpret_cast<std::uintptr_t>(dc));
}

bool X11DisplaySystem::setDeviceGammaRamp(HDC handle, const GammaTable768& table) {
    State& s = *state_;
    const Call call(*s.link);
    const std::optional<DeviceContext> usable = s.usableContext(handle);
    if (!usable)
        return false;
    const DeviceContext dc = *usable;

    const CrtcGamma gamma = gammaForCrtc(table, dc.gammaSize);
    XRRCrtcGamma* request = XRRAllocGamma(dc.gammaSize);
    if (!request)
        return false;
    std::copy(gamma.red.begin(), gamma.red.end(), request->red);
    std::copy(gamma.green.begin(), gamma.green.end(), request->green);
    std::copy(gamma.blue.begin(), gamma.blue.end(), request->blue);
    s.connection->clearErrors();
    XRRSetCrtcGamma(s.dpy(), dc.crtc, request);
    XRRFreeGamma(request);
    if (!s.connection->sync())
        return false;
    s.lastWritten[dc.crtc] = table;
    // The sync also brought in the events of anything that moved meanwhile.
    return s.stillDrives(dc);
}

bool X11DisplaySystem::getDeviceGammaRamp(HDC handle, GammaTable768& table) {
    GammaRead read{handle, &table, false};
    getDeviceGammaRamps({&read, 1});
    return read.ok;
}

void X11DisplaySystem::getDeviceGammaRamps(std::span<GammaRead> reads) {
    State& s = *state_;
    const Call call(*s.link);
    // Through XCB: every request is queued, the first wait sends them all in
    // one write, and the replies come back together.
    xcb_connection_t* c = s.connection->xcb();
    struct Pending {
        GammaRead* read;
        DeviceContext dc;
        xcb_randr_get_crtc_gamma_cookie_t cookie;
    };
    std::vector<Pending> pending;
    pending.reserve(reads.size());
    for (GammaRead& read : reads) {
        read.ok = false;
        if (const std::optional<DeviceContext> usable = s.usableContext(read.dc))
            pending.push_back({&read, *usable, xcb_randr_get_crtc_gamma(c, usable->crtc)});
    }
    for (Pending& p : pending) {
        const auto reply = awaitReply(xcb_randr_get_crtc_gamma_reply, c, p.cookie);
        if (!reply || reply->size == 0)
            continue;
        CrtcGamma gamma;
        const std::uint16_t* red = xcb_randr_get_crtc_gamma_red(reply.get());
        const std::uint16_t* green = xcb_randr_get_crtc_gamma_green(reply.get());
        const std::uint16_t* blue = xcb_randr_get_crtc_gamma_blue(reply.get());
        gamma.red.assign(red, red + reply->size);
        gamma.green.assign(green, green + reply->size);
        gamma.blue.assign(blue, blue + reply->size);
        if (!s.stillDrives(p.dc))
            continue;
        const auto written = s.lastWritten.find(p.dc.crtc);
        *p.read->table =
            readBackTable(gamma, written == s.lastWritten.end() ? nullptr : &written->second);
        p.read->ok = true;
    }
}

void X11DisplaySystem::publishProfile(const char* deviceName,
                                      std::span<const std::uint8_t> profile) {
    State& s = *state_;
    const Call call(*s.link);
    if (deviceName && s.current())
        s.publication.publish(*s.snapshot, unsigned(s.counts.snapshotReads), deviceName, profile);
}

void X11DisplaySystem::withdrawProfile(const char* deviceName) {
    State& s = *state_;
    const Call call(*s.link);
    if (deviceName && !s.connection->lost())
        s.publication.withdraw(deviceName);
}

std::unique_ptr<ChangeWaiter> X11DisplaySystem::watchChanges() {
    if (auto waiter = X11ChangeWaiter::watch(state_->link))
        return waiter;
    return DisplaySystem::watchChanges();
}

X11DisplaySystem::RequestCounts X11DisplaySystem::requestCounts() const {
    const Call call(*state_->link);
    RequestCounts counts = state_->counts;
    counts.xRequests = state_->connection->lastRequest() - state_->firstRequest;
    return counts;
}
