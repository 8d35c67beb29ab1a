#include "platform/xdg/xdg_autostart_entry.h"

XdgAutostartEntry::XdgAutostartEntry(std::string autostartDir) : dir_(std::move(autostartDir)) {}
std::string XdgAutostartEntry::commandLine(const std::string& p, const std::string& a) const {
    return "\"" + p + "\" " + a;
}
std::optional<std::string> XdgAutostartEntry::read() { return std::nullopt; }
bool XdgAutostartEntry::write(const std::string&) { return false; }
bool XdgAutostartEntry::remove() { return false; }
