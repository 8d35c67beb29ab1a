// The Windows program under Wine, for end-to-end tests on Linux: the folder
// a Windows user unpacks (tavrin.exe with its DLLs and plugins), named by
// the TAVRIN_WINDOWS_PROGRAM environment variable, run with the Wine prefix
// named by WINEPREFIX. scripts/check-windows.sh builds the folder, makes
// the prefix and sets both.
#pragma once

#include <optional>

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace wine {

// Empty when Wine, the program's folder and the prefix are there; otherwise
// why a test cannot run the Windows program.
QString unavailableReason();

// Copies the program's folder, subfolders included, into `directory`.
bool installProgram(const QString& directory);
inline QString executableName() { return QStringLiteral("tavrin.exe"); }

// The environment of Wine and its programs on the X server `display`:
// the prefix, no debug output, nothing asking to download Wine's .NET or
// HTML engines, and nothing of Qt's own settings for Linux (QT_QPA_PLATFORM
// would reach the Windows program too).
QProcessEnvironment environment(const QString& display);

struct Result {
    bool ok = false;  // started, ended by itself with exit code 0
    QByteArray output;
};
// Runs one of Wine's console programs (`reg`, ...) to its end.
Result run(const QStringList& arguments, const QString& display, int timeoutMs = 30000);

// The data of the "Tavrin" value under the current user's Run key, as
// `reg query` shows it; nothing when the value does not exist.
std::optional<QString> runValue(const QString& display);
// Removes that value if it exists.
void removeRunValue(const QString& display);

// Ends every process of the prefix (Wine's server, its services, the
// desktop process that holds the tray icons) and waits for them: all of
// them were started by the test, and the next session's are tied to
// another X server.
void endPrefix();

}  // namespace wine
