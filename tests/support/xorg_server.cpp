#include "xorg_server.h"

#include <csignal>
#include <memory>

#include <sys/prctl.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/xf86vmode.h>

namespace {

constexpr int startTimeoutMs = 20000;
constexpr int stopTimeoutMs = 5000;
constexpr int outputCount = 16;

QString xorgBinary() {
    return QStandardPaths::findExecutable(QStringLiteral("Xorg"));
}

// The dummy driver in Xorg's own module path or the usual places.
bool dummyDriverInstalled(const QString& xorg) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(xorg, {QStringLiteral("-showDefaultModulePath")});
    QStringList dirs;
    if (p.waitForFinished(10000))
        dirs = QString::fromLocal8Bit(p.readAll())
                   .trimmed()
                   .split(QLatin1Char(','), Qt::SkipEmptyParts);
    dirs << QStringLiteral("/usr/lib/xorg/modules") << QStringLiteral("/usr/lib64/xorg/modules")
         << QStringLiteral("/usr/local/lib/xorg/modules");
    for (const QString& dir : dirs)
        if (QFileInfo::exists(dir.trimmed() + QStringLiteral("/drivers/dummy_drv.so")))
            return true;
    return false;
}

bool displayNumberFree(int n) {
    return !QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) &&
           !QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(n));
}

QByteArray configText(const QStringList& modelines) {
    QByteArray text =
        "Section \"Device\"\n"
        "    Identifier \"dummy\"\n"
        "    Driver \"dummy\"\n"
        "    VideoRam 512000\n"
        "EndSection\n"
        "Section \"Monitor\"\n"
        "    Identifier \"monitor\"\n"
        "    HorizSync 5.0 - 1000.0\n"
        "    VertRefresh 5.0 - 200.0\n"
        "    Option \"ReducedBlanking\"\n";
    for (const QString& line : modelines) text += "    Modeline " + line.toLatin1() + "\n";
    text +=
        "EndSection\n"
        "Section \"Screen\"\n"
        "    Identifier \"screen\"\n"
        "    Device \"dummy\"\n"
        "    Monitor \"monitor\"\n"
        "    DefaultDepth 24\n"
        "    SubSection \"Display\"\n"
        "        Depth 24\n"
        "        Virtual 8192 4096\n"
        "    EndSubSection\n"
        "EndSection\n";
    return text;
}

// A short-lived connection of a test's own, as another X client. Protocol
// errors (a vanished output, say) are ignored rather than fatal.
class ClientConnection {
public:
    explicit ClientConnection(const QByteArray& name) : display_(XOpenDisplay(name.constData())) {
        if (display_)
            previous_ = XSetErrorHandler(ignoreError);
    }
    ~ClientConnection() {
        if (!display_)
            return;
        XSync(display_, False);
        XSetErrorHandler(previous_);
        XCloseDisplay(display_);
    }
    Display* get() const { return display_; }

    // The output named `name` and the CRTC it drives (0 when none).
    bool findOutput(const QString& name, RROutput& output, RRCrtc& crtc) const {
        XRRScreenResources* res =
            XRRGetScreenResourcesCurrent(display_, DefaultRootWindow(display_));
        if (!res)
            return false;
        bool found = false;
        for (int i = 0; i < res->noutput && !found; ++i) {
            XRROutputInfo* info = XRRGetOutputInfo(display_, res, res->outputs[i]);
            if (info && QString::fromLatin1(info->name, info->nameLen) == name) {
                output = res->outputs[i];
                crtc = info->crtc;
                found = true;
            }
            if (info)
                XRRFreeOutputInfo(info);
        }
        XRRFreeScreenResources(res);
        return found;
    }

private:
    static int ignoreError(Display*, XErrorEvent*) { return 0; }
    Display* display_;
    XErrorHandler previous_ = nullptr;
};

}  // namespace

XorgServer::XorgServer(QStringList modelines) : modelines_(std::move(modelines)) {}

XorgServer::~XorgServer() {
    stop();
}

QString XorgServer::unavailableReason() {
    const QString xorg = xorgBinary();
    if (xorg.isEmpty())
        return QStringLiteral("Xorg is not installed (xserver-xorg-core)");
    if (!dummyDriverInstalled(xorg))
        return QStringLiteral("the Xorg dummy driver is not installed (xserver-xorg-video-dummy)");
    return {};
}

bool XorgServer::start() {
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary directory");
        return false;
    }
    QFile config(dir_.filePath(QStringLiteral("xorg.conf")));
    if (!config.open(QIODevice::WriteOnly) || config.write(configText(modelines_)) < 0) {
        error_ = QStringLiteral("cannot write the server configuration");
        return false;
    }
    config.close();

    // Spread parallel test programs over the numbers, then take the first free one.
    const int first = 20 + int(QCoreApplication::applicationPid() % 400);
    for (int n = first; n < first + 200; ++n) {
        if (!displayNumberFree(n))
            continue;
        if (startOn(n))
            return true;
        // Another program took the number between the check and the start.
        if (!logText().contains(QLatin1String("already active")))
            return false;
    }
    error_ = QStringLiteral("no free display number");
    return false;
}

bool XorgServer::startOn(int number) {
    number_ = number;
    process_.setStandardOutputFile(dir_.filePath(QStringLiteral("stdout.txt")));
    process_.setStandardErrorFile(dir_.filePath(QStringLiteral("stderr.txt")));
    // -sharevts and -novtswitch: never take over or switch the machine's
    // console (the server still names a VT in its log, but leaves it alone).
    // Should this test program die before it stops the server, so does the server.
    process_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process_.start(
        xorgBinary(),
        {displayName(), QStringLiteral("-config"), dir_.filePath(QStringLiteral("xorg.conf")),
         QStringLiteral("-logfile"), dir_.filePath(QStringLiteral("Xorg.log")),
         QStringLiteral("-noreset"), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
         QStringLiteral("-novtswitch"), QStringLiteral("-sharevts")});
    if (!process_.waitForStarted(startTimeoutMs)) {
        error_ = QStringLiteral("Xorg did not start: ") + process_.errorString();
        return false;
    }
    return waitUntilReady();
}

bool XorgServer::waitUntilReady() {
    const QDeadlineTimer deadline(startTimeoutMs);
    while (!deadline.hasExpired()) {
        if (process_.state() != QProcess::Running) {
            error_ = QStringLiteral("Xorg ended while starting:\n") + logText().right(3000);
            return false;
        }
        if (Display* d = XOpenDisplay(displayNameBytes().constData())) {
            XCloseDisplay(d);
            return true;
        }
        QThread::msleep(20);
    }
    error_ = QStringLiteral("Xorg accepted no connection in time:\n") + logText().right(3000);
    stop();
    return false;
}

void XorgServer::stop() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();  // SIGTERM to the server's process id
    if (!process_.waitForFinished(stopTimeoutMs)) {
        process_.kill();
        process_.waitForFinished(stopTimeoutMs);
    }
}

bool XorgServer::isRunning() const {
    return process_.state() == QProcess::Running;
}

QString XorgServer::logText() const {
    QFile log(dir_.filePath(QStringLiteral("Xorg.log")));
    QFile err(dir_.filePath(QStringLiteral("stderr.txt")));
    QString text;
    if (log.open(QIODevice::ReadOnly))
        text += QString::fromLocal8Bit(log.readAll());
    if (err.open(QIODevice::ReadOnly))
        text += QString::fromLocal8Bit(err.readAll());
    return text;
}

XorgServer::Result XorgServer::runClient(const QString& program, const QStringList& arguments,
                                         int timeoutMs) const {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), displayName());
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    Result r;
    if (!p.waitForStarted(timeoutMs)) {
        r.output = "cannot run " + program.toLocal8Bit() + ": " + p.errorString().toLocal8Bit();
        return r;
    }
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.output = "timed out: " + p.readAll();
        return r;
    }
    r.output = p.readAll();
    r.ok = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return r;
}

XorgServer::Result XorgServer::xrandr(const QStringList& arguments) const {
    return runClient(QStringLiteral("xrandr"),
                     QStringList{QStringLiteral("-display"), displayName()} + arguments);
}

bool XorgServer::attachMonitor(const QString& output, const QString& mode, const QString& rightOf) {
    // --addmode fails harmlessly when the output has the mode already.
    xrandr({QStringLiteral("--addmode"), output, mode});
    // The query makes the server probe its outputs, as plugging a monitor
    // in would, so the output reports itself connected from now on.
    return xrandr({QStringLiteral("--output"), output, QStringLiteral("--mode"), mode,
                   QStringLiteral("--right-of"), rightOf})
               .ok &&
           xrandr({QStringLiteral("--query")}).ok;
}

bool XorgServer::resetOutputs(const QString& mode) {
    QStringList args{QStringLiteral("--output"), QStringLiteral("DUMMY0"),
                     QStringLiteral("--mode"),   mode,
                     QStringLiteral("--pos"),    QStringLiteral("0x0")};
    for (int i = 1; i < outputCount; ++i)
        args << QStringLiteral("--output") << QStringLiteral("DUMMY%1").arg(i)
             << QStringLiteral("--off");
    bool ok = xrandr(args).ok;
    for (int i = 0; i < outputCount; ++i) ok = setEdid(QStringLiteral("DUMMY%1").arg(i), {}) && ok;
    return ok;
}

bool XorgServer::setEdid(const QString& output, const QByteArray& edid) {
    return setOutputProperty(output, RR_PROPERTY_RANDR_EDID, edid, XA_INTEGER);
}

bool XorgServer::setOutputProperty(const QString& output, const char* name,
                                   const QByteArray& bytes, unsigned long type) {
    ClientConnection c(displayNameBytes());
    RROutput id = 0;
    RRCrtc crtc = 0;
    if (!c.get() || !c.findOutput(output, id, crtc))
        return false;
    const Atom atom = XInternAtom(c.get(), name, False);
    if (bytes.isEmpty())
        XRRDeleteOutputProperty(c.get(), id, atom);
    else
        XRRChangeOutputProperty(c.get(), id, atom, Atom(type), 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(bytes.constData()),
                                int(bytes.size()));
    XSync(c.get(), False);
    return true;
}

std::optional<GammaTable768> XorgServer::crtcGamma(const QString& output) const {
    ClientConnection c(displayNameBytes());
    RROutput id = 0;
    RRCrtc crtc = 0;
    if (!c.get() || !c.findOutput(output, id, crtc) || !crtc)
        return std::nullopt;
    XRRCrtcGamma* g = XRRGetCrtcGamma(c.get(), crtc);
    if (!g)
        return std::nullopt;
    std::optional<GammaTable768> table;
    if (g->size == 256) {
        table.emplace();
        for (int i = 0; i < 256; ++i) {
            (*table)[i] = g->red[i];
            (*table)[256 + i] = g->green[i];
            (*table)[512 + i] = g->blue[i];
        }
    }
    XRRFreeGamma(g);
    return table;
}

std::optional<GammaTable768> XorgServer::vidModeGamma() const {
    ClientConnection c(displayNameBytes());
    if (!c.get())
        return std::nullopt;
    const int screen = DefaultScreen(c.get());
    int size = 0;
    if (!XF86VidModeGetGammaRampSize(c.get(), screen, &size) || size != 256)
        return std::nullopt;
    GammaTable768 table;
    if (!XF86VidModeGetGammaRamp(c.get(), screen, 256, table.data(), table.data() + 256,
                                 table.data() + 512))
        return std::nullopt;
    return table;
}

bool XorgServer::setCrtcGamma(const QString& output, const GammaTable768& table) const {
    ClientConnection c(displayNameBytes());
    RROutput id = 0;
    RRCrtc crtc = 0;
    if (!c.get() || !c.findOutput(output, id, crtc) || !crtc)
        return false;
    if (XRRGetCrtcGammaSize(c.get(), crtc) != 256)
        return false;
    XRRCrtcGamma* g = XRRAllocGamma(256);
    for (int i = 0; i < 256; ++i) {
        g->red[i] = table[i];
        g->green[i] = table[256 + i];
        g->blue[i] = table[512 + i];
    }
    XRRSetCrtcGamma(c.get(), crtc, g);
    XRRFreeGamma(g);
    return true;
}
