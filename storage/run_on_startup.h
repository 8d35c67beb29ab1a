// Keeps the run-at-login entry in line with the runOnStartup setting.
#pragma once

#include <string>

#include <QString>

class RunEntry;

// The command-line arguments of the entry for a runOnStartup value: "-start"
// (1), "-hide" (2), "-start -hide" (3 and any other value but 0); empty for 0.
std::string runOnStartupArguments(int runOnStartup);

// True when the stored entry `stored` is this copy's to change: it starts
// the executable at `executablePath`, or an executable that no longer
// exists (this copy was moved), or it holds no command line at all.
bool runEntryBelongsTo(const RunEntry& entry, const std::string& stored,
                       const QString& executablePath);

// Value 0 removes an existing entry and touches nothing when there is none.
// Any other value builds the entry's command line for `executablePath` and
// writes it only when the stored one differs (a moved executable fixes its
// entry on the next start). An entry that starts another copy that exists
// is left as it is, whatever the value. Logs nothing; a failed write is
// tried again on the next call.
void applyRunOnStartup(int runOnStartup, RunEntry& entry, const QString& executablePath);
