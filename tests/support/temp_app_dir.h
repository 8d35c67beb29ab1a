// A temporary application directory for tests: a fresh folder that can hold
// a copy of the real `tavrin` binary, its "Settings.txt" and "Tree.txt", and
// run it there as a user would.
#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class TempAppDir {
public:
    TempAppDir();

    bool isValid() const { return dir_.isValid(); }
    QString path() const { return dir_.path(); }
    QString filePath(const QString& name) const { return dir_.filePath(name); }

    void writeFile(const QString& name, const QByteArray& content) const;
    QByteArray readFile(const QString& name) const;
    bool exists(const QString& name) const;

    // Copies the `tavrin` binary (the TAVRIN_BINARY environment variable set
    // by CTest) into the directory; false when it cannot be found.
    bool installBinary();
    QString binaryPath() const { return filePath(QStringLiteral("tavrin")); }

    // The environment of a run that touches nothing of the user's: no X
    // display (the program sees no displays), the offscreen platform, HOME
    // and XDG_CONFIG_HOME inside the directory.
    QProcessEnvironment isolatedEnvironment() const;
    // "Log.txt" with every timestamp replaced by "[TS]".
    QString normalisedLog() const;

    struct Run {
        int exitCode = -1;
        bool finished = false;
        QByteArray output;
    };
    // Runs the installed binary with `arguments` and waits up to `timeoutMs`;
    // a process still running then is terminated (SIGTERM, then SIGKILL)
    // and `finished` is false.
    Run run(const QStringList& arguments, int timeoutMs = 20000,
            const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) const;

private:
    QTemporaryDir dir_;
};
