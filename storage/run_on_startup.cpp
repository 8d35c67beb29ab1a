#include "storage/run_on_startup.h"

#include <QFileInfo>
#include <QStandardPaths>

#include "platform/run_entry.h"

namespace {

// The executable a stored entry starts, as a file; a bare name is looked up
// on the search path as the desktop would.
QFileInfo startedExecutable(const std::string& path) {
    const QString name = QString::fromStdString(path);
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return QFileInfo(name);
    const QString found = QStandardPaths::findExecutable(name);
    return QFileInfo(found.isEmpty() ? name : found);
}

}  // namespace

bool runEntryBelongsTo(const RunEntry& entry, const std::string& stored,
                       const QString& executablePath) {
    const std::optional<std::string> started = entry.executableOf(stored);
    if (!started)
        return true;  // not a command line at all: nobody else's
    const QFileInfo other = startedExecutable(*started);
    // An executable that is gone: this copy was moved, or its entry is stale.
    if (!other.exists())
        return true;
    return other == QFileInfo(executablePath);
}

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
    const std::optional<std::string> stored = entry.read();
    // Another copy's entry (the installed program beside a portable one) is
    // that copy's to change.
    if (stored && !runEntryBelongsTo(entry, *stored, executablePath))
        return;
    if (runOnStartup == 0) {
        if (stored)
            entry.remove();
        return;
    }
    const std::string wanted =
        entry.commandLine(executablePath.toStdString(), runOnStartupArguments(runOnStartup));
    if (stored != wanted)
        entry.write(wanted);
}
