#include "platform/platform.h"

#include "platform/null_display_system.h"

namespace {

// Where a system has no run-at-login mechanism the entry never exists.
class NoRunEntry : public RunEntry {
public:
    std::string commandLine(const std::string& path, const std::string& args) const override {
        return "\"" + path + "\" " + args;
    }
    std::optional<std::string> read() override { return std::nullopt; }
    bool write(const std::string&) override { return false; }
    bool remove() override { return false; }
};

}  // namespace

Platform createPlatform() {
    Platform p;
    p.display = std::make_unique<NullDisplaySystem>();
    p.runEntry = std::make_unique<NoRunEntry>();
    p.name = "none";
    return p;
}
