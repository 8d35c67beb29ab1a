#include "platform/x11/randr_snapshot.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <set>

#include <X11/Xatom.h>

#include "platform/x11/display_records.h"
#include "platform/x11/mode_order.h"
#include "platform/x11/x11_connection.h"

namespace {

// Without a RandR provider (servers before 1.4, or drivers that register
// none, like the dummy driver) every output gets this description.
constexpr char fixedAdapterDescription[] = "X11 RandR Display Output";
constexpr DWORD positionField = 0x00000020;  // DM_POSITION
// An EDID is at most 256 blocks of 128 bytes; the request counts 32-bit units.
constexpr long maxEdidLongs = 256 * 128 / 4;

struct XFreeDeleter {
    void operator()(void* p) const { XFree(p); }
};
struct OutputInfoDeleter {
    void operator()(XRROutputInfo* p) const { XRRFreeOutputInfo(p); }
};
struct CrtcInfoDeleter {
    void operator()(XRRCrtcInfo* p) const { XRRFreeCrtcInfo(p); }
};
struct ProviderResourcesDeleter {
    void operator()(XRRProviderResources* p) const { XRRFreeProviderResources(p); }
};
struct ProviderInfoDeleter {
    void operator()(XRRProviderInfo* p) const { XRRFreeProviderInfo(p); }
};

ModeTiming timingOf(const XRRModeInfo& mode) {
    ModeTiming t;
    t.width = mode.width;
    t.height = mode.height;
    t.dotClock = mode.dotClock;
    t.hTotal = mode.hTotal;
    t.vTotal = mode.vTotal;
    t.interlaced = (mode.modeFlags & RR_Interlace) != 0;
    return t;
}

// The name of the provider (graphics card or driver) each output belongs to.
std::map<RROutput, std::string> providerNames(X11Connection& connection,
                                              const XRRScreenResources& resources) {
    std::map<RROutput, std::string> names;
    if (!connection.hasProviders())
        return names;
    Display* dpy = connection.display();
    std::unique_ptr<XRRProviderResources, ProviderResourcesDeleter> providers(
        XRRGetProviderResources(dpy, connection.root()));
    if (!providers)
        return names;
    for (int p = 0; p < providers->nproviders; ++p) {
        std::unique_ptr<XRRProviderInfo, ProviderInfoDeleter> info(XRRGetProviderInfo(
            dpy, const_cast<XRRScreenResources*>(&resources), providers->providers[p]));
        if (!info || !info->name)
            continue;
        for (int o = 0; o < info->noutputs; ++o) names.emplace(info->outputs[o], info->name);
    }
    return names;
}

std::vector<CrtcState> readCrtcs(X11Connection& connection, const XRRScreenResources& resources) {
    std::vector<CrtcState> crtcs;
    for (int i = 0; i < resources.ncrtc; ++i) {
        std::unique_ptr<XRRCrtcInfo, CrtcInfoDeleter> info(XRRGetCrtcInfo(
            connection.display(), const_cast<XRRScreenResources*>(&resources), resources.crtcs[i]));
        if (!info)
            continue;
        CrtcState crtc;
        crtc.id = resources.crtcs[i];
        crtc.mode = info->mode;
        crtc.x = info->x;
        crtc.y = info->y;
        crtc.outputs.assign(info->outputs, info->outputs + info->noutput);
        crtcs.push_back(std::move(crtc));
    }
    return crtcs;
}

// The output's "EDID" property; empty when it has none.
std::vector<std::uint8_t> readEdid(X11Connection& connection, RROutput output, Atom edidAtom) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    if (XRRGetOutputProperty(connection.display(), output, edidAtom, 0, maxEdidLongs, False, False,
                             AnyPropertyType, &type, &format, &count, &remaining, &data) != Success)
        return {};
    std::unique_ptr<unsigned char, XFreeDeleter> owned(data);
    if (!data || type != XA_INTEGER || format != 8)
        return {};
    return std::vector<std::uint8_t>(data, data + count);
}

// The snapshot's crtc `id` when it shows a mode, else null.
const CrtcState* lit(const std::vector<CrtcState>& crtcs, RRCrtc id) {
    for (const CrtcState& c : crtcs)
        if (c.id == id)
            return c.mode != None ? &c : nullptr;
    return nullptr;
}

}  // namespace

const OutputState* RandrSnapshot::output(std::string_view deviceName) const {
    for (const OutputState& o : outputs)
        if (deviceName == o.adapter.DeviceName)
            return &o;
    return nullptr;
}

const OutputState* RandrSnapshot::outputWithId(RROutput id) const {
    for (const OutputState& o : outputs)
        if (o.id == id)
            return &o;
    return nullptr;
}

bool RandrSnapshot::drives(RRCrtc id, RROutput output) const {
    const CrtcState* c = lit(crtcs, id);
    return c && std::find(c->outputs.begin(), c->outputs.end(), output) != c->outputs.end();
}

bool RandrSnapshot::sameResources(const ResourceStamp& r) const {
    return r.timestamp == timestamp && r.configTimestamp == configTimestamp &&
           std::equal(outputIds.begin(), outputIds.end(), r.outputs.begin(), r.outputs.end()) &&
           std::equal(crtcIds.begin(), crtcIds.end(), r.crtcs.begin(), r.crtcs.end());
}

RandrSnapshot readSnapshot(X11Connection& connection, const XRRScreenResources& resources) {
    Display* dpy = connection.display();
    RandrSnapshot s;
    s.timestamp = resources.timestamp;
    s.configTimestamp = resources.configTimestamp;
    s.outputIds.assign(resources.outputs, resources.outputs + resources.noutput);
    s.crtcIds.assign(resources.crtcs, resources.crtcs + resources.ncrtc);
    s.crtcs = readCrtcs(connection, resources);

    const DWORD bitsPerPel = bitsPerPelForDepth(DefaultDepth(dpy, connection.screen()));
    const RROutput primary =
        connection.hasPrimaryOutput() ? XRRGetOutputPrimary(dpy, connection.root()) : 0;
    const auto providers = providerNames(connection, resources);
    const Atom edidAtom = XInternAtom(dpy, RR_PROPERTY_RANDR_EDID, False);
    std::map<RRMode, const XRRModeInfo*> modes;
    for (int m = 0; m < resources.nmode; ++m) modes[resources.modes[m].id] = &resources.modes[m];

    std::set<RRCrtc> driven;
    for (int i = 0; i < resources.noutput; ++i) {
        const RROutput id = resources.outputs[i];
        std::unique_ptr<XRROutputInfo, OutputInfoDeleter> info(
            XRRGetOutputInfo(dpy, const_cast<XRRScreenResources*>(&resources), id));
        if (!info)
            continue;
        OutputState out;
        out.id = id;
        const std::string name(info->name, info->nameLen);
        const CrtcState* crtc = info->crtc ? lit(s.crtcs, info->crtc) : nullptr;
        // Outputs that show one CRTC's picture (a mirror on one CRTC) share
        // its one gamma table: only the first of them in the server's order
        // is an active display, so two calibrations never take turns on it.
        if (crtc && driven.count(crtc->id))
            crtc = nullptr;
        if (crtc)
            driven.insert(crtc->id);
        out.crtc = crtc ? crtc->id : 0;
        // RandR updates the connection state only when some client makes the
        // server probe, which this backend never does; an output that shows
        // a mode has a monitor whatever its last probe said.
        out.connected = info->connection == RR_Connected || out.active();

        std::vector<DEVMODEA> listed;
        for (int m = 0; m < info->nmode; ++m) {
            const auto mode = modes.find(info->modes[m]);
            if (mode != modes.end())
                listed.push_back(modeRecord(name, timingOf(*mode->second), bitsPerPel));
        }
        out.modes = modesGroupedBySize(listed);
        if (crtc) {
            const auto mode = modes.find(crtc->mode);
            if (mode != modes.end()) {
                out.current = modeRecord(name, timingOf(*mode->second), bitsPerPel);
                out.current->dmPosition = {crtc->x, crtc->y};
                out.current->dmFields |= positionField;
            }
        }

        const auto provider = providers.find(id);
        DWORD adapterFlags = out.active() ? DISPLAY_DEVICE_ATTACHED_TO_DESKTOP : 0;
        if (id == primary)
            adapterFlags |= DISPLAY_DEVICE_PRIMARY_DEVICE;
        out.adapter = adapterRecord(
            name, provider != providers.end() ? provider->second : fixedAdapterDescription,
            adapterFlags);
        if (out.connected)
            out.monitor = monitorRecord(name, readEdid(connection, id, edidAtom), out.active());
        s.outputs.push_back(std::move(out));
    }
    return s;
}
