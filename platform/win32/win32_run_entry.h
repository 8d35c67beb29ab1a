// The run-at-login entry on Windows: the string value "Tavrin" under the
// current user's Run key of the registry.
#pragma once

#include "platform/run_entry.h"

class Win32RunEntry : public RunEntry {
public:
    // A double quote, the path with every slash turned into a backslash, a
    // double quote, a blank and `arguments`.
    std::string commandLine(const std::string& executablePath,
                            const std::string& arguments) const override;

    // The value's data; nothing when the value does not exist.
    std::optional<std::string> read() override;
    // Sets the value; false when the registry refused it.
    bool write(const std::string& commandLine) override;
    // Removes the value; other values under the key are not touched.
    bool remove() override;
};
