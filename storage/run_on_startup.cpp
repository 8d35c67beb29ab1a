#include "storage/run_on_startup.h"

#include "platform/run_entry.h"

std::string runOnStartupArguments(int runOnStartup) {
    switch (runOnStartup) {
        case 0:
            return {};
        case 1:
            return "-start";
        case 2:
            return "-hide";
        default:
            return "-start -hide";
    }
}

void applyRunOnStartup(int runOnStartup, RunEntry& entry, const QString& executablePath) {
    if (runOnStartup == 0) {
        if (entry.read())
            entry.remove();
        return;
    }
    const std::string wanted =
        entry.commandLine(executablePath.toStdString(), runOnStartupArguments(runOnStartup));
    if (entry.read() != wanted)
        entry.write(wanted);
}
