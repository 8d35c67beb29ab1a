// One Tavrin per folder of files. The first start holds a lock named after
// its data directory (taken before anything else is touched, before even
// the application object exists) and, once the event loop can serve it,
// listens on a local socket of the same name. A later start of a copy that
// uses the same directory finds the lock held, asks the running one over
// the socket to show its main window (or nothing, with "-hide") and ends
// without touching the displays, the files or the log. Copies with other
// data directories run side by side. A lock or a socket left by a killed
// process is taken over.
#pragma once

#include <memory>

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

class SingleInstance : public QObject {
    Q_OBJECT

public:
    // The name of the lock and the socket for `dataDirectory` (a digest of
    // its canonical path, so that any path to one folder gives one name).
    static QString serverName(const QString& dataDirectory);

    explicit SingleInstance(const QString& dataDirectory, QObject* parent = nullptr);

    // True when this process is the one that runs for the directory (no
    // living process holds the lock). Needs no application object.
    bool claim();
    // Listens for later starts; once the application object exists.
    void listen();
    // For a start that found the lock held: asks the running one to show its
    // window, waiting up to `withinMs` for it to listen (it may be starting
    // still). False when it never answered.
    bool askRunning(bool showWindow, int withinMs = 1500);
    // Gives the lock up (at the end of the process).
    void release() { lock_->unlock(); }

signals:
    // A later start asked this one to show its window.
    void showRequested();

private:
    void receive();

    QString name_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer server_;
};
