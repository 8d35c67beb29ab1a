#include "display_contract_cases.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

namespace displaycontract {

// What one case found: its first failed check ends it.
class Checks {
public:
    Checks(DisplaySystem& display, const Outside& helpers) : system(display), outside(helpers) {}

    bool check(bool ok, const char* what, int line, const std::string& detail = {}) {
        if (!ok && outcome_.kind == Outcome::Kind::Passed) {
            outcome_.kind = Outcome::Kind::Failed;
            outcome_.message = "display_contract_cases.cpp:" + std::to_string(line) + ": " + what;
            if (!detail.empty()) outcome_.message += " (" + detail + ")";
        }
        return ok;
    }
    void skip(const std::string& reason) { outcome_ = {Outcome::Kind::Skipped, reason}; }
    const Outcome& outcome() const { return outcome_; }

    DisplaySystem& system;
    const Outside& outside;

private:
    Outcome outcome_;
};

}  // namespace displaycontract

// Ends the case at the first check that does not hold.
#define REQUIRE(t, condition) \
    do { \
        if (!(t).check((condition), #condition, __LINE__)) return; \
    } while (0)
#define REQUIRE2(t, condition, detail) \
    do { \
        if (!(t).check((condition), #condition, __LINE__, (detail))) return; \
    } while (0)

namespace displaycontract {
namespace {

using Table = GammaTable768;

// A curve per channel, entry i = f(channel, i).
template <typename F>
Table tableOf(F f) {
    Table t{};
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 256; ++i) t[c * 256 + i] = static_cast<std::uint16_t>(f(c, i));
    return t;
}

Table linear() {
    return tableOf([](int, int i) { return i * 257; });
}

// Power curves near the identity, as a calibration loads them: 16-bit
// precise, or in whole 8-bit steps (entry = k x 257).
double gammaOf(int c, int i) {
    const double exponents[3] = {0.9, 1.15, 1.3};
    return std::pow(i / 255.0, exponents[c]);
}
Table gammaCurves() {
    return tableOf([](int c, int i) { return std::lround(65535 * gammaOf(c, i)); });
}
Table gammaCurves8() {
    return tableOf([](int c, int i) { return std::lround(255 * gammaOf(c, i)) * 257; });
}

struct NamedTable {
    const char* name;
    Table (*make)();
};

const NamedTable roundTripTables[] = {
    {"linear", linear},
    {"gamma curves", gammaCurves},
    {"gamma curves in 8-bit steps", gammaCurves8},
    {"dimmed channels", [] { return tableOf([](int c, int i) { return (i * 257) / (c + 2); }); }},
    {"inverted", [] { return tableOf([](int, int i) { return (255 - i) * 257; }); }},
    {"arbitrary", [] { return tableOf([](int c, int i) { return (i * 7919 + c * 104729) % 65536; }); }},
};

// A device context released when the case ends, however it ends.
struct Context {
    Context(DisplaySystem& display, const std::string& name)
        : system(display), dc(display.createDC(name.c_str())) {}
    ~Context() { system.deleteDC(dc); }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    DisplaySystem& system;
    HDC dc;
};

std::string firstActive(DisplaySystem& system) {
    return activeAdapters(system).front();
}

void adaptersEnumerateFromZeroAndEnd(Checks& t) {
    DISPLAY_DEVICEA d{};
    DWORD count = 0;
    while (count < 1000 && t.system.enumDisplayDevices(nullptr, count, &d)) {
        REQUIRE(t, std::strlen(d.DeviceName) > 0);
        REQUIRE(t, std::memchr(d.DeviceName, 0, sizeof d.DeviceName) != nullptr);
        ++count;
    }
    REQUIRE(t, count > 0);
    REQUIRE(t, count < 1000);
    REQUIRE(t, !t.system.enumDisplayDevices(nullptr, count, &d));
    REQUIRE(t, !t.system.enumDisplayDevices(nullptr, count + 7, &d));
}

void recordsCarryTheirSize(Checks& t) {
    const std::string name = firstActive(t.system);
    DISPLAY_DEVICEA monitor{};
    REQUIRE(t, t.system.enumDisplayDevices(name.c_str(), 0, &monitor));
    REQUIRE(t, monitor.cb == sizeof(DISPLAY_DEVICEA));
    REQUIRE(t, std::memchr(monitor.DeviceID, 0, sizeof monitor.DeviceID) != nullptr);
    REQUIRE(t, std::memchr(monitor.DeviceKey, 0, sizeof monitor.DeviceKey) != nullptr);
    REQUIRE(t, std::memchr(monitor.DeviceString, 0, sizeof monitor.DeviceString) != nullptr);
    DEVMODEA mode{};
    REQUIRE(t, t.system.enumDisplaySettings(name.c_str(), ENUM_CURRENT_SETTINGS, &mode));
    REQUIRE2(t, mode.dmSize == sizeof(DEVMODEA), "dmSize " + std::to_string(mode.dmSize));
    DEVMODEA listed{};
    REQUIRE(t, t.system.enumDisplaySettings(name.c_str(), 0, &listed));
    REQUIRE2(t, listed.dmSize == sizeof(DEVMODEA), "dmSize " + std::to_string(listed.dmSize));
}

void activeAdapterHasCurrentMode(Checks& t) {
    for (const std::string& name : activeAdapters(t.system)) {
        DEVMODEA mode{};
        REQUIRE2(t, t.system.enumDisplaySettings(name.c_str(), ENUM_CURRENT_SETTINGS, &mode), name);
        REQUIRE2(t, mode.dmPelsWidth > 0, name);
        REQUIRE2(t, mode.dmPelsHeight > 0, name);
        REQUIRE2(t, mode.dmBitsPerPel >= 8, name);
    }
}

void modeListEndsAndCurrentModeIsListed(Checks& t) {
    const std::string name = firstActive(t.system);
    DEVMODEA current{};
    REQUIRE(t, t.system.enumDisplaySettings(name.c_str(), ENUM_CURRENT_SETTINGS, &current));
    DEVMODEA m{};
    DWORD k = 0;
    bool listed = false;
    while (k < 100000 && t.system.enumDisplaySettings(name.c_str(), k, &m)) {
        if (m.dmPelsWidth == current.dmPelsWidth && m.dmPelsHeight == current.dmPelsHeight &&
            m.dmBitsPerPel == current.dmBitsPerPel &&
            m.dmDisplayFrequency == current.dmDisplayFrequency)
            listed = true;
        ++k;
    }
    REQUIRE(t, k > 0);
    REQUIRE(t, k < 100000);
    REQUIRE2(t, listed, "the current mode is not among the listed modes");
}

void unknownDeviceFails(Checks& t) {
    DISPLAY_DEVICEA d{};
    DEVMODEA m{};
    REQUIRE(t, !t.system.enumDisplayDevices("no such device", 0, &d));
    REQUIRE(t, !t.system.enumDisplaySettings("no such device", 0, &m));
    REQUIRE(t, !t.system.enumDisplaySettings("no such device", ENUM_CURRENT_SETTINGS, &m));
}

void deviceContextForUnknownDeviceIsNull(Checks& t) {
    REQUIRE(t, t.system.createDC("no such device") == nullptr);
}

void gammaRoundTripIsExact(Checks& t, const NamedTable& named) {
    const Table table = named.make();
    for (const std::string& name : activeAdapters(t.system)) {
        Context c(t.system, name);
        REQUIRE2(t, c.dc != nullptr, name);
        REQUIRE2(t, t.system.setDeviceGammaRamp(c.dc, table), name);
        Table back{};
        REQUIRE2(t, t.system.getDeviceGammaRamp(c.dc, back), name);
        REQUIRE2(t, back == table, name);
    }
}

// A table the device refuses leaves the one it held; one it accepts is
// read back whole.
void refusedTableLeavesTheLoadedOne(Checks& t) {
    Context c(t.system, firstActive(t.system));
    REQUIRE(t, c.dc != nullptr);
    REQUIRE(t, t.system.setDeviceGammaRamp(c.dc, linear()));
    const Table inverted = tableOf([](int, int i) { return (255 - i) * 257; });
    const bool accepted = t.system.setDeviceGammaRamp(c.dc, inverted);
    Table back{};
    REQUIRE(t, t.system.getDeviceGammaRamp(c.dc, back));
    REQUIRE2(t, back == (accepted ? inverted : linear()),
             accepted ? "accepted, but not read back" : "refused, but the loaded table changed");
}

// Each monitor has its own calibration: loading one adapter's table leaves
// the other's alone.
void eachAdapterKeepsItsOwnTable(Checks& t) {
    const std::vector<std::string> names = activeAdapters(t.system);
    if (names.size() < 2) return t.skip("needs two active monitors");
    Context a(t.system, names[0]);
    Context b(t.system, names[1]);
    REQUIRE(t, a.dc && b.dc);
    REQUIRE(t, t.system.setDeviceGammaRamp(a.dc, linear()));
    REQUIRE(t, t.system.setDeviceGammaRamp(b.dc, gammaCurves8()));
    Table back{};
    REQUIRE(t, t.system.getDeviceGammaRamp(a.dc, back));
    REQUIRE2(t, back == linear(), names[0] + " took the table loaded into " + names[1]);
    REQUIRE(t, t.system.getDeviceGammaRamp(b.dc, back));
    REQUIRE(t, back == gammaCurves8());
}

void nullContextFailsAndKeepsTable(Checks& t) {
    Table table = gammaCurves();
    const Table before = table;
    REQUIRE(t, !t.system.getDeviceGammaRamp(nullptr, table));
    REQUIRE(t, table == before);
    REQUIRE(t, !t.system.setDeviceGammaRamp(nullptr, table));
    t.system.deleteDC(nullptr);  // ignored
}

void releasedContextFails(Checks& t) {
    HDC dc = t.system.createDC(firstActive(t.system).c_str());
    REQUIRE(t, dc != nullptr);
    t.system.deleteDC(dc);
    Table table = gammaCurves8();
    REQUIRE(t, !t.system.setDeviceGammaRamp(dc, table));
    const Table before = table;
    REQUIRE(t, !t.system.getDeviceGammaRamp(dc, table));
    REQUIRE(t, table == before);
}

void twoContextsSeeOneTable(Checks& t) {
    const std::string name = firstActive(t.system);
    Context b(t.system, name);
    Table back{};
    {
        Context a(t.system, name);
        REQUIRE(t, a.dc && b.dc);
        REQUIRE(t, t.system.setDeviceGammaRamp(a.dc, gammaCurves8()));
        REQUIRE(t, t.system.getDeviceGammaRamp(b.dc, back));
        REQUIRE(t, back == gammaCurves8());
    }
    // Releasing one leaves the other usable.
    REQUIRE(t, t.system.getDeviceGammaRamp(b.dc, back));
}

void concurrentUseFromTwoThreads(Checks& t) {
    const std::string name = firstActive(t.system);
    const Table tables[2] = {linear(), gammaCurves8()};
    std::atomic<int> failures{0};
    auto worker = [&](const Table& mine) {
        for (int n = 0; n < 200; ++n) {
            Context c(t.system, name);
            if (!c.dc) {
                ++failures;
                continue;
            }
            Table back{};
            if (!t.system.setDeviceGammaRamp(c.dc, mine)) ++failures;
            if (!t.system.getDeviceGammaRamp(c.dc, back)) ++failures;
            // The table read is one of the two whole tables, never a mix.
            if (back != tables[0] && back != tables[1]) ++failures;
            DEVMODEA m{};
            if (!t.system.enumDisplaySettings(name.c_str(), ENUM_CURRENT_SETTINGS, &m)) ++failures;
        }
    };
    std::thread t1(worker, std::cref(tables[0]));
    std::thread t2(worker, std::cref(tables[1]));
    t1.join();
    t2.join();
    REQUIRE2(t, failures.load() == 0, std::to_string(failures.load()) + " failed calls");
}

// Lets the announcements of changes made before the case (the test's own
// set-up) pass: true once a wait of `quiet` milliseconds took none.
bool settle(ChangeWaiter& waiter, int quiet = 100) {
    for (int n = 0; n < 50; ++n)
        if (!waiter.wait(quiet))
            return true;
    return false;
}

using std::chrono::steady_clock;
constexpr auto promptly = std::chrono::seconds(10);
constexpr int minute = 60000;
// How long an announcement may take to arrive.
constexpr int announcementTime = 10000;

// wake() ends a wait at once: one given before it, and one given while
// another thread waits.
void wakeEndsAWait(Checks& t) {
    const std::unique_ptr<ChangeWaiter> waiter = t.system.watchChanges();
    REQUIRE(t, waiter != nullptr);
    REQUIRE(t, settle(*waiter));
    waiter->wake();
    auto begin = steady_clock::now();
    REQUIRE(t, !waiter->wait(minute));
    REQUIRE(t, steady_clock::now() - begin < promptly);

    std::thread waker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        waiter->wake();
    });
    begin = steady_clock::now();
    const bool announced = waiter->wait(minute);
    waker.join();
    REQUIRE(t, !announced);
    REQUIRE(t, steady_clock::now() - begin < promptly);
}

// Loading gamma tables is never announced: a watcher that were woken by
// its own loads would run a pass for every pass that loads.
void gammaLoadsAreNotAnnounced(Checks& t) {
    const std::unique_ptr<ChangeWaiter> waiter = t.system.watchChanges();
    REQUIRE(t, waiter != nullptr);
    REQUIRE(t, settle(*waiter));
    {
        Context c(t.system, firstActive(t.system));
        REQUIRE(t, c.dc != nullptr);
        REQUIRE(t, t.system.setDeviceGammaRamp(c.dc, gammaCurves8()));
        REQUIRE(t, t.system.setDeviceGammaRamp(c.dc, linear()));
    }
    REQUIRE2(t, !waiter->wait(300), "a gamma load was announced as a display change");
}

// A mode switch made through the system is announced, and the current
// mode has changed by the time it is.
void modeSwitchIsAnnounced(Checks& t) {
    if (!t.outside.switchMode)
        return t.skip("this backend's test cannot switch modes through the system");
    const std::string name = firstActive(t.system);
    DEVMODEA current{};
    REQUIRE(t, t.system.enumDisplaySettings(name.c_str(), ENUM_CURRENT_SETTINGS, &current));
    const std::unique_ptr<ChangeWaiter> waiter = t.system.watchChanges();
    REQUIRE(t, waiter != nullptr);
    REQUIRE(t, settle(*waiter));
    // The first listed mode of another size that the system switches to
    // (the listing read to its end first, as the program reads it).
    std::vector<DEVMODEA> listed;
    DEVMODEA mode{};
    for (DWORD k = 0; k < 100000 && t.system.enumDisplaySettings(name.c_str(), k, &mode); ++k)
        listed.push_back(mode);
    DEVMODEA other{};
    bool switched = false;
    for (std::size_t k = 0; !switched && k < listed.size(); ++k) {
        other = listed[k];
        switched = (other.dmPelsWidth != current.dmPelsWidth ||
                    other.dmPelsHeight != current.dmPelsHeight) &&
                   t.outside.switchMode(t.system, name, other);
    }
    REQUIRE2(t, switched, "no other mode of " + name + " could be switched to");
    const bool announced = waiter->wait(announcementTime);
    DEVMODEA now{};
    const bool seen = t.system.enumDisplaySettings(name.c_str(), ENUM_CURRENT_SETTINGS, &now) &&
                      now.dmPelsWidth == other.dmPelsWidth &&
                      now.dmPelsHeight == other.dmPelsHeight;
    // Back as it was, before any check can end the case.
    const bool restored = t.outside.switchMode(t.system, name, current);
    settle(*waiter);
    REQUIRE2(t, announced, "the switch of " + name + " was not announced");
    REQUIRE2(t, seen, "the current mode of " + name + " is not the one switched to");
    REQUIRE(t, restored);
}

std::vector<Case> makeCases() {
    std::vector<Case> all = {
        {"adaptersEnumerateFromZeroAndEnd", adaptersEnumerateFromZeroAndEnd},
        {"recordsCarryTheirSize", recordsCarryTheirSize},
        {"activeAdapterHasCurrentMode", activeAdapterHasCurrentMode},
        {"modeListEndsAndCurrentModeIsListed", modeListEndsAndCurrentModeIsListed},
        {"unknownDeviceFails", unknownDeviceFails},
        {"deviceContextForUnknownDeviceIsNull", deviceContextForUnknownDeviceIsNull},
    };
    for (const NamedTable& named : roundTripTables)
        all.push_back({std::string("gammaRoundTripIsExact/") + named.name,
                       [&named](Checks& t) { gammaRoundTripIsExact(t, named); }});
    const Case rest[] = {
        {"refusedTableLeavesTheLoadedOne", refusedTableLeavesTheLoadedOne},
        {"eachAdapterKeepsItsOwnTable", eachAdapterKeepsItsOwnTable},
        {"nullContextFailsAndKeepsTable", nullContextFailsAndKeepsTable},
        {"releasedContextFails", releasedContextFails},
        {"twoContextsSeeOneTable", twoContextsSeeOneTable},
        {"concurrentUseFromTwoThreads", concurrentUseFromTwoThreads},
        {"wakeEndsAWait", wakeEndsAWait},
        {"gammaLoadsAreNotAnnounced", gammaLoadsAreNotAnnounced},
        {"modeSwitchIsAnnounced", modeSwitchIsAnnounced},
    };
    all.insert(all.end(), std::begin(rest), std::end(rest));
    return all;
}

}  // namespace

const std::vector<Case>& cases() {
    static const std::vector<Case> all = makeCases();
    return all;
}

Outcome run(const Case& c, DisplaySystem& system, const Outside& outside) {
    Checks t(system, outside);
    if (activeAdapters(system).empty())
        t.check(false, "the backend's set-up has an active monitor", __LINE__);
    else
        c.body(t);
    return t.outcome();
}

std::vector<std::string> activeAdapters(DisplaySystem& system) {
    std::vector<std::string> names;
    DISPLAY_DEVICEA adapter{};
    adapter.cb = sizeof adapter;
    for (DWORD i = 0; system.enumDisplayDevices(nullptr, i, &adapter); ++i) {
        DISPLAY_DEVICEA monitor{};
        monitor.cb = sizeof monitor;
        if (system.enumDisplayDevices(adapter.DeviceName, 0, &monitor) &&
            (monitor.StateFlags & DISPLAY_DEVICE_ACTIVE))
            names.emplace_back(adapter.DeviceName);
    }
    return names;
}

}  // namespace displaycontract
