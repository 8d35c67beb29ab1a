// The contract every display backend keeps, written once and without any
// test framework: the Qt Test suites of the Linux backends
// (display_contract.h) and the Windows backend's own test program run the
// very same cases.
//
// A case receives a fresh system that has at least one adapter whose
// monitor 0 is active and which offers at least one mode, and what the
// backend's test can do to the displays from outside the backend.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/display_system.h"

namespace displaycontract {

struct Outcome {
    enum class Kind { Passed, Failed, Skipped };
    Kind kind = Kind::Passed;
    // Why the case failed (the check and its line) or was skipped.
    std::string message;
};

class Checks;

// What a backend's test can do to the displays as a user or a game would,
// through the system rather than through the backend. Cases that need
// what a test cannot do are skipped.
struct Outside {
    // Switches the adapter `device` of `system` to `mode` (a record the
    // adapter lists); true when it took.
    std::function<bool(DisplaySystem& system, const std::string& device, const DEVMODEA& mode)>
        switchMode;
};

struct Case {
    // Unique; a case run once per gamma table is named "case/table".
    std::string name;
    std::function<void(Checks&)> body;
};

// Every case, always in the same order.
const std::vector<Case>& cases();

// Runs one case against `system`.
Outcome run(const Case& c, DisplaySystem& system, const Outside& outside = {});

// Device names of the adapters whose monitor 0 is active, in order.
std::vector<std::string> activeAdapters(DisplaySystem& system);

}  // namespace displaycontract
