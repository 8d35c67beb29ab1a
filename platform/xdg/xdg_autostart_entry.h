// The run-at-login entry on Linux desktops: an XDG autostart file.
#pragma once

#include "platform/run_entry.h"

class XdgAutostartEntry : public RunEntry {
public:
    // `autostartDir` empty: $XDG_CONFIG_HOME/autostart, or ~/.config/autostart.
    explicit XdgAutostartEntry(std::string autostartDir = {});
    std::string commandLine(const std::string& executablePath,
                            const std::string& arguments) const override;
    std::optional<std::string> read() override;
    bool write(const std::string& commandLine) override;
    bool remove() override;

private:
    std::string dir_;
};
