// A real X server for tests: Xorg with the dummy driver on a free display
// number, its configuration and log in a temporary directory of its own.
// It offers outputs DUMMY0 ... DUMMY15, each with a CRTC of its own and a
// 256-entry gamma table. The helpers change it the way another X client
// would (xrandr, properties), through connections of their own.
//
// Construction starts nothing; start() does. The destructor stops the
// server by its process id.
#pragma once

#include <optional>

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "platform/display_system.h"

class XorgServer {
public:
    // `modelines`: extra Modeline values for the Monitor section, each as it
    // stands after the keyword ("\"800x600i\" 38.25 800 ... interlace").
    explicit XorgServer(QStringList modelines = {});
    ~XorgServer();
    XorgServer(const XorgServer&) = delete;
    XorgServer& operator=(const XorgServer&) = delete;

    // Empty when Xorg and its dummy driver are installed here; otherwise
    // why a test cannot have a server (tests then skip with it).
    static QString unavailableReason();

    // Starts the server and waits until it accepts connections. False, with
    // errorString(), when it does not come up.
    bool start();
    void stop();
    bool isRunning() const;
    QString errorString() const { return error_; }
    QString displayName() const { return QStringLiteral(":%1").arg(number_); }
    QByteArray displayNameBytes() const { return displayName().toLatin1(); }
    QString logText() const;

    struct Result {
        bool ok = false;
        QByteArray output;
    };
    // Runs `xrandr -display :N arguments...`.
    Result xrandr(const QStringList& arguments) const;
    // Runs any program with DISPLAY set to this server.
    Result runClient(const QString& program, const QStringList& arguments,
                     int timeoutMs = 20000) const;

    // Gives `output` the mode `mode` (--addmode) and shows it right of
    // `rightOf`, as plugging in a second monitor would; the server then
    // probes its outputs and reports `output` connected from then on.
    bool attachMonitor(const QString& output, const QString& mode,
                       const QString& rightOf = QStringLiteral("DUMMY0"));
    // DUMMY0 in `mode` at 0,0 and every other output off; no output keeps
    // an EDID property set by setEdid.
    bool resetOutputs(const QString& mode);

    // Sets (or, with empty bytes, deletes) the "EDID" property of `output`.
    bool setEdid(const QString& output, const QByteArray& edid);
    // Sets (empty: deletes) the 8-bit output property `name` of `type`
    // (an atom: XA_INTEGER = 19, XA_CARDINAL = 6), as another client would.
    bool setOutputProperty(const QString& output, const char* name, const QByteArray& bytes,
                           unsigned long type = 6);
    // The gamma table of the CRTC that drives `output`, as 768 entries when
    // it has 256 per channel; nothing when the output drives no CRTC.
    std::optional<GammaTable768> crtcGamma(const QString& output) const;
    // The X screen's gamma table as XF86VidMode holds it, apart from the
    // CRTCs' on this server; Wine loads gamma there. Nothing when it has
    // other than 256 entries per channel.
    std::optional<GammaTable768> vidModeGamma() const;
    // Loads a 256-entry table into the CRTC of `output` as another client.
    bool setCrtcGamma(const QString& output, const GammaTable768& table) const;

private:
    bool startOn(int number);
    bool waitUntilReady();

    QStringList modelines_;
    QTemporaryDir dir_;
    QProcess process_;
    int number_ = -1;
    QString error_;
};
