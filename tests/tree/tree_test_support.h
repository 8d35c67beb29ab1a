// Shared pieces of the display-tree tests: a log on a file of its own,
// display records, and profile files written by LittleCMS.
#pragma once

#include <string>

#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "core/log.h"
#include "icc_profiles.h"
#include "platform/sim/sim_display_system.h"
#include "ramps/gamma_ramp.h"
#include "tree/tree.h"

// A Log on "Log.txt" in a fresh temporary directory.
class TestLog {
public:
    TestLog() { log.open(path()); }
    QString path() const { return dir.filePath(QStringLiteral("Log.txt")); }
    // Everything written so far (every write group is flushed when it ends).
    QString text() const {
        QFile file(path());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLocal8Bit(file.readAll());
    }

    QTemporaryDir dir;
    Log log;
};

// A monitor record whose DeviceID has the system's four parts.
inline DISPLAY_DEVICEA monitorRecord(const std::string& hardwareId,
                                     const std::string& deviceString = "Generic Monitor",
                                     const std::string& key = {}) {
    return SimDisplaySystem::makeMonitor(
        "MONITOR\\" + hardwareId + "\\{4d36e96e-e325-11ce-bfc1-08002be10318}\\0001",
        key.empty() ? "key-" + hardwareId : key, deviceString);
}

inline DEVMODEA mode(DWORD width, DWORD height, DWORD bitsPerPel = 32, DWORD frequency = 60,
                     DWORD flags = 0) {
    return SimDisplaySystem::makeMode(width, height, bitsPerPel, frequency, flags);
}

inline GammaRamp rampOf(const icc::Curves& curves) {
    GammaRamp ramp;
    for (int c = 0; c < 3; ++c) ramp.channel(c) = curves[c];
    return ramp;
}

// A display profile with a table vcgt of `curves`, written by LittleCMS into
// `dir`; returns its path (empty when it could not be written).
inline QString writeProfile(const QTemporaryDir& dir, const QString& name,
                            const icc::Curves& curves) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    const QByteArray bytes = icc::lcmsTableProfile(icc::Version::V2, curves);
    if (file.write(bytes) != bytes.size())
        return {};
    return path;
}

// Walks the Tree without its cursors: the list texts of the Resolutions and
// Modes of the Monitor `monitor`, as "WxH: mode, mode; WxH: ...".
inline QString describeMonitor(const Monitor& monitor) {
    QStringList resolutions;
    for (const Resolution* r = monitor.resolutionHead->nextNode.get(); r; r = r->nextNode.get()) {
        QStringList modes;
        for (const Mode* m = r->modeHead->nextNode.get(); m; m = m->nextNode.get())
            modes << m->ListItemText() +
                         (m->profile.isEmpty() ? QString() : " [" + m->profile + "]");
        resolutions << r->ListItemText() + ": " + modes.join(", ");
    }
    return resolutions.join("; ");
}

inline const Monitor* monitorAt(const Tree& tree, int index) {
    const Monitor* m = tree.monitorHead()->nextNode.get();
    for (int i = 0; m && i < index; ++i) m = m->nextNode.get();
    return m;
}
