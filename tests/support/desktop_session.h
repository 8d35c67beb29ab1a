// The real program on a real desktop for end-to-end tests: Xorg with the
// dummy driver (two monitors, DUMMY0 at 1920x1080 and DUMMY1 at 1280x1024
// right of it), optionally a system tray (trayer), and `tavrin` from a
// temporary directory on the xcb platform, or the Windows program's folder
// there under Wine, driven with real input through the X server (xdotool).
// Everything it starts it stops by process id; under Wine it also ends the
// prefix's processes, which the session started.
#pragma once

#include <memory>

#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

#include "temp_app_dir.h"
#include "xorg_server.h"

class DesktopSession {
public:
    enum class Program { Linux, WindowsUnderWine };
    explicit DesktopSession(Program program = Program::Linux);
    ~DesktopSession();

    // Empty when Xorg, its dummy driver, xdotool, (for a tray) trayer and
    // (for the Windows program) Wine with the program are here; otherwise
    // why a test cannot run (it then skips with it).
    static QString unavailableReason(bool withTray = false, Program program = Program::Linux);

    // Starts the server with two monitors and, with `withTray`, a tray on
    // the top edge; installs the binary. False with errorString().
    bool start(bool withTray = false);
    QString errorString() const { return error_; }

    XorgServer& server() { return server_; }
    TempAppDir& dir() { return dir_; }
    QString log() const { return QString::fromUtf8(dir_.readFile(QStringLiteral("Log.txt"))); }

    // The environment the program runs in: this server, the xcb platform,
    // HOME and XDG_CONFIG_HOME in the directory, no session bus; under Wine,
    // Wine's (the prefix, nothing of Qt's own settings for Linux).
    QProcessEnvironment programEnvironment() const;
    // Starts `tavrin arguments` in the directory on this server, with
    // `environment` added to its environment.
    bool launch(const QStringList& arguments = {},
                const QProcessEnvironment& environment = QProcessEnvironment());
    // The program's file (`tavrin`, or `tavrin.exe` under Wine).
    QString programFile() const;
    bool running() const { return tavrin_.state() != QProcess::NotRunning; }
    // Ends it as a logout would; its exit code, or -1 when it did not end.
    int terminate();
    // Waits until it ends by itself; its exit code, or -1.
    int waitForExit(int timeoutMs = 10000);

    // The first mapped window whose title is `title`, within `timeoutMs`;
    // 0 when none.
    qulonglong waitForWindow(const QString& title, int timeoutMs = 10000) const;
    QRect geometry(qulonglong window) const;
    // Gives `window` the keyboard focus and types `keys` (xdotool key
    // names: "Tab", "space", "Down") through the X server.
    bool keys(qulonglong window, const QStringList& keys) const;
    // Types text as keystrokes into the focused widget of `window`.
    bool type(qulonglong window, const QString& text) const;
    // Asks `window` to close, as a window manager's close button does
    // (WM_DELETE_WINDOW).
    bool closeWindow(qulonglong window) const;
    // A mouse click of `button` at a point of the screen.
    bool click(QPoint at, int button = 1) const;
    // The tray icon's rectangle on the screen (the window the program
    // embeds in the tray); empty when there is none.
    QRect trayIcon(int timeoutMs = 10000) const;

    // Runs xdotool with `arguments`; its output, empty on failure.
    QByteArray xdotool(const QStringList& arguments, bool* ok = nullptr) const;

private:
    Program program_;
    XorgServer server_;
    TempAppDir dir_;
    QProcess tavrin_;
    QProcess trayer_;
    QString error_;
};
