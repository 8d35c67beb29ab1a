#include "platform/run_entry.h"

std::optional<std::string> RunEntry::executableOf(const std::string& commandLine) const {
    const std::size_t start = commandLine.find_first_not_of(' ');
    if (start == std::string::npos)
        return std::nullopt;
    if (commandLine[start] == '"') {
        const std::size_t end = commandLine.find('"', start + 1);
        if (end == std::string::npos || end == start + 1)
            return std::nullopt;
        return commandLine.substr(start + 1, end - start - 1);
    }
    return commandLine.substr(start, commandLine.find(' ', start) - start);
}
