// The display contract, without Qt, against the Windows backend on Windows
// or under Wine, and against the simulated display system built for Windows
// (it serves every case, so a failure there lies in the build, not in GDI).
//
// One line per case, then "Totals: N passed, N failed, N skipped"; the exit
// code is 0 only when no case failed and some passed.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "display_contract_cases.h"
#include "platform/sim/sim_display_system.h"
#include "platform/win32/win32_display_system.h"

namespace {

using displaycontract::Outcome;

// Cases the win32 backend cannot serve, with the reason. Where a case has an
// entry for Wine and one for Windows, Wine's comes first.
struct Skip {
    const char* caseName;
    bool underWineOnly;
    const char* reason;
};

constexpr const char* xf86VidModeKeeps8Bits =
    "Wine loads gamma through XF86VidMode, which this X server keeps at 8 bits per entry (the "
    "curves in 8-bit steps round-trip)";
constexpr const char* refusedFarFromIdentity =
    "SetDeviceGammaRamp refuses tables far from an identity curve (refusedTableLeavesTheLoadedOne "
    "checks a refusal)";

const Skip win32Skips[] = {
    {"gammaRoundTripIsExact/gamma curves", true, xf86VidModeKeeps8Bits},
    {"gammaRoundTripIsExact/dimmed channels", true, xf86VidModeKeeps8Bits},
    {"eachAdapterKeepsItsOwnTable", true,
     "Wine loads gamma through XF86VidMode: one table for the whole X screen, not one per "
     "adapter"},
    {"gammaRoundTripIsExact/dimmed channels", false,
     "Windows refuses a channel at a quarter of full strength: further from the identity curve "
     "than SetDeviceGammaRamp accepts"},
    {"gammaRoundTripIsExact/inverted", false, refusedFarFromIdentity},
    {"gammaRoundTripIsExact/arbitrary", false, refusedFarFromIdentity},
};

// Wine's version when the program runs under Wine; null on Windows.
const char* wineVersion() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (!ntdll) return nullptr;
    const FARPROC proc = GetProcAddress(ntdll, "wine_get_version");
    if (!proc) return nullptr;
    using Version = const char* (*)();
    return reinterpret_cast<Version>(reinterpret_cast<void (*)()>(proc))();
}

const char* skipReason(const std::string& caseName, bool underWine) {
    for (const Skip& skip : win32Skips)
        if (caseName == skip.caseName && (underWine || !skip.underWineOnly)) return skip.reason;
    return nullptr;
}

// A mode switch as a user or a game makes it: ChangeDisplaySettingsExA,
// for this session only (CDS_FULLSCREEN keeps it out of the registry).
bool switchThroughTheSystem(DisplaySystem&, const std::string& device, const DEVMODEA& mode) {
    DEVMODEA wanted = mode;
    wanted.dmSize = sizeof wanted;
    wanted.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL | DM_DISPLAYFREQUENCY;
    return ChangeDisplaySettingsExA(device.c_str(), &wanted, nullptr, CDS_FULLSCREEN, nullptr) ==
           DISP_CHANGE_SUCCESSFUL;
}

bool switchSimulated(DisplaySystem& system, const std::string& device, const DEVMODEA& mode) {
    return static_cast<SimDisplaySystem&>(system).switchMode(device, mode);
}

std::unique_ptr<DisplaySystem> twoSimulatedDisplays() {
    auto sim = std::make_unique<SimDisplaySystem>();
    for (int n = 1; n <= 2; ++n) {
        const std::string number = std::to_string(n);
        const int a = sim->addAdapter("\\\\.\\DISPLAY" + number, "Sim Adapter");
        sim->attachMonitor(a, SimDisplaySystem::makeMonitor("MONITOR\\SIM000" + number + "\\0000",
                                                            "key-" + number, "Sim Monitor"));
        sim->setModes(a, {SimDisplaySystem::makeMode(1920, 1080), SimDisplaySystem::makeMode(1280, 720)});
    }
    return sim;
}

// The gamma tables of the active monitors, to put back after the cases.
class SavedGamma {
public:
    explicit SavedGamma(DisplaySystem& system) : system_(system) {
        for (const std::string& name : displaycontract::activeAdapters(system)) {
            GammaTable768 table{};
            const HDC dc = system.createDC(name.c_str());
            if (dc && system.getDeviceGammaRamp(dc, table)) saved_.push_back({name, table});
            system.deleteDC(dc);
        }
    }
    ~SavedGamma() {
        for (const auto& [name, table] : saved_) {
            const HDC dc = system_.createDC(name.c_str());
            if (dc) system_.setDeviceGammaRamp(dc, table);
            system_.deleteDC(dc);
        }
    }
    SavedGamma(const SavedGamma&) = delete;
    SavedGamma& operator=(const SavedGamma&) = delete;

private:
    DisplaySystem& system_;
    std::vector<std::pair<std::string, GammaTable768>> saved_;
};

struct Totals {
    int passed = 0;
    int failed = 0;
    int skipped = 0;
};

void report(const char* verdict, const std::string& name, const std::string& message) {
    std::printf("  %-4s %s%s%s\n", verdict, name.c_str(), message.empty() ? "" : ": ",
                message.c_str());
    std::fflush(stdout);
}

// Runs every case against a fresh system from `make`, skipping those that
// `skip` gives a reason for.
template <typename Make, typename SkipReason>
void runContract(const char* title, Make make, SkipReason skip,
                 const displaycontract::Outside& outside, Totals& totals) {
    std::printf("%s\n", title);
    for (const displaycontract::Case& c : displaycontract::cases()) {
        if (const char* reason = skip(c.name)) {
            report("SKIP", c.name, reason);
            ++totals.skipped;
            continue;
        }
        const std::unique_ptr<DisplaySystem> system = make();
        const Outcome outcome = displaycontract::run(c, *system, outside);
        switch (outcome.kind) {
            case Outcome::Kind::Passed: report("PASS", c.name, {}); ++totals.passed; break;
            case Outcome::Kind::Failed: report("FAIL", c.name, outcome.message); ++totals.failed; break;
            case Outcome::Kind::Skipped: report("SKIP", c.name, outcome.message); ++totals.skipped; break;
        }
    }
}

}  // namespace

int main() {
    const char* wine = wineVersion();
    const std::string title = std::string("win32 backend, ") +
                              (wine ? std::string("under Wine ") + wine : std::string("on Windows"));
    Totals totals;
    {
        Win32DisplaySystem real;
        const SavedGamma saved(real);
        runContract(
            title.c_str(), [] { return std::make_unique<Win32DisplaySystem>(); },
            [wine](const std::string& name) { return skipReason(name, wine != nullptr); },
            {switchThroughTheSystem}, totals);
    }
    runContract(
        "simulated backend, built for Windows", twoSimulatedDisplays,
        [](const std::string&) -> const char* { return nullptr; }, {switchSimulated}, totals);
    std::printf("Totals: %d passed, %d failed, %d skipped\n", totals.passed, totals.failed,
                totals.skipped);
    return totals.failed == 0 && totals.passed > 0 ? 0 : 1;
}
