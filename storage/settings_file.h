// "Settings.txt": the ten settings values behind a version header, one
// "key = value" line each.
#pragma once

#include <QString>

#include "core/app_settings.h"
#include "storage/version_text.h"

class Log;

// Longest version text in the header and longest key (or "=") word the
// reader takes; a longer word refuses the file.
inline constexpr int maxSettingsVersionLength = 99;
inline constexpr int maxSettingsWordLength = 983;

// Reads the file at `path` into `settings`, logging the version line and one
// line per stored value. True only when the whole file was valid: an
// optional "[version]" header not newer than programVersion, then every one
// of the ten keys exactly once as key, "=", integer, with a value in its
// range. Values are stored as they are read, so after a false result the
// values read before the failure stay and the rest keep what they held.
// Only a regular file is read: a FIFO or a device is refused at once (false,
// with a debug line (core/debug_output.h) that says why).
bool readSettings(const QString& path, AppSettings& settings, Log& log);

// Writes the header and the ten lines from `settings`, without a line break
// after the last; replaces the file only when it was written completely.
bool writeSettings(const QString& path, const AppSettings& settings, QString* error = nullptr);

// The logged save: "Saving Settings...\n", the write, "Successfully saved
// Settings.\n" or "Failed to save Settings.\n", then an empty line.
bool saveSettings(const QString& path, const AppSettings& settings, Log& log);
