// One Tavrin per folder of files. The first start listens on a local
// socket named after its data directory; a later start of a copy that uses
// the same directory finds it there, asks it to show its main window (or
// nothing, with "-hide") and ends without touching the displays, the files
// or the log. Copies with other data directories run side by side.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

class SingleInstance : public QObject {
    Q_OBJECT

public:
    // The socket's name for `dataDirectory` (a digest of its canonical
    // path, so that any path to one folder gives one name).
    static QString serverName(const QString& dataDirectory);

    explicit SingleInstance(const QString& dataDirectory, QObject* parent = nullptr);

    // True when this process is the one that runs for the directory: no
    // other answers on the socket (a socket left by a killed process is
    // removed), and this one listens on it from now on. False when another
    // runs; it is then sent `showWindow` (with true, asked to show its
    // window) before this returns.
    bool claim(bool showWindow);

signals:
    // A later start asked this one to show its window.
    void showRequested();

private:
    // Sends the request to a running one; false when none answers.
    bool askRunning(bool showWindow);
    void receive();

    QString name_;
    QLocalServer server_;
};
