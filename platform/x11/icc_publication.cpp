#include "platform/x11/icc_publication.h"

#include <algorithm>
#include <memory>
#include <optional>

#include <X11/Xatom.h>

#include "platform/x11/randr_snapshot.h"
#include "platform/x11/x11_connection.h"

namespace {

constexpr char version[] = "0.4";
// Enough 32-bit units for the largest profile the program keeps.
constexpr long maxPropertyLongs = 16L * 1024 * 1024 / 4 + 1;

struct XFreeDeleter {
    void operator()(void* p) const { XFree(p); }
};
struct MonitorsDeleter {
    void operator()(XRRMonitorInfo* p) const { XRRFreeMonitors(p); }
};

// What an 8-bit property holds, when it is there and of `type`.
std::optional<std::vector<std::uint8_t>> bytesOf(Atom actualType, int format, unsigned long count,
                                                 unsigned char* data, Atom type) {
    std::unique_ptr<unsigned char, XFreeDeleter> owned(data);
    if (actualType != type || format != 8 || !data)
        return std::nullopt;
    return std::vector<std::uint8_t>(data, data + count);
}

std::optional<std::vector<std::uint8_t>> readRootProperty(Display* dpy, Window root, Atom atom,
                                                          Atom type) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy, root, atom, 0, maxPropertyLongs, False, AnyPropertyType,
                           &actualType, &format, &count, &remaining, &data) != Success)
        return std::nullopt;
    return bytesOf(actualType, format, count, data, type);
}

std::optional<std::vector<std::uint8_t>> readOutputProperty(Display* dpy, RROutput output,
                                                            Atom atom) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    if (XRRGetOutputProperty(dpy, output, atom, 0, maxPropertyLongs, False, False,
                             AnyPropertyType, &actualType, &format, &count, &remaining,
                             &data) != Success)
        return std::nullopt;
    return bytesOf(actualType, format, count, data, XA_CARDINAL);
}

}  // namespace

IccPublication::IccPublication(X11Connection& connection)
    : connection_(connection),
      profileAtom_(XInternAtom(connection.display(), "_ICC_PROFILE", False)),
      versionAtom_(XInternAtom(connection.display(), "_ICC_PROFILE_IN_X_VERSION", False)) {}

Atom IccPublication::rootAtom(int index) {
    if (index == 0)
        return profileAtom_;
    const std::string name = "_ICC_PROFILE_" + std::to_string(index);
    return XInternAtom(connection_.display(), name.c_str(), False);
}

int IccPublication::screenIndex(const RandrSnapshot& snapshot, RROutput output) {
    std::vector<std::vector<RROutput>> screens;  // each screen's outputs
    int primary = -1;
    if (connection_.hasMonitors()) {
        int count = 0;
        std::unique_ptr<XRRMonitorInfo, MonitorsDeleter> monitors(
            XRRGetMonitors(connection_.display(), connection_.root(), True, &count));
        for (int m = 0; monitors && m < count; ++m) {
            screens.emplace_back(monitors.get()[m].outputs,
                                 monitors.get()[m].outputs + monitors.get()[m].noutput);
            if (monitors.get()[m].primary && primary < 0)
                primary = m;
        }
    } else {
        // Before RandR 1.5 every lit CRTC is a screen, in the server's order.
        for (const OutputState& o : snapshot.outputs) {
            if (!o.active())
                continue;
            if (o.adapter.StateFlags & DISPLAY_DEVICE_PRIMARY_DEVICE)
                primary = int(screens.size());
            screens.push_back({o.id});
        }
    }
    // Xinerama lists the primary monitor first.
    if (primary > 0)
        std::rotate(screens.begin(), screens.begin() + primary, screens.begin() + primary + 1);
    for (std::size_t i = 0; i < screens.size(); ++i)
        if (std::find(screens[i].begin(), screens[i].end(), output) != screens[i].end())
            return int(i);
    return -1;
}

void IccPublication::publish(const RandrSnapshot& snapshot, unsigned long configuration,
                             const std::string& name, std::span<const std::uint8_t> profile) {
    const OutputState* output = snapshot.output(name);
    if (!output || !output->active() || profile.empty())
        return;
    const auto held = published_.find(name);
    if (held != published_.end() && held->second.output == output->id &&
        held->second.configuration == configuration &&
        std::equal(profile.begin(), profile.end(), held->second.bytes.begin(),
                   held->second.bytes.end()))
        return;

    Display* dpy = connection_.display();
    const int index = screenIndex(snapshot, output->id);
    const Atom atom = index >= 0 ? rootAtom(index) : None;
    connection_.clearErrors();
    // Where this output's profile stood before (another screen's place, or
    // another output's property): taken back if it is still ours.
    if (held != published_.end()) {
        if (held->second.rootAtom != None && held->second.rootAtom != atom)
            deleteRootPropertyIf(held->second.rootAtom, held->second.bytes);
        if (held->second.output != output->id)
            deleteOutputPropertyIf(held->second.output, held->second.bytes);
    }
    const int length = static_cast<int>(profile.size());
    XRRChangeOutputProperty(dpy, output->id, profileAtom_, XA_CARDINAL, 8, PropModeReplace,
                            profile.data(), length);
    if (atom != None)
        XChangeProperty(dpy, connection_.root(), atom, XA_CARDINAL, 8, PropModeReplace,
                        profile.data(), length);
    setVersion();
    connection_.sync();
    published_[name] = Published{output->id, {profile.begin(), profile.end()}, atom, configuration};
}

void IccPublication::withdraw(const std::string& name) {
    const auto held = published_.find(name);
    if (held == published_.end())
        return;
    connection_.clearErrors();
    deleteOutputPropertyIf(held->second.output, held->second.bytes);
    if (held->second.rootAtom != None)
        deleteRootPropertyIf(held->second.rootAtom, held->second.bytes);
    published_.erase(held);
    dropVersionWhenUnused();
    connection_.sync();
}

void IccPublication::deleteOutputPropertyIf(RROutput output,
                                            const std::vector<std::uint8_t>& bytes) {
    if (readOutputProperty(connection_.display(), output, profileAtom_) == bytes)
        XRRDeleteOutputProperty(connection_.display(), output, profileAtom_);
}

void IccPublication::deleteRootPropertyIf(Atom atom, const std::vector<std::uint8_t>& bytes) {
    if (readRootProperty(connection_.display(), connection_.root(), atom, XA_CARDINAL) == bytes)
        XDeleteProperty(connection_.display(), connection_.root(), atom);
}

void IccPublication::setVersion() {
    Display* dpy = connection_.display();
    const auto held = readRootProperty(dpy, connection_.root(), versionAtom_, XA_STRING);
    const std::vector<std::uint8_t> wanted(version, version + sizeof version - 1);
    if (held == wanted)
        return;
    versionWritten_ = versionWritten_ || !held;
    XChangeProperty(dpy, connection_.root(), versionAtom_, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(version), int(sizeof version - 1));
}

void IccPublication::dropVersionWhenUnused() {
    if (!published_.empty() || !versionWritten_)
        return;
    versionWritten_ = false;
    const std::vector<std::uint8_t> ours(version, version + sizeof version - 1);
    if (readRootProperty(connection_.display(), connection_.root(), versionAtom_, XA_STRING) == ours)
        XDeleteProperty(connection_.display(), connection_.root(), versionAtom_);
}
