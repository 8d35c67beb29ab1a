// A test's own application directory with its own log, and file helpers.
#pragma once

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "core/log.h"

inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeAll(const QString& path, const QByteArray& content) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) == content.size();
}

struct Workspace {
    QTemporaryDir dir;
    Log log;

    Workspace() { log.open(path("Log.txt")); }
    QString path(const QString& name) const { return dir.filePath(name); }
    // Everything logged so far (each write group is flushed when it ends).
    QString logText() const { return QString::fromLocal8Bit(readAll(path("Log.txt"))); }
};
