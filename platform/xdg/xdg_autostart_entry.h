// The run-at-login entry on Linux desktops: the XDG autostart file
// "tavrin.desktop", a desktop entry whose Exec key holds the command line.
// Other entries of the autostart directory are never read or changed.
#pragma once

#include "platform/run_entry.h"

class XdgAutostartEntry : public RunEntry {
public:
    // `autostartDir` empty: $XDG_CONFIG_HOME/autostart, or ~/.config/autostart
    // when that variable is unset, empty or not an absolute path.
    explicit XdgAutostartEntry(std::string autostartDir = {});

    // The Exec value: the executable path as one quoted argument (quotes,
    // backticks, dollar signs and backslashes escaped, percent signs doubled,
    // as desktop entries require), a blank and `arguments`.
    std::string commandLine(const std::string& executablePath,
                            const std::string& arguments) const override;

    // The first argument of an Exec value, its quoting and escapes undone.
    std::optional<std::string> executableOf(const std::string& commandLine) const override;

    // The Exec value of tavrin.desktop; nothing when the file is absent, is
    // no desktop entry or its Exec value cannot be split into arguments.
    std::optional<std::string> read() override;
    // Creates the directory when needed and replaces tavrin.desktop
    // atomically: a failed write leaves the previous file as it was.
    bool write(const std::string& commandLine) override;
    // Deletes tavrin.desktop; true when it is gone (also when it was absent).
    bool remove() override;

    const std::string& filePath() const { return file_; }

private:
    std::string dir_;
    std::string file_;
};
