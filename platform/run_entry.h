// The run-at-login entry of the current user: the "Tavrin" value under the
// Run key of the registry on Windows, an XDG autostart file on Linux.
#pragma once

#include <optional>
#include <string>

class RunEntry {
public:
    virtual ~RunEntry() = default;

    // The entry's command line for the executable at `executablePath`
    // (native separators are the backend's business) followed by `arguments`
    // ("-start", "-hide" or "-start -hide").
    virtual std::string commandLine(const std::string& executablePath,
                                    const std::string& arguments) const = 0;

    // The executable a stored command line starts: its first argument
    // (quoted as commandLine quotes it, or up to the first blank); nothing
    // when it has none. This default reads a double-quoted path without
    // escapes, as the Windows Run value holds it.
    virtual std::optional<std::string> executableOf(const std::string& commandLine) const;

    // The command line stored now, or nothing when there is no entry.
    virtual std::optional<std::string> read() = 0;
    virtual bool write(const std::string& commandLine) = 0;
    virtual bool remove() = 0;
};
