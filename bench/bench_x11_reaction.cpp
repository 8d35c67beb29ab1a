// From a mode switch to the new mode's calibration on a real X server
// (Xorg with the dummy driver): another client switches DUMMY0 between two
// modes with XRRSetCrtcConfig, each mode with its own tint, and the time
// from the call's return to the CRTC holding the new mode's tint is taken,
// 20 switches per row (TAVRIN_BENCH_SWITCHES changes it): at
// pollingPeriod 1000 and 10000, with the server's RandR events waking the
// loop ("notifications") and without them (polling alone). Without them
// the switches come at random points of the period; with them the period
// plays no part, and they come 50 to 250 ms apart.
#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <random>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "loop/my_thread.h"
#include "platform/x11/x11_display_system.h"
#include "tests/loop/forwarding_display.h"
#include "tests/loop/loop_state.h"
#include "tests/loop/x11_associations.h"
#include "xorg_server.h"

// Xlib last: its macros must not meet Qt's headers.
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace {

using Clock = std::chrono::steady_clock;

const QStringList modelines = {
    QStringLiteral("\"tavrin_1024x768\" 63.50 1024 1072 1176 1328 768 771 775 798 -hsync +vsync"),
    QStringLiteral("\"tavrin_800x600\" 38.25 800 832 912 1024 600 603 607 624 -hsync +vsync"),
};

XorgServer* startedServer() {
    static XorgServer instance(modelines);
    static const bool started = XorgServer::unavailableReason().isEmpty() && instance.start();
    return started ? &instance : nullptr;
}

// The X11 backend without its announcements: the loop polls, as it did
// before it listened to the server.
class Unannounced : public ForwardingDisplay {
public:
    using ForwardingDisplay::ForwardingDisplay;
    std::unique_ptr<ChangeWaiter> watchChanges() override {
        return DisplaySystem::watchChanges();
    }
};

// Another client that switches DUMMY0's mode and reads its CRTC's gamma.
class Switcher {
public:
    explicit Switcher(const QByteArray& displayName) : dpy_(XOpenDisplay(displayName.constData())) {
        if (!dpy_)
            return;
        resources_ = XRRGetScreenResourcesCurrent(dpy_, DefaultRootWindow(dpy_));
        for (int i = 0; resources_ && i < resources_->noutput; ++i) {
            XRROutputInfo* info = XRRGetOutputInfo(dpy_, resources_, resources_->outputs[i]);
            if (info && std::string(info->name, info->nameLen) == "DUMMY0") {
                output_ = resources_->outputs[i];
                crtc_ = info->crtc;
            }
            XRRFreeOutputInfo(info);
        }
        for (int m = 0; resources_ && m < resources_->nmode; ++m) {
            const std::string name = resources_->modes[m].name;
            if (name == "tavrin_1024x768")
                large_ = resources_->modes[m].id;
            if (name == "tavrin_800x600")
                small_ = resources_->modes[m].id;
        }
    }
    ~Switcher() {
        if (resources_)
            XRRFreeScreenResources(resources_);
        if (dpy_)
            XCloseDisplay(dpy_);
    }
    bool ok() const { return dpy_ && crtc_ && large_ && small_; }

    // Returns once the server has done it.
    bool switchTo(bool large) {
        RROutput output = output_;
        return XRRSetCrtcConfig(dpy_, resources_, crtc_, CurrentTime, 0, 0, large ? large_ : small_,
                                RR_Rotate_0, &output, 1) == RRSetConfigSuccess;
    }

    bool holds(const GammaTable768& table) {
        XRRCrtcGamma* gamma = XRRGetCrtcGamma(dpy_, crtc_);
        if (!gamma)
            return false;
        const bool same = gamma->size == 256 &&
                          std::equal(gamma->red, gamma->red + 256, table.begin()) &&
                          std::equal(gamma->green, gamma->green + 256, table.begin() + 256) &&
                          std::equal(gamma->blue, gamma->blue + 256, table.begin() + 512);
        XRRFreeGamma(gamma);
        return same;
    }

    // The time until the CRTC holds `table`, read every half millisecond;
    // nothing when it does not within `limit`.
    std::optional<Clock::duration> timeUntilItHolds(const GammaTable768& table,
                                                    Clock::time_point from, Clock::duration limit) {
        while (Clock::now() - from < limit) {
            if (holds(table))
                return Clock::now() - from;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        return std::nullopt;
    }

private:
    Display* dpy_;
    XRRScreenResources* resources_ = nullptr;
    RROutput output_ = 0;
    RRCrtc crtc_ = 0;
    RRMode large_ = 0;
    RRMode small_ = 0;
};

void modeSwitchToCalibration(benchmark::State& state) {
    const int period = int(state.range(0));
    const bool notifications = state.range(1) != 0;
    const int switches = qEnvironmentVariableIsSet("TAVRIN_BENCH_SWITCHES")
                             ? qEnvironmentVariableIntValue("TAVRIN_BENCH_SWITCHES")
                             : 20;
    XorgServer* server = startedServer();
    if (!server || !server->resetOutputs("tavrin_1024x768")) {
        state.SkipWithError("no Xorg with the dummy driver here");
        return;
    }
    auto x11 = X11DisplaySystem::open(server->displayNameBytes());
    Unannounced polling(*x11);
    LoopState s(notifications ? static_cast<DisplaySystem&>(*x11) : polling);
    s.settings.pollingPeriod = period;
    Switcher other(server->displayNameBytes());
    if (!other.ok() ||
        !associateModes(*x11, s.tree, "DUMMY0", {{1024, 768, "RED"}, {800, 600, "BLUE"}})) {
        state.SkipWithError("the server lacks the benchmark's modes");
        return;
    }
    const GammaTable768 tints[2] = {s.tint("BLUE"), s.tint("RED")};
    MyThread thread(s.ctx);
    thread.startLoop();
    const auto limit = std::chrono::milliseconds(2 * period + 5000);
    if (!other.timeUntilItHolds(tints[1], Clock::now(), limit)) {
        state.SkipWithError("the loop did not load the first calibration");
        return;
    }

    std::mt19937 random(period + int(notifications));
    std::uniform_int_distribution<int> gap =
        notifications ? std::uniform_int_distribution<int>(50, 250)
                      : std::uniform_int_distribution<int>(0, period - 1);
    std::vector<double> ms;
    for (auto _ : state) {
        for (int n = 0; n < switches; ++n) {
            std::this_thread::sleep_for(std::chrono::milliseconds(gap(random)));
            const bool large = n % 2 == 1;
            if (!other.switchTo(large)) {
                state.SkipWithError("XRRSetCrtcConfig failed");
                return;
            }
            const auto took = other.timeUntilItHolds(tints[large], Clock::now(), limit);
            if (!took) {
                state.SkipWithError("a switch was not followed by its calibration");
                return;
            }
            ms.push_back(std::chrono::duration<double, std::milli>(*took).count());
        }
    }
    thread.stopLoop();
    std::sort(ms.begin(), ms.end());
    state.counters["median_ms"] = ms[ms.size() / 2];
    state.counters["max_ms"] = ms.back();
    state.counters["min_ms"] = ms.front();
    state.SetLabel(std::string("pollingPeriod ") + std::to_string(period) +
                   (notifications ? ", notifications" : ", polling alone"));
}

}  // namespace

BENCHMARK(modeSwitchToCalibration)
    ->ArgNames({"period", "notifications"})
    ->Args({1000, 1})
    ->Args({1000, 0})
    ->Args({10000, 1})
    ->Args({10000, 0})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
