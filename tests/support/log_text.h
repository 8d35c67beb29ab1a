// The log as tests compare it: every timestamp "[2014-05-17.21:04:33]" as
// "[TS]" and, where asked, every device-context handle as "0xH".
#pragma once

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
#include <QString>

inline QString normalisedLogText(const QByteArray& log, bool handles = false) {
    static const QRegularExpression stamp("\\[\\d{4}-\\d{2}-\\d{2}\\.\\d{2}:\\d{2}:\\d{2}\\]");
    static const QRegularExpression handle("\\b0x[0-9a-f]+");
    QString text = QString::fromUtf8(log).replace(stamp, "[TS]");
    return handles ? text.replace(handle, "0xH") : text;
}

inline QString readNormalisedLog(const QString& path, bool handles = false) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? normalisedLogText(f.readAll(), handles) : QString();
}
