#include "desktop_session.h"

#include <QDeadlineTimer>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QThread>

#include <X11/Xlib.h>

#include "wine_program.h"

namespace {

bool have(const char* program) {
    return !QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty();
}

void stopProcess(QProcess& p) {
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(2000);
    }
}

// The window ids in xdotool's output (which may also hold its warnings).
QList<qulonglong> windowIds(const QByteArray& output) {
    QList<qulonglong> ids;
    for (const QByteArray& line : output.split('\n')) {
        bool number = false;
        const qulonglong id = line.trimmed().toULongLong(&number);
        if (number)
            ids << id;
    }
    return ids;
}

}  // namespace

DesktopSession::DesktopSession(Program program) : program_(program) {}

DesktopSession::~DesktopSession() {
    stopProcess(tavrin_);
    if (program_ == Program::WindowsUnderWine)
        wine::endPrefix();
    stopProcess(trayer_);
}

QString DesktopSession::unavailableReason(bool withTray, Program program) {
    const QString xorg = XorgServer::unavailableReason();
    if (!xorg.isEmpty())
        return xorg;
    if (!have("xdotool"))
        return QStringLiteral("xdotool is not installed");
    if (withTray && !have("trayer"))
        return QStringLiteral("trayer is not installed");
    if (program == Program::WindowsUnderWine)
        return wine::unavailableReason();
    return {};
}

QString DesktopSession::programFile() const {
    return program_ == Program::WindowsUnderWine ? dir_.filePath(wine::executableName())
                                                 : dir_.binaryPath();
}

bool DesktopSession::start(bool withTray) {
    if (!server_.start()) {
        error_ = server_.errorString();
        return false;
    }
    if (!server_.resetOutputs(QStringLiteral("1920x1080")) ||
        !server_.attachMonitor(QStringLiteral("DUMMY1"), QStringLiteral("1280x1024"))) {
        error_ = QStringLiteral("the monitors could not be set up");
        return false;
    }
    if (program_ == Program::WindowsUnderWine) {
        // Wine's processes of an earlier session belong to another server.
        wine::endPrefix();
        if (!wine::installProgram(dir_.path())) {
            error_ = QStringLiteral("the Windows program could not be copied");
            return false;
        }
    } else if (!dir_.installBinary()) {
        error_ = QStringLiteral("the tavrin binary was not found (TAVRIN_BINARY)");
        return false;
    }
    if (withTray) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), server_.displayName());
        trayer_.setProcessEnvironment(env);
        trayer_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        trayer_.start(QStringLiteral("trayer"),
                      {"--edge", "top", "--align", "right", "--widthtype", "request",
                       "--height", "24", "--SetDockType", "false"});
        if (!trayer_.waitForStarted()) {
            error_ = QStringLiteral("trayer did not start");
            return false;
        }
        // The tray takes the selection that tray icons look for.
        bool up = false;
        for (int i = 0; i < 100 && !up; ++i) {
            up = server_.runClient(QStringLiteral("xdotool"), {"search", "--class", "trayer"})
                     .ok;
            if (!up)
                QThread::msleep(50);
        }
        if (!up) {
            error_ = QStringLiteral("trayer did not map its window");
            return false;
        }
    }
    return true;
}

QProcessEnvironment DesktopSession::programEnvironment() const {
    if (program_ == Program::WindowsUnderWine)
        return wine::environment(server_.displayName());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), server_.displayName());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("HOME"), dir_.path());
    // No session bus: the tray icon is the X11 one, embedded by the tray.
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    return env;
}

bool DesktopSession::launch(const QStringList& arguments, const QProcessEnvironment& environment) {
    QProcessEnvironment env = programEnvironment();
    env.insert(environment);
    tavrin_.setProcessEnvironment(env);
    tavrin_.setWorkingDirectory(dir_.path());
    tavrin_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    tavrin_.setStandardOutputFile(QProcess::nullDevice());
    if (program_ == Program::WindowsUnderWine)
        tavrin_.start(QStringLiteral("wine"), QStringList{programFile()} + arguments);
    else
        tavrin_.start(programFile(), arguments);
    return tavrin_.waitForStarted();
}

int DesktopSession::terminate() {
    if (tavrin_.state() == QProcess::NotRunning)
        return tavrin_.exitCode();
    tavrin_.terminate();
    return waitForExit();
}

int DesktopSession::waitForExit(int timeoutMs) {
    if (!tavrin_.waitForFinished(timeoutMs) && tavrin_.state() != QProcess::NotRunning)
        return -1;
    return tavrin_.exitStatus() == QProcess::NormalExit ? tavrin_.exitCode() : -1;
}

QByteArray DesktopSession::xdotool(const QStringList& arguments, bool* ok) const {
    const XorgServer::Result r = server_.runClient(QStringLiteral("xdotool"), arguments);
    if (ok)
        *ok = r.ok;
    return r.ok ? r.output : QByteArray();
}

qulonglong DesktopSession::waitForWindow(const QString& title, int timeoutMs) const {
    const QDeadlineTimer deadline(timeoutMs);
    do {
        const QList<qulonglong> ids =
            windowIds(xdotool({"search", "--onlyvisible", "--name", "^" + title + "$"}));
        if (!ids.isEmpty())
            return ids.first();
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    return 0;
}

QRect DesktopSession::geometry(qulonglong window) const {
    const QByteArray out =
        xdotool({"getwindowgeometry", "--shell", QString::number(window)});
    int x = 0, y = 0, w = 0, h = 0;
    for (const QByteArray& line : out.split('\n')) {
        const QList<QByteArray> kv = line.split('=');
        if (kv.size() != 2)
            continue;
        const int v = kv[1].toInt();
        if (kv[0] == "X") x = v;
        if (kv[0] == "Y") y = v;
        if (kv[0] == "WIDTH") w = v;
        if (kv[0] == "HEIGHT") h = v;
    }
    return {x, y, w, h};
}

bool DesktopSession::keys(qulonglong window, const QStringList& keys) const {
    bool ok = false;
    xdotool({"windowfocus", "--sync", QString::number(window)}, &ok);
    if (!ok)
        return false;
    for (const QString& key : keys) {
        xdotool({"key", "--delay", "40", key}, &ok);
        if (!ok)
            return false;
        // Each key's effect (a list filled, a widget shown) before the next.
        QThread::msleep(60);
    }
    return true;
}

bool DesktopSession::type(qulonglong window, const QString& text) const {
    bool ok = false;
    xdotool({"windowfocus", "--sync", QString::number(window)}, &ok);
    if (ok)
        xdotool({"type", "--delay", "10", text}, &ok);
    return ok;
}

bool DesktopSession::closeWindow(qulonglong window) const {
    Display* display = XOpenDisplay(server_.displayNameBytes().constData());
    if (!display)
        return false;
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(display, window, False, NoEventMask, &e) != 0;
    XCloseDisplay(display);
    return sent;
}

bool DesktopSession::click(QPoint at, int button) const {
    bool ok = false;
    // A step beside the point first: xdotool's --sync waits for the pointer
    // to move (seconds when it is already there, as for a second click).
    xdotool({"mousemove", QString::number(at.x() + 1), QString::number(at.y() + 1)}, &ok);
    if (ok)
        xdotool({"mousemove", "--sync", QString::number(at.x()), QString::number(at.y()), "click",
                 QString::number(button)},
                &ok);
    return ok;
}

QRect DesktopSession::trayIcon(int timeoutMs) const {
    // The icon is a small window of the program's class, reparented into
    // the tray; the main window and menus are far larger, and a tool tip
    // (small as well) is a child of the root window. Under Wine the icons
    // are docked by Wine's desktop process.
    const QString owner = program_ == Program::WindowsUnderWine ? QStringLiteral("explorer.exe")
                                                                : QStringLiteral("tavrin");
    Display* display = XOpenDisplay(server_.displayNameBytes().constData());
    if (!display)
        return {};
    const auto inTray = [display](qulonglong window) {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, Window(window), &root, &parent, &children, &count))
            return false;
        if (children)
            XFree(children);
        return parent != root;
    };
    QRect icon;
    const QDeadlineTimer deadline(timeoutMs);
    do {
        for (qulonglong id : windowIds(xdotool({"search", "--onlyvisible", "--classname", owner}))) {
            const QRect r = geometry(id);
            if (r.width() > 0 && r.width() <= 64 && r.height() <= 64 && inTray(id)) {
                icon = r;
                break;
            }
        }
        if (icon.isEmpty())
            QThread::msleep(50);
    } while (icon.isEmpty() && !deadline.hasExpired());
    XCloseDisplay(display);
    return icon;
}
